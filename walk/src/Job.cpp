#include "Job.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace walk {

namespace {

// Kilobyte sums only ever add non-negative counts: past 64 bits they stay at the top.
std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b)
{
    std::int64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? INT64_MAX : sum;
}

void AddKb(std::atomic<std::int64_t> &sum, std::int64_t kb)
{
    if (kb <= 0)
        return;
    std::int64_t seen = sum.load(std::memory_order_relaxed);
    while (!sum.compare_exchange_weak(seen, SaturatingAdd(seen, kb), std::memory_order_relaxed)) {
    }
}

// Files whose status calls are handed to another worker at once: fewer are not
// worth the hand-over.
constexpr std::size_t kBatch = 128;

// Sub-folders of one folder under way at once; the rest wait as names, so a
// folder's width costs little more than its names.
constexpr std::uint32_t kInFlight = 32;

} // namespace

TJobImpl::TJobImpl(TRequest request, const TOptions &options, std::shared_ptr<TPool> pool)
    : FRequest(std::move(request)), FBeforeStatus(options.BeforeStatus), FPool(std::move(pool)),
      FAskedDescriptors(options.MaxOpenDirs),
      // A scan walks the folder it made current.
      FDescriptors(FRequest.Kind == TRequest::TKind::Scan ? std::string(".") : FRequest.Path, FCancelled),
      FOrder(FRequest.Path)
{
}

void TJobImpl::Run(TTask &task)
{
    const TDescriptors::TPermit permit = FDescriptors.Permit();
    switch (task.Kind) {
    case TTask::TKind::Begin:
        Begin();
        break;
    case TTask::TKind::Enter:
        Enter(task.Node);
        break;
    case TTask::TKind::Files:
        ReadFiles(task.Node, task.Files);
        break;
    }
}

void TJobImpl::Fail() noexcept
{
    FCancelled = true;
    FOrder.Fail();
}

void TJobImpl::Begin()
{
    FDescriptors.SetBudget(TDescriptors::Budget(FAskedDescriptors, TDescriptors::Available()));
    auto root = std::make_shared<TNode>(FCensus, FRequest.Path);
    root->Pinned = FDescriptors.PinsRoot();
    FRoot = root.get();
    FOrder.Start(std::move(root));
    if (FRequest.Kind == TRequest::TKind::Scan)
        BeginScan();
    else
        BeginFolder();
}

void TJobImpl::BeginScan()
{
    if (!os::SetCurrentDir(FRequest.Path)) {
        FOrder.Emit({TEvent::TKind::Current, false, {}});
        FOrder.Emit({TEvent::TKind::Done, false, {}});
        return;
    }
    FOutcome.Entered = true;
    FOutcome.DriveRoot = os::IsCurrentDirDriveRoot();
    const int fd = FDescriptors.OpenRoot();
    const int openError = errno;
    if (FOutcome.DriveRoot) {
        const int any = fd >= 0 ? fd : ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        FOutcome.FreeBytes = any >= 0 ? os::DiskFree(any) : -1;
        if (any >= 0 && any != fd)
            ::close(any);
    }
    FOrder.Emit({TEvent::TKind::Current, true, os::GetCurrentDir()});
    // Made current but not listable: a folder without entries. Without a
    // descriptor left to open it, the folder is said to be out of reach.
    TNode::TState state = TNode::TState::Quiet;
    if (fd >= 0)
        state = Identify(FRoot, fd);
    else if (openError == EMFILE || openError == ENFILE)
        state = TNode::TState::CannotEnter;
    Settle(FRoot, state, fd);
}

void TJobImpl::BeginFolder()
{
    const int fd = FDescriptors.OpenRoot();
    const int openError = errno;
    TNode::TState state = TNode::TState::CannotEnter;
    if (fd >= 0) {
        state = Identify(FRoot, fd);
    } else {
        // Searchable without being readable: entered, and empty.
        struct stat st {};
        if (openError == EACCES && ::stat(FRequest.Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)
            && ::faccessat(AT_FDCWD, FRequest.Path.c_str(), X_OK, AT_EACCESS) == 0)
            state = TNode::TState::Quiet;
    }
    FOutcome.Entered = state != TNode::TState::CannotEnter;
    Settle(FRoot, state, fd);
}

void TJobImpl::Enter(TNode *node)
{
    const TDescriptors::TOpened opened = FDescriptors.OpenChild(node);
    if (opened.Fd >= 0)
        Settle(node, Identify(node, opened.Fd), opened.Fd);
    else
        Settle(node, opened.Searchable ? TNode::TState::Quiet : TNode::TState::CannotEnter, -1);
}

TNode::TState TJobImpl::Identify(TNode *node, int fd)
{
    struct statx sx {};
    // Only a folder that may be searched lets "." be looked up in it.
    if (::statx(fd, ".", 0, STATX_INO, &sx) != 0)
        return TNode::TState::CannotEnter;
    node->Dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    node->Ino = sx.stx_ino;
    // Pseudo file systems count 0 without a word, the walk's own folder
    // too; below it, only a change of device can lead into one.
    if ((!node->Parent || node->Dev != node->Parent->Dev) && IsPseudo(node->Dev))
        return TNode::TState::Quiet;
    // A folder met again below itself is not entered.
    return FAncestry.Enter(node) ? TNode::TState::Entered : TNode::TState::Quiet;
}

void TJobImpl::Settle(TNode *node, TNode::TState state, int fd)
{
    if (state != TNode::TState::Entered) {
        if (fd >= 0) {
            ::close(fd);
            FDescriptors.Unreserve();
        }
        FOrder.Resolve(node, state);
        Finish(node);
        return;
    }
    FDescriptors.Install(node, fd);
    FOrder.Resolve(node, TNode::TState::Entered);
    List(node, fd);
}

bool TJobImpl::IsPseudo(dev_t device)
{
    std::lock_guard lock(FPseudoMutex);
    if (!FPseudo)
        FPseudo.emplace();
    return FPseudo->Contains(device);
}

std::int64_t TJobImpl::FileKb(int dirFd, const char *name, std::uint32_t place, bool *isDir)
{
    if (FBeforeStatus)
        FBeforeStatus(name);
    os::TFileStatus st;
    // A file that vanished or cannot be read counts 0, as du counts it.
    if (!os::StatAt(dirFd, name, st))
        return 0;
    if (isDir)
        *isDir = st.IsDir;
    if (st.IsDir)
        return 0;
    if (st.Links > 1) {
        FHardLinks.Add(st.Dev, st.Ino, place, st.Size / 1024);
        return 0;
    }
    return st.Size / 1024;
}

std::int64_t TJobImpl::ReadStatus(TNode *node, int fd, const TFiles &files)
{
    std::int64_t kb = 0;
    for (std::size_t i = 0; i < files.Names.size() && !Cancelled(); ++i) {
        const std::uint32_t place = files.Places.empty() ? node->Place : files.Places[i];
        kb = SaturatingAdd(kb, FileKb(fd, files.Names[i].c_str(), place, nullptr));
    }
    return kb;
}

void TJobImpl::List(TNode *node, int fd)
{
    const bool scanRoot = FRequest.Kind == TRequest::TKind::Scan && node == FRoot;
    const bool recurse = FRequest.Kind != TRequest::TKind::FilesSize || node != FRoot;
    const bool hiddenToo = scanRoot;
    std::string subNames;
    std::uint32_t subCount = 0;
    TFiles files;
    std::vector<TTask> tasks;
    std::int64_t kb = 0;
    {
        os::DirReader reader(fd, false);
        os::DirReader::Entry e;
        std::uint32_t place = 0;
        std::size_t seen = 0;
        while (reader.Next(e)) {
            if ((++seen & 255) == 0 && Cancelled())
                return;
            if (os::IsDotOrDotDot(e.Name))
                continue;
            // In the scanned folder every entry has a place of its own.
            if (scanRoot && place < THardLinks::kLastPlace)
                ++place;
            bool isDir = e.IsDir;
            if (e.IsUnknown) {
                const std::int64_t fileKb = FileKb(fd, e.Name, scanRoot ? place : node->Place, &isDir);
                if (!isDir) {
                    kb = SaturatingAdd(kb, fileKb);
                    continue;
                }
            }
            if (!isDir) {
                files.Names.emplace_back(e.Name);
                if (scanRoot)
                    files.Places.push_back(place);
                if (files.Names.size() < kBatch)
                    continue;
                // Another worker reads them if one is free; else they are read here.
                if (FPool->HasRoom()) {
                    node->Pending.fetch_add(1);
                    FDescriptors.AddFutureUses(node, 1);
                    tasks.push_back({shared_from_this(), node, TTask::TKind::Files, std::move(files)});
                    FPool->Post(tasks);
                } else {
                    kb = SaturatingAdd(kb, ReadStatus(node, fd, files));
                }
                files = {};
                continue;
            }
            if (recurse && (hiddenToo || e.Name[0] != '.')) {
                // The slices keep the scanned folder's names; elsewhere they wait here.
                if (scanRoot) {
                    FOutcome.Folders.push_back({e.Name, 0});
                    FFolderPlaces.push_back(place);
                } else {
                    subNames.append(e.Name).push_back('\0');
                }
                ++subCount;
            }
        }
    }
    node->Pending.fetch_add(std::int64_t(subCount));
    FDescriptors.AddFutureUses(node, int(subCount));
    {
        std::lock_guard lock(FChildrenMutex);
        node->PendingNames = std::move(subNames);
        FOrder.Listed(node, subCount);
        MakeChildren(node, kInFlight, tasks);
    }
    FPool->Post(tasks);
    kb = SaturatingAdd(kb, ReadStatus(node, fd, files));
    AddKb(node->Kb, kb);
    FDescriptors.DoneWith(node);
    Finish(node);
}

void TJobImpl::MakeChildren(TNode *parent, std::uint32_t count, std::vector<TTask> &tasks)
{
    const std::size_t first = tasks.size();
    const bool scanRoot = FRequest.Kind == TRequest::TKind::Scan && parent == FRoot;
    for (; count > 0 && parent->Made < parent->ChildCount; --count) {
        std::string name;
        if (scanRoot) {
            name = FOutcome.Folders[parent->Made].Name;
        } else {
            name = parent->PendingNames.c_str() + parent->NextName;
            parent->NextName += name.size() + 1;
        }
        auto child = std::make_shared<TNode>(parent, std::move(name), parent->Made);
        child->Place = scanRoot ? FFolderPlaces[parent->Made] : parent->Place;
        ++parent->Made;
        tasks.push_back({shared_from_this(), child.get(), TTask::TKind::Enter, {}});
        FOrder.Adopt(parent, std::move(child));
    }
    if (parent->Made == parent->ChildCount)
        std::string().swap(parent->PendingNames);
    // The first sub-folder is taken first, so the walk runs in listing order.
    std::reverse(tasks.begin() + std::ptrdiff_t(first), tasks.end());
}

void TJobImpl::CreditHardLinks()
{
    const bool scan = FRequest.Kind == TRequest::TKind::Scan;
    FHardLinks.ForEach([&](std::uint32_t place, std::int64_t kb) {
        // A slice's folder, or else a loose file of the scanned folder.
        const auto it = std::lower_bound(FFolderPlaces.begin(), FFolderPlaces.end(), place);
        std::int64_t &sum = scan && it != FFolderPlaces.end() && *it == place
                                ? FOutcome.Folders[std::size_t(it - FFolderPlaces.begin())].Kb
                                : FOutcome.Kb;
        sum = SaturatingAdd(sum, kb);
    });
}

void TJobImpl::ReadFiles(TNode *node, const TFiles &files)
{
    const int fd = FDescriptors.Use(node);
    FDescriptors.AddFutureUses(node, -1);
    std::int64_t kb = 0;
    if (fd >= 0) {
        kb = ReadStatus(node, fd, files);
        FDescriptors.DoneWith(node);
    }
    AddKb(node->Kb, kb);
    Finish(node);
}

void TJobImpl::Finish(TNode *node)
{
    while (node) {
        if (node->Pending.fetch_sub(1) != 1)
            return;
        TNode *parent = node->Parent;
        const std::int64_t kb = node->Kb.load();
        FAncestry.Leave(node);
        if (!parent) {
            FOutcome.Kb = kb;
            CreditHardLinks();
            FOutcome.FolderOpens = FDescriptors.Opens() + 1;
            FOutcome.PeakFolders = FCensus.Peak.load();
            FOrder.Finished();
            return;
        }
        if (parent == FRoot && FRequest.Kind == TRequest::TKind::Scan)
            FOutcome.Folders[node->Index].Kb = kb;
        else
            AddKb(parent->Kb, kb);
        FOrder.Completed(node); // the node may be gone from here on
        // Its place goes to the next sub-folder of its parent.
        std::vector<TTask> tasks;
        {
            std::lock_guard lock(FChildrenMutex);
            MakeChildren(parent, 1, tasks);
        }
        FPool->Post(tasks);
        node = parent;
    }
}

} // namespace walk

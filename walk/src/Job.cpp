#include "Job.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <thread>

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

// How long a walk waits, in all, for descriptors that other parts of the
// program hold before it gives folders up.
constexpr std::chrono::seconds kOutOfDescriptorsWait{1};

constexpr int kListing = O_RDONLY | O_DIRECTORY;

} // namespace

TJobImpl::TJobImpl(TRequest request, const TOptions &options, std::shared_ptr<TPool> pool)
    : FRequest(std::move(request)), FBeforeStatus(options.BeforeStatus), FPool(std::move(pool)),
      FAskedDescriptors(options.MaxOpenDirs), FDescriptors(FLock, FCancelled), FOrder(FLock, FRequest.Path)
{
}

bool TJobImpl::TakeEvent(TEvent &event)
{
    TGuard g(FLock);
    return FOrder.Take(g, event);
}

void TJobImpl::SetNotify(std::function<void()> notify)
{
    FLock.SetNotify(std::move(notify));
    TGuard g(FLock);
    if (FOrder.Waiting(g))
        g.TellAfter();
}

void TJobImpl::Cancel()
{
    {
        // Under the lock, so that no wait misses it.
        TGuard g(FLock);
        FCancelled = true;
    }
    FLock.WakeAll();
}

void TJobImpl::Run(TTask &task)
{
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
    {
        TGuard g(FLock);
        FCancelled = true;
        FOrder.Fail(g);
    }
    FLock.WakeAll();
}

void TJobImpl::Begin()
{
    const int budget = TDescriptors::Budget(FAskedDescriptors, os::AvailableDescriptors());
    FPseudo.emplace();
    auto root = std::make_shared<TNode>(FCensus, FRequest.Path);
    FRoot = root.get();
    TPermit permit;
    {
        TGuard g(FLock);
        FDescriptors.SetBudget(g, budget);
        FRoot->Locked(g).Pinned = FDescriptors.PinsRoot();
        FOrder.Start(g, std::move(root));
        permit = FDescriptors.TakePermit(g);
    }
    if (!permit)
        return;
    if (FRequest.Kind == TRequest::TKind::Scan)
        BeginScan(std::move(permit));
    else
        BeginFolder(std::move(permit));
}

void TJobImpl::BeginScan(TPermit permit)
{
    if (!os::SetCurrentDir(FRequest.Path)) {
        TGuard g(FLock);
        FOrder.Emit(g, {TEvent::TKind::Current, false, {}});
        FOrder.Emit(g, {TEvent::TKind::Done, false, {}});
        return;
    }
    FOutcome.Entered = true;
    FOutcome.DriveRoot = os::IsCurrentDirDriveRoot();
    TEntry entry;
    {
        TGuard g(FLock);
        entry.Fd = FDescriptors.Reserve(g);
    }
    const bool opened = entry.Fd && OpenInto(entry.Fd, [] { return os::OpenPath(".", kListing); });
    const int openError = errno;
    if (FOutcome.DriveRoot) {
        const int any = opened ? entry.Fd.Fd() : os::OpenPath(".", O_PATH | O_DIRECTORY);
        FOutcome.FreeBytes = any >= 0 ? os::DiskFree(any) : -1;
        if (any >= 0 && !opened)
            ::close(any);
    }
    TEvent current{TEvent::TKind::Current, true, os::GetCurrentDir()};
    {
        TGuard g(FLock);
        FOrder.Emit(g, std::move(current));
    }
    // Made current but not listable: a folder without entries. Without a
    // descriptor left to open it, the folder is said to be out of reach.
    entry.State = TNode::TState::Quiet;
    if (opened)
        Identify(FRoot, entry);
    else if (openError == EMFILE || openError == ENFILE)
        entry.State = TNode::TState::CannotEnter;
    Settle(FRoot, std::move(entry), -1, permit);
}

void TJobImpl::BeginFolder(TPermit permit)
{
    TEntry entry;
    {
        TGuard g(FLock);
        entry.Fd = FDescriptors.Reserve(g);
    }
    const bool opened = entry.Fd && OpenInto(entry.Fd, [this] { return os::OpenPath(FRequest.Path, kListing); });
    if (opened)
        Identify(FRoot, entry);
    else if (os::EnterableButUnreadable(AT_FDCWD, FRequest.Path, errno, true))
        entry.State = TNode::TState::Quiet;
    if (FDescriptors.OneAtATime()) {
        // Paths below it must not pass through a link: it is named without any.
        char *real = ::realpath(FRequest.Path.c_str(), nullptr);
        FRootForPaths = real ? real : FRequest.Path;
        std::free(real);
    }
    FOutcome.Entered = entry.State != TNode::TState::CannotEnter;
    Settle(FRoot, std::move(entry), -1, permit);
}

void TJobImpl::Enter(TNode *node)
{
    TNode *parent = node->Parent;
    TPermit permit;
    TEntry entry;
    int parentFd = -1;
    {
        TGuard g(FLock);
        permit = FDescriptors.TakePermit(g);
        if (!permit)
            return;
        FDescriptors.AddFutureUses(g, parent, -1);
        if (!FDescriptors.OneAtATime())
            parentFd = FDescriptors.Use(g, parent);
        if (parentFd >= 0 || FDescriptors.OneAtATime())
            entry.Fd = FDescriptors.Reserve(g);
    }
    if (!FDescriptors.OneAtATime() && parentFd < 0) {
        // The folder above moved or vanished since it was listed when it
        // cannot be found again: this one counts as out of reach.
        parentFd = Reopen(parent);
        if (parentFd >= 0) {
            TGuard g(FLock);
            entry.Fd = FDescriptors.Reserve(g);
        }
    }
    if (entry.Fd)
        OpenChild(node, parentFd, entry);
    Settle(node, std::move(entry), parentFd, permit);
}

void TJobImpl::OpenChild(TNode *node, int parentFd, TEntry &entry)
{
    if (FDescriptors.OneAtATime()) {
        // One descriptor: the parent's would leave none for the child.
        const std::string path = PathOf(node);
        if (OpenInto(entry.Fd, [&] { return os::OpenWithoutLinks(path, kListing); }))
            Identify(node, entry);
        else if (os::EnterableButUnreadable(AT_FDCWD, path, errno))
            entry.State = TNode::TState::Quiet;
        return;
    }
    if (OpenInto(entry.Fd, [&] { return os::OpenSubFolder(parentFd, node->Name.c_str()); }))
        Identify(node, entry);
    else if (os::EnterableButUnreadable(parentFd, node->Name, errno))
        entry.State = TNode::TState::Quiet;
}

void TJobImpl::Identify(TNode *node, TEntry &entry)
{
    if (!os::IdentifySearchable(entry.Fd.Fd(), node->Dev, node->Ino)) {
        entry.State = TNode::TState::CannotEnter;
        return;
    }
    // Pseudo file systems count 0 without a word, the walk's own folder
    // too; below it, only a change of device can lead into one.
    const bool newDevice = !node->Parent || node->Dev != node->Parent->Dev;
    entry.State = newDevice && FPseudo->Contains(node->Dev) ? TNode::TState::Quiet : TNode::TState::Entered;
}

void TJobImpl::Settle(TNode *node, TEntry entry, int parentFd, TPermit &permit)
{
    TAfter after;
    int fd = -1;
    {
        TGuard g(FLock);
        if (parentFd >= 0)
            after.Up = FDescriptors.DoneWith(g, node->Parent);
        // A folder met again below itself is not entered.
        if (entry.State == TNode::TState::Entered && !FAncestry.Enter(g, node))
            entry.State = TNode::TState::Quiet;
        FOrder.Resolve(g, node, entry.State);
        if (entry.State == TNode::TState::Entered) {
            fd = FDescriptors.Install(g, node, std::move(entry.Fd));
        } else {
            g.CloseAfter(std::move(entry.Fd));
            EndPiece(g, node, nullptr, permit, after);
        }
    }
    HandOut(after);
    if (fd >= 0)
        List(node, fd, permit);
}

void TJobImpl::EndPiece(TGuard &g, TNode *node, TNode *useEnds, TPermit &permit, TAfter &after)
{
    if (useEnds)
        after.Up = FDescriptors.DoneWith(g, useEnds);
    after.Concluded = Finish(g, node, after.Tasks);
    permit.GiveBack(g);
}

void TJobImpl::HandOut(TAfter &after)
{
    FPool->Post(after.Tasks);
    HandUp(std::move(after.Up));
    if (after.Concluded)
        Conclude();
}

template <class Open> bool TJobImpl::OpenInto(TSlotFd &slot, Open open)
{
    const auto giveUp = std::chrono::steady_clock::now() + kOutOfDescriptorsWait;
    for (;;) {
        const int fd = open();
        FDescriptors.CountOpen();
        if (fd >= 0) {
            slot.Replace(fd);
            return true;
        }
        const int error = errno;
        // Out of descriptors is no property of the folder: other parts of
        // the program hold them, and may let them go.
        if (error != EMFILE && error != ENFILE)
            return false;
        bool closed = false;
        {
            TGuard g(FLock);
            closed = FDescriptors.CloseIdle(g);
        }
        if (closed)
            continue;
        if (Cancelled() || FWaitedInVain.load(std::memory_order_relaxed)
            || std::chrono::steady_clock::now() >= giveUp) {
            FWaitedInVain = true;
            errno = error;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string TJobImpl::PathOf(const TNode *node) const
{
    std::vector<const TNode *> chain;
    for (; node->Parent; node = node->Parent)
        chain.push_back(node);
    std::string path = FRootForPaths;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        path.append(path.empty() || path.back() == '/' ? "" : "/").append((*it)->Name);
    return path;
}

int TJobImpl::ReopenByPath(TNode *node)
{
    TSlotFd slot;
    {
        TGuard g(FLock);
        slot = FDescriptors.Reserve(g);
    }
    if (!slot)
        return -1;
    // The walk's own folder as it was named, links followed; any other
    // without following one.
    const bool opened = node == FRoot ? OpenInto(slot, [this] {
        return os::OpenPath(FRequest.Kind == TRequest::TKind::Scan ? std::string(".") : FRequest.Path, kListing);
    })
                                      : OpenInto(slot, [&] { return os::OpenWithoutLinks(PathOf(node), kListing); });
    dev_t dev = 0;
    ino_t ino = 0;
    const bool same = opened && os::Identify(slot.Fd(), dev, ino) && dev == node->Dev && ino == node->Ino;
    TGuard g(FLock);
    if (!same) {
        g.CloseAfter(std::move(slot));
        return -1;
    }
    return FDescriptors.Install(g, node, std::move(slot));
}

int TJobImpl::Reopen(TNode *node)
{
    if (FDescriptors.OneAtATime())
        return ReopenByPath(node);
    // The nearest ancestor that holds a descriptor (the walk's own folder,
    // opened again by its path if need be), then each folder down to this
    // one, checked to be the folder that was listed.
    std::vector<TNode *> chain;
    TNode *held = node;
    int heldFd = -1;
    {
        TGuard g(FLock);
        for (; (heldFd = FDescriptors.Use(g, held)) < 0 && held->Parent; held = held->Parent)
            chain.push_back(held);
    }
    if (heldFd < 0 && (heldFd = ReopenByPath(held)) < 0)
        return -1;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        TNode *c = *it;
        TSlotFd slot;
        {
            TGuard g(FLock);
            slot = FDescriptors.Reserve(g);
        }
        dev_t dev = 0;
        ino_t ino = 0;
        const bool same = slot && OpenInto(slot, [&] { return os::OpenSubFolder(heldFd, c->Name.c_str()); })
                          && os::Identify(slot.Fd(), dev, ino) && dev == c->Dev && ino == c->Ino;
        THandUp up;
        {
            TGuard g(FLock);
            up = FDescriptors.DoneWith(g, held);
            if (same)
                heldFd = FDescriptors.Install(g, c, std::move(slot));
            else
                g.CloseAfter(std::move(slot));
        }
        HandUp(std::move(up));
        if (!same)
            return -1;
        held = c;
    }
    return heldFd;
}

void TJobImpl::HandUp(THandUp up)
{
    while (up.Parent) {
        const int fd = os::OpenParent(up.From.Fd());
        FDescriptors.CountOpen();
        dev_t dev = 0;
        ino_t ino = 0;
        const bool same = fd >= 0 && os::Identify(fd, dev, ino) && dev == up.Parent->Dev && ino == up.Parent->Ino;
        // The place passes from the folder to its parent.
        up.From.Replace(same ? fd : -1);
        if (fd >= 0 && !same)
            ::close(fd);
        TGuard g(FLock);
        if (!same) {
            g.CloseAfter(std::move(up.From));
            return;
        }
        TNode *parent = up.Parent;
        FDescriptors.Install(g, parent, std::move(up.From));
        up = FDescriptors.DoneWith(g, parent);
    }
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

void TJobImpl::List(TNode *node, int fd, TPermit &permit)
{
    const bool scanRoot = FRequest.Kind == TRequest::TKind::Scan && node == FRoot;
    const bool recurse = FRequest.Kind != TRequest::TKind::FilesSize || node != FRoot;
    const bool hiddenToo = scanRoot;
    std::string subNames;
    std::uint32_t subCount = 0;
    TFiles files;
    std::vector<TTask> tasks;
    std::int64_t kb = 0;
    os::DirReader reader(fd);
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
                {
                    TGuard g(FLock);
                    FDescriptors.AddFutureUses(g, node, 1);
                }
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
    if (reader.Error() != 0)
        FBrokenListings.fetch_add(1, std::memory_order_relaxed);
    node->Pending.fetch_add(std::int64_t(subCount));
    {
        TGuard g(FLock);
        FDescriptors.AddFutureUses(g, node, int(subCount));
        node->Locked(g).PendingNames = std::move(subNames);
        FOrder.Listed(g, node, subCount);
        MakeChildren(g, node, kInFlight, tasks);
    }
    FPool->Post(tasks);
    kb = SaturatingAdd(kb, ReadStatus(node, fd, files));
    AddKb(node->Kb, kb);
    TAfter after;
    {
        TGuard g(FLock);
        EndPiece(g, node, node, permit, after);
    }
    HandOut(after);
}

void TJobImpl::MakeChildren(TGuard &g, TNode *parent, std::uint32_t count, std::vector<TTask> &tasks)
{
    TNode::TLocked &p = parent->Locked(g);
    const std::size_t first = tasks.size();
    const bool scanRoot = FRequest.Kind == TRequest::TKind::Scan && parent == FRoot;
    for (; count > 0 && p.Made < p.ChildCount; --count) {
        std::string name;
        if (scanRoot) {
            name = FOutcome.Folders[p.Made].Name;
        } else {
            name = p.PendingNames.c_str() + p.NextName;
            p.NextName += name.size() + 1;
        }
        auto child = std::make_shared<TNode>(parent, std::move(name), p.Made);
        child->Place = scanRoot ? FFolderPlaces[p.Made] : parent->Place;
        ++p.Made;
        tasks.push_back({shared_from_this(), child.get(), TTask::TKind::Enter, {}});
        FOrder.Adopt(g, parent, std::move(child), count == 1 || p.Made == p.ChildCount);
    }
    if (p.Made == p.ChildCount)
        std::string().swap(p.PendingNames);
    // The first sub-folder is taken first, so the walk runs in listing order.
    std::reverse(tasks.begin() + std::ptrdiff_t(first), tasks.end());
}

void TJobImpl::ReadFiles(TNode *node, const TFiles &files)
{
    TPermit permit;
    int fd = -1;
    {
        TGuard g(FLock);
        permit = FDescriptors.TakePermit(g);
        if (!permit)
            return;
        fd = FDescriptors.Use(g, node);
        FDescriptors.AddFutureUses(g, node, -1);
    }
    if (fd < 0)
        fd = Reopen(node);
    const std::int64_t kb = fd >= 0 ? ReadStatus(node, fd, files) : 0;
    AddKb(node->Kb, kb);
    TAfter after;
    {
        TGuard g(FLock);
        EndPiece(g, node, fd >= 0 ? node : nullptr, permit, after);
    }
    HandOut(after);
}

bool TJobImpl::Finish(TGuard &g, TNode *node, std::vector<TTask> &tasks)
{
    while (node) {
        if (node->Pending.fetch_sub(1) != 1)
            return false;
        TNode *parent = node->Parent;
        FAncestry.Leave(g, node);
        if (!parent)
            return true;
        const std::int64_t kb = node->Kb.load();
        if (parent == FRoot && FRequest.Kind == TRequest::TKind::Scan)
            FOutcome.Folders[node->Index].Kb = kb;
        else
            AddKb(parent->Kb, kb);
        FOrder.Completed(g, node); // the node may be gone from here on
        // Its place goes to the next sub-folder of its parent.
        MakeChildren(g, parent, 1, tasks);
        node = parent;
    }
    return false;
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

void TJobImpl::Conclude()
{
    // Every other piece of work has ended: nothing else writes the outcome now.
    FOutcome.Kb = FRoot->Kb.load();
    CreditHardLinks();
    FOutcome.FolderOpens = FDescriptors.Opens() + 1;
    FOutcome.PeakFolders = FCensus.Peak.load();
    FOutcome.BrokenListings = FBrokenListings.load();
    TGuard g(FLock);
    FOrder.Finished(g);
}

} // namespace walk

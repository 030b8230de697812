#include "WalkEngine.h"

#include "FileSystem.h"
#include "WalkPace.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#ifndef STATX_MNT_ID
#define STATX_MNT_ID 0x00001000U
#endif

std::string FormatNameDir(const std::string &name)
{
    if (name.empty() || name.back() == '/')
        return name;
    return name + '/';
}

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

// Workers' niceness: measured on two cores, 10 halves the window's longest
// wait between ticks and costs the walk nothing measurable.
constexpr int kWorkerNice = 10;

// Files whose status calls are handed to another worker at once: fewer are not
// worth the hand-over.
constexpr std::size_t kBatch = 128;

// One folder of the walk.
struct Node {
    Node(Node *parent, std::string name, std::uint32_t index) : Parent(parent), Name(std::move(name)), Index(index) {}
    ~Node()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    Node(const Node &) = delete;
    Node &operator=(const Node &) = delete;

    // Alive as long as this node: a folder completes only after its children.
    Node *const Parent;
    const std::string Name;
    // Position among the parent's sub-folders.
    const std::uint32_t Index;

    // Set by the worker that enters the folder.
    dev_t Dev = 0;
    ino_t Ino = 0;
    std::uint64_t MountId = 0;

    std::atomic<std::int64_t> Kb{0};
    // Work not yet finished: its own listing, its batches of files, its sub-folders.
    std::atomic<std::int64_t> Pending{1};

    // The descriptor, guarded by the job's descriptor mutex. ActiveUses counts
    // calls using it now; FutureUses the work that will need it (sub-folders
    // not yet opened, batches not yet read).
    int Fd = -1;
    int ActiveUses = 0;
    int FutureUses = 0;
    bool Pinned = false;
    bool Idle = false;
    std::list<Node *>::iterator IdlePos;

    // Walk order, guarded by the job's order mutex.
    enum class TState : std::uint8_t { Unresolved, Entered, CannotEnter, Quiet };
    TState State = TState::Unresolved;
    bool Listed = false;
    bool Complete = false;
    bool CursorPassed = false;
    // Sub-folders in listing order; a slot is emptied once nothing of its
    // subtree is left to report.
    std::vector<std::shared_ptr<Node>> Children;
    std::size_t LiveChildren = 0;
};

class Job;

struct Task {
    enum class TKind : std::uint8_t { Begin, Enter, Files };
    std::shared_ptr<Job> J;
    Node *N = nullptr;
    TKind Kind = TKind::Begin;
    std::vector<std::string> Names;
};

} // namespace

// Worker threads taking tasks last in, first out: the walk runs depth first,
// which keeps its frontier, and so its memory and descriptors, small. How
// many run at once follows the walk's pace.
struct TWalkEngine::TPool {
    explicit TPool(int workers) : Pace(TWalkPace::Cores(), workers), TaskSince(std::size_t(workers)) {}

    std::mutex M;
    std::condition_variable Wake;
    std::vector<Task> Stack;
    bool Stop = false;
    // Workers inside a task, and how many may be.
    std::atomic<int> Busy{0};
    std::atomic<int> Allowed{1};
    // Workers waiting for room while tasks wait.
    int HeldBack = 0;
    TWalkPace Pace;
    // When each worker took its task; empty while it has none.
    std::vector<std::optional<TWalkPace::TClock::time_point>> TaskSince;
    std::vector<std::jthread> Threads;

    // Whether a task posted now would be taken at once by another worker.
    bool HasRoom() const { return Busy.load(std::memory_order_relaxed) < Allowed.load(std::memory_order_relaxed); }

    void Post(std::vector<Task> &tasks)
    {
        if (tasks.empty())
            return;
        int room = 0;
        {
            std::lock_guard lock(M);
            for (Task &t : tasks)
                Stack.push_back(std::move(t));
            room = Allowed - Busy;
            // With no room, one worker still has to wait on the clock, to
            // look at the pace again should the busy ones be stuck.
            if (room <= 0 && HeldBack == 0)
                room = 1;
        }
        // Only workers that may start are woken: the busy ones take the rest
        // when they finish.
        if (room == 1 || (room > 1 && tasks.size() == 1))
            Wake.notify_one();
        else if (room > 1)
            Wake.notify_all();
        tasks.clear();
    }
    // A new walk: its pace is learnt again. Called with M held.
    void Restart()
    {
        Pace.Restart(TWalkPace::TClock::now(), TWalkPace::ProcessCpuNs());
        Allowed = Pace.Allowed();
    }
    // Called with M held; wakes the workers held back when more may run. A
    // worker inside one task for a whole period, most likely waiting on a
    // stalled disk, does not count against the limit.
    void Retune()
    {
        const auto now = TWalkPace::TClock::now();
        if (!Pace.Due(now))
            return;
        Pace.Retune(now, TWalkPace::ProcessCpuNs());
        const auto stuck = std::count_if(TaskSince.begin(), TaskSince.end(), [&](const auto &since) {
            return since && now - *since >= TWalkPace::kPeriod;
        });
        const int before = Allowed;
        Allowed = std::min(int(TaskSince.size()), Pace.Allowed() + int(stuck));
        if (Allowed > before)
            Wake.notify_all();
    }
    static void Run(const std::shared_ptr<TPool> &pool, std::size_t index);
};

namespace {

class Job final : public TWalkJob, public std::enable_shared_from_this<Job> {
public:
    Job(TWalkRequest request, const TWalkOptions &options, std::shared_ptr<TWalkEngine::TPool> pool, int fdBudget)
        : FRequest(std::move(request)), FBeforeStatus(options.BeforeStatus), FPool(std::move(pool)), FFdBudget(fdBudget)
    {
    }
    ~Job() override;

    bool TakeEvent(TWalkEvent &event) override
    {
        std::lock_guard lock(FOrderMutex);
        if (FEvents.empty())
            return false;
        event = std::move(FEvents.front());
        FEvents.pop_front();
        return true;
    }
    void SetNotify(std::function<void()> notify) override
    {
        std::lock_guard lock(FOrderMutex);
        FNotify = std::move(notify);
        if (FNotify && !FEvents.empty())
            FNotify();
    }
    void Cancel() override { FCancelled = true; }
    const TWalkOutcome &Outcome() const override { return FOutcome; }

    bool Cancelled() const { return FCancelled.load(std::memory_order_relaxed); }
    void Run(Task &task);

private:
    void Begin();
    void BeginScan();
    void BeginFolder();
    void Enter(Node *node);
    void List(Node *node, int fd);
    void ReadFiles(Node *node, const std::vector<std::string> &names);
    std::int64_t FileKb(int dirFd, const char *name, bool *isDir);
    // Finishes one piece of a folder's work; completes it and its ancestors
    // whose work is all done.
    void Finish(Node *node);
    bool LoopsBack(const Node *node) const;
    bool IsPseudo(dev_t device);

    // --- descriptors
    int Use(Node *node);
    void DoneWith(Node *node);
    void Reserve();
    void Unreserve();
    void Install(Node *node, int fd);
    int Reopen(Node *node);
    int OpenBelow(int dirFd, const char *name);

    // --- order of the events
    void Resolve(Node *node, Node::TState state);
    void Emit(TWalkEvent event);
    void Advance();
    void Release(Node *node);
    std::string CursorPath() const;

    const TWalkRequest FRequest;
    const std::function<void(const char *)> FBeforeStatus;
    const std::shared_ptr<TWalkEngine::TPool> FPool;
    std::atomic<bool> FCancelled{false};
    std::atomic<std::int64_t> FOpens{0};
    TWalkOutcome FOutcome;
    std::shared_ptr<Node> FRoot;

    std::mutex FDescMutex;
    std::condition_variable FDescFreed; // a descriptor slot may have come free
    const int FFdBudget;
    int FOpen = 0;
    std::list<Node *> FIdle;

    std::mutex FPseudoMutex;
    std::optional<fsys::PseudoMounts> FPseudo;

    std::mutex FOrderMutex;
    std::deque<TWalkEvent> FEvents;
    std::function<void()> FNotify;
    struct TCursor {
        std::shared_ptr<Node> N;
        std::size_t Next = 0;
    };
    std::vector<TCursor> FCursor;
};

Job::~Job()
{
    // Taken apart level by level: a tree thousands of folders deep must not
    // be destroyed by recursion.
    FCursor.clear();
    std::vector<std::shared_ptr<Node>> nodes;
    if (FRoot)
        nodes.push_back(std::move(FRoot));
    while (!nodes.empty()) {
        std::shared_ptr<Node> n = std::move(nodes.back());
        nodes.pop_back();
        for (std::shared_ptr<Node> &c : n->Children)
            if (c)
                nodes.push_back(std::move(c));
    }
}

void Job::Run(Task &task)
{
    switch (task.Kind) {
    case Task::TKind::Begin:
        Begin();
        break;
    case Task::TKind::Enter:
        Enter(task.N);
        break;
    case Task::TKind::Files:
        ReadFiles(task.N, task.Names);
        break;
    }
}

// ---------------------------------------------------------------- the walk

void Job::Begin()
{
    FRoot = std::make_shared<Node>(nullptr, FRequest.Path, 0);
    FRoot->Pinned = true;
    {
        std::lock_guard lock(FOrderMutex);
        FCursor.push_back({FRoot, 0});
    }
    if (FRequest.Kind == TWalkRequest::TKind::Scan)
        BeginScan();
    else
        BeginFolder();
}

void Job::BeginScan()
{
    if (!fsys::SetCurrentDir(FRequest.Path)) {
        Emit({TWalkEvent::TKind::Current, false, {}});
        Emit({TWalkEvent::TKind::Done, false, {}});
        return;
    }
    FOutcome.Entered = true;
    FOutcome.DriveRoot = fsys::IsCurrentDirDriveRoot();
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (FOutcome.DriveRoot) {
        const int any = fd >= 0 ? fd : ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        FOutcome.FreeBytes = any >= 0 ? fsys::DiskFree(any) : -1;
        if (any >= 0 && any != fd)
            ::close(any);
    }
    Emit({TWalkEvent::TKind::Current, true, fsys::GetCurrentDir()});
    struct statx sx {};
    if (fd < 0 || ::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &sx) != 0) {
        // Entered but not listable: a folder without entries.
        if (fd >= 0)
            ::close(fd);
        Resolve(FRoot.get(), Node::TState::Quiet);
        Finish(FRoot.get());
        return;
    }
    FRoot->Dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    FRoot->Ino = sx.stx_ino;
    FRoot->MountId = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    {
        std::lock_guard lock(FDescMutex);
        ++FOpen;
    }
    Install(FRoot.get(), fd);
    Resolve(FRoot.get(), Node::TState::Entered);
    List(FRoot.get(), fd);
}

void Job::BeginFolder()
{
    Reserve();
    const int fd = fsys::OpenPath(FRequest.Path, O_RDONLY | O_DIRECTORY);
    const int openError = errno;
    struct statx sx {};
    Node::TState state = Node::TState::Entered;
    if (fd < 0) {
        Unreserve();
        // Searchable without being readable: entered, and empty.
        struct stat st {};
        const bool searchable = openError == EACCES && ::stat(FRequest.Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)
                                && ::faccessat(AT_FDCWD, FRequest.Path.c_str(), X_OK, AT_EACCESS) == 0;
        state = searchable ? Node::TState::Quiet : Node::TState::CannotEnter;
    } else if (::statx(fd, ".", 0, STATX_INO | STATX_MNT_ID, &sx) != 0) {
        // Only a folder that may be searched lets "." be looked up in it.
        ::close(fd);
        Unreserve();
        state = Node::TState::CannotEnter;
    } else if (IsPseudo(makedev(sx.stx_dev_major, sx.stx_dev_minor))) {
        ::close(fd);
        Unreserve();
        state = Node::TState::Quiet;
    }
    FOutcome.Entered = state != Node::TState::CannotEnter;
    if (state != Node::TState::Entered) {
        Resolve(FRoot.get(), state);
        Finish(FRoot.get());
        return;
    }
    FRoot->Dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    FRoot->Ino = sx.stx_ino;
    FRoot->MountId = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    Install(FRoot.get(), fd);
    Resolve(FRoot.get(), Node::TState::Entered);
    List(FRoot.get(), fd);
}

void Job::Enter(Node *node)
{
    Node *parent = node->Parent;
    const int parentFd = Use(parent);
    {
        std::lock_guard lock(FDescMutex);
        --parent->FutureUses;
    }
    if (parentFd < 0) {
        // The folder above moved or vanished since it was listed.
        Resolve(node, Node::TState::CannotEnter);
        Finish(node);
        return;
    }
    const int fd = OpenBelow(parentFd, node->Name.c_str());
    const int openError = errno;
    Node::TState state = Node::TState::Entered;
    struct statx sx {};
    if (fd < 0) {
        struct stat st {};
        const bool searchable = openError == EACCES
                                && ::fstatat(parentFd, node->Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
                                && S_ISDIR(st.st_mode)
                                && ::faccessat(parentFd, node->Name.c_str(), X_OK,
                                               AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0;
        state = searchable ? Node::TState::Quiet : Node::TState::CannotEnter;
    }
    DoneWith(parent);
    if (fd >= 0) {
        if (::statx(fd, ".", 0, STATX_INO | STATX_MNT_ID, &sx) != 0) {
            state = Node::TState::CannotEnter;
        } else {
            node->Dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
            node->Ino = sx.stx_ino;
            node->MountId = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
            if (node->Dev != parent->Dev && IsPseudo(node->Dev))
                state = Node::TState::Quiet;
            else if (LoopsBack(node))
                state = Node::TState::Quiet;
        }
        if (state != Node::TState::Entered) {
            ::close(fd);
            Unreserve();
        }
    }
    if (state != Node::TState::Entered) {
        Resolve(node, state);
        Finish(node);
        return;
    }
    Install(node, fd);
    Resolve(node, Node::TState::Entered);
    List(node, fd);
}

bool Job::LoopsBack(const Node *node) const
{
    // Only a mount point can lead back to a folder above it (a bind mount of
    // a parent into its child); elsewhere the check would cost the depth.
    const Node *parent = node->Parent;
    if (node->Dev == parent->Dev && node->MountId == parent->MountId && node->MountId != 0)
        return false;
    for (const Node *a = parent; a; a = a->Parent)
        if (a->Dev == node->Dev && a->Ino == node->Ino)
            return true;
    return false;
}

bool Job::IsPseudo(dev_t device)
{
    std::lock_guard lock(FPseudoMutex);
    if (!FPseudo)
        FPseudo.emplace();
    return FPseudo->Contains(device);
}

std::int64_t Job::FileKb(int dirFd, const char *name, bool *isDir)
{
    if (FBeforeStatus)
        FBeforeStatus(name);
    std::int64_t bytes = 0;
    bool dir = false;
    // A file that vanished or cannot be read counts 0, as du counts it.
    if (!fsys::StatAt(dirFd, name, bytes, dir))
        return 0;
    if (isDir)
        *isDir = dir;
    return dir ? 0 : bytes / 1024;
}

void Job::List(Node *node, int fd)
{
    const bool scanRoot = FRequest.Kind == TWalkRequest::TKind::Scan && node == FRoot.get();
    const bool recurse = FRequest.Kind != TWalkRequest::TKind::FilesSize || node != FRoot.get();
    const bool hiddenToo = scanRoot;
    std::vector<std::shared_ptr<Node>> children;
    std::vector<std::string> files;
    std::vector<Task> tasks;
    std::int64_t kb = 0;
    auto readHere = [&] {
        for (const std::string &f : files)
            kb = SaturatingAdd(kb, FileKb(fd, f.c_str(), nullptr));
        files.clear();
    };
    {
        fsys::DirReader reader(fd, false);
        fsys::DirReader::Entry e;
        std::size_t seen = 0;
        while (reader.Next(e)) {
            if ((++seen & 255) == 0 && Cancelled())
                return;
            if (fsys::IsDotOrDotDot(e.Name))
                continue;
            bool isDir = e.IsDir;
            if (e.IsUnknown) {
                const std::int64_t fileKb = FileKb(fd, e.Name, &isDir);
                if (!isDir) {
                    kb = SaturatingAdd(kb, fileKb);
                    continue;
                }
            }
            if (!isDir) {
                files.emplace_back(e.Name);
                if (files.size() >= kBatch) {
                    // Another worker reads them if one is free; else they are read here.
                    if (FPool->HasRoom()) {
                        node->Pending.fetch_add(1);
                        {
                            std::lock_guard lock(FDescMutex);
                            ++node->FutureUses;
                        }
                        tasks.push_back({shared_from_this(), node, Task::TKind::Files, std::move(files)});
                        FPool->Post(tasks);
                        files = {};
                    } else {
                        readHere();
                    }
                }
                continue;
            }
            if (recurse && (hiddenToo || e.Name[0] != '.'))
                children.push_back(std::make_shared<Node>(node, e.Name, std::uint32_t(children.size())));
        }
    }
    node->Pending.fetch_add(std::int64_t(children.size()));
    {
        std::lock_guard lock(FDescMutex);
        node->FutureUses += int(children.size());
    }
    {
        std::lock_guard lock(FOrderMutex);
        if (scanRoot) {
            FOutcome.Folders.reserve(children.size());
            for (const auto &c : children)
                FOutcome.Folders.push_back({c->Name, 0});
        }
        node->LiveChildren = children.size();
        node->Children = children;
        node->Listed = true;
        Advance();
    }
    // The first sub-folder is taken first, so the walk runs in listing order.
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        tasks.push_back({shared_from_this(), it->get(), Task::TKind::Enter, {}});
    children.clear();
    FPool->Post(tasks);
    readHere();
    AddKb(node->Kb, kb);
    DoneWith(node);
    Finish(node);
}

void Job::ReadFiles(Node *node, const std::vector<std::string> &names)
{
    const int fd = Use(node);
    {
        std::lock_guard lock(FDescMutex);
        --node->FutureUses;
    }
    std::int64_t kb = 0;
    if (fd >= 0) {
        for (const std::string &name : names) {
            if (Cancelled())
                break;
            kb = SaturatingAdd(kb, FileKb(fd, name.c_str(), nullptr));
        }
        DoneWith(node);
    }
    AddKb(node->Kb, kb);
    Finish(node);
}

void Job::Finish(Node *node)
{
    while (node) {
        if (node->Pending.fetch_sub(1) != 1)
            return;
        Node *parent = node->Parent;
        const std::int64_t kb = node->Kb.load();
        if (parent == FRoot.get() && FRequest.Kind == TWalkRequest::TKind::Scan) {
            std::lock_guard lock(FOrderMutex);
            FOutcome.Folders[node->Index].Kb = kb;
        } else if (parent) {
            AddKb(parent->Kb, kb);
        }
        std::lock_guard lock(FOrderMutex);
        node->Complete = true;
        if (!parent) {
            FOutcome.Kb = kb;
            FOutcome.FolderOpens = FOpens.load() + 1;
            Advance();
            FEvents.push_back({TWalkEvent::TKind::Done, true, {}});
            if (FNotify)
                FNotify();
            return;
        }
        Release(node);
        node = parent;
    }
}

// ---------------------------------------------------------------- descriptors

void Job::Reserve()
{
    std::vector<int> closing;
    {
        std::unique_lock lock(FDescMutex);
        while (FOpen >= FFdBudget) {
            if (FIdle.empty()) {
                FDescFreed.wait(lock);
                continue;
            }
            // The least recently used folder that no work needs right now.
            Node *victim = FIdle.front();
            FIdle.pop_front();
            victim->Idle = false;
            closing.push_back(victim->Fd);
            victim->Fd = -1;
            --FOpen;
        }
        ++FOpen;
    }
    for (int fd : closing)
        ::close(fd);
}

void Job::Unreserve()
{
    {
        std::lock_guard lock(FDescMutex);
        --FOpen;
    }
    FDescFreed.notify_all();
}

void Job::Install(Node *node, int fd)
{
    bool spare = false;
    {
        std::lock_guard lock(FDescMutex);
        if (node->Fd >= 0) {
            spare = true; // another worker reopened it first
        } else {
            node->Fd = fd;
        }
        ++node->ActiveUses;
        if (node->Idle) {
            FIdle.erase(node->IdlePos);
            node->Idle = false;
        }
    }
    if (spare) {
        ::close(fd);
        Unreserve();
    }
}

int Job::Use(Node *node)
{
    {
        std::lock_guard lock(FDescMutex);
        if (node->Fd >= 0) {
            ++node->ActiveUses;
            if (node->Idle) {
                FIdle.erase(node->IdlePos);
                node->Idle = false;
            }
            return node->Fd;
        }
    }
    return Reopen(node);
}

void Job::DoneWith(Node *node)
{
    int closing = -1;
    Node *parent = node->Parent;
    bool handUp = false;
    {
        std::lock_guard lock(FDescMutex);
        if (--node->ActiveUses > 0 || node->Pinned)
            return;
        if (node->FutureUses > 0) {
            node->IdlePos = FIdle.insert(FIdle.end(), node);
            node->Idle = true;
            FDescFreed.notify_all();
            return;
        }
        closing = node->Fd;
        node->Fd = -1;
        // A folder above that still has work but lost its descriptor gets
        // one back through "..": a walk climbing out of a deep tree then
        // reopens each folder in one step, not from the top.
        handUp = parent && parent->Fd < 0 && parent->FutureUses > 0;
        if (!handUp)
            --FOpen;
    }
    if (handUp) {
        const int up = ::openat(closing, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        FOpens.fetch_add(1, std::memory_order_relaxed);
        struct stat st {};
        if (up >= 0 && ::fstat(up, &st) == 0 && st.st_dev == parent->Dev && st.st_ino == parent->Ino) {
            Install(parent, up); // the slot passes from this folder to its parent
            DoneWith(parent);
        } else {
            if (up >= 0)
                ::close(up);
            Unreserve();
        }
    } else {
        FDescFreed.notify_all();
    }
    ::close(closing);
}

int Job::OpenBelow(int dirFd, const char *name)
{
    for (;;) {
        Reserve();
        const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        FOpens.fetch_add(1, std::memory_order_relaxed);
        if (fd >= 0)
            return fd;
        const int error = errno;
        Unreserve();
        // Out of descriptors is no property of the folder: wait for one.
        if (error != EMFILE && error != ENFILE) {
            errno = error;
            return -1;
        }
        {
            std::unique_lock lock(FDescMutex);
            if (!FIdle.empty()) {
                Node *victim = FIdle.front();
                FIdle.pop_front();
                victim->Idle = false;
                ::close(victim->Fd);
                victim->Fd = -1;
                --FOpen;
                continue;
            }
        }
        if (Cancelled()) {
            errno = error;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int Job::Reopen(Node *node)
{
    // The nearest ancestor that holds a descriptor (the walk's own folder
    // always does), then each folder down to this one, checked to be the
    // folder that was listed.
    std::vector<Node *> chain;
    Node *held = nullptr;
    {
        std::lock_guard lock(FDescMutex);
        Node *a = node;
        for (; a && a->Fd < 0; a = a->Parent)
            chain.push_back(a);
        if (!a)
            return -1;
        held = a;
        ++held->ActiveUses;
        if (held->Idle) {
            FIdle.erase(held->IdlePos);
            held->Idle = false;
        }
    }
    int fd = -1;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        Node *c = *it;
        {
            std::lock_guard lock(FDescMutex);
            fd = held->Fd;
        }
        const int next = OpenBelow(fd, c->Name.c_str());
        struct stat st {};
        const bool same = next >= 0 && ::fstat(next, &st) == 0 && st.st_dev == c->Dev && st.st_ino == c->Ino;
        DoneWith(held);
        if (!same) {
            if (next >= 0) {
                ::close(next);
                Unreserve();
            }
            return -1;
        }
        Install(c, next);
        held = c;
    }
    std::lock_guard lock(FDescMutex);
    return held->Fd;
}

// ---------------------------------------------------------------- order

void Job::Emit(TWalkEvent event)
{
    std::lock_guard lock(FOrderMutex);
    FEvents.push_back(std::move(event));
    if (FNotify)
        FNotify();
}

void Job::Resolve(Node *node, Node::TState state)
{
    std::lock_guard lock(FOrderMutex);
    node->State = state;
    if (state != Node::TState::Entered)
        node->Listed = true;
    Advance();
}

std::string Job::CursorPath() const
{
    std::string path = FRequest.Path;
    for (std::size_t i = 1; i < FCursor.size(); ++i)
        path = FormatNameDir(path) + FCursor[i].N->Name;
    return path;
}

// Moves the cursor along the tree in depth-first order as far as the walk
// has resolved it, reporting each folder that cannot be entered on the way.
void Job::Advance()
{
    bool told = false;
    while (!FCursor.empty()) {
        TCursor &top = FCursor.back();
        Node &n = *top.N;
        if (n.State == Node::TState::Unresolved || !n.Listed)
            break;
        if (n.State == Node::TState::CannotEnter) {
            FEvents.push_back({TWalkEvent::TKind::CannotEnter, false, CursorPath()});
            told = true;
        } else if (top.Next < n.Children.size()) {
            std::shared_ptr<Node> child = n.Children[top.Next++];
            if (child)
                FCursor.push_back({std::move(child), 0});
            continue;
        }
        std::shared_ptr<Node> passed = std::move(top.N);
        FCursor.pop_back();
        passed->CursorPassed = true;
        Release(passed.get());
    }
    if (told && FNotify)
        FNotify();
}

// Drops a finished folder whose subtree has nothing left to report, and then
// the folders above it that this leaves finished and empty.
void Job::Release(Node *node)
{
    while (node && node->Parent) {
        const bool silent = node->State != Node::TState::CannotEnter && node->LiveChildren == 0;
        if (!node->Complete || !(node->CursorPassed || silent))
            return;
        Node *parent = node->Parent;
        std::shared_ptr<Node> &slot = parent->Children[node->Index];
        if (!slot)
            return;
        slot.reset();
        --parent->LiveChildren;
        node = parent;
    }
}

// Descriptors for folders: half the soft limit, at most 512, at least 8.
int DescriptorBudget(int asked)
{
    if (asked > 0)
        return std::max(asked, 2);
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY)
        return 512;
    return int(std::clamp<rlim_t>(rl.rlim_cur / 2, 8, 512));
}

} // namespace

void TWalkEngine::TPool::Run(const std::shared_ptr<TPool> &pool, std::size_t index)
{
    // Below the window's thread: with every core walking, the window would
    // otherwise wait its turn for tens of milliseconds between ticks.
    ::setpriority(PRIO_PROCESS, ::gettid(), kWorkerNice);
    std::unique_lock lock(pool->M);
    for (;;) {
        while (!pool->Stop && (pool->Stack.empty() || !pool->HasRoom())) {
            if (pool->Stack.empty()) {
                pool->Wake.wait(lock);
                continue;
            }
            // Held back while others run: they may be stuck on a stalled
            // disk, which the next look at the pace lets this worker pass.
            ++pool->HeldBack;
            const bool timedOut = pool->Wake.wait_for(lock, TWalkPace::kPeriod) == std::cv_status::timeout;
            --pool->HeldBack;
            if (timedOut)
                pool->Retune();
        }
        if (pool->Stop)
            return;
        Task task = std::move(pool->Stack.back());
        pool->Stack.pop_back();
        ++pool->Busy;
        pool->TaskSince[index] = TWalkPace::TClock::now();
        lock.unlock();
        auto *job = static_cast<Job *>(task.J.get());
        if (!job->Cancelled())
            job->Run(task);
        task = {};
        lock.lock();
        --pool->Busy;
        pool->TaskSince[index].reset();
        pool->Retune();
    }
}

TWalkEngine::TWalkEngine(TWalkOptions options) : FOptions(std::move(options))
{
    FOptions.Workers = std::max(1, FOptions.Workers);
    FPool = std::make_shared<TPool>(FOptions.Workers);
}

TWalkEngine::~TWalkEngine()
{
    bool busy = false;
    {
        std::lock_guard lock(FPool->M);
        FPool->Stop = true;
        busy = FPool->Busy > 0;
    }
    FPool->Wake.notify_all();
    // A worker stuck in a call to a stalled mount would hold the window's
    // close for as long as the mount sleeps: busy workers are let go, and end
    // with the process; the pool they use lives as long as they do.
    for (std::jthread &t : FPool->Threads) {
        if (busy)
            t.detach();
        else
            t.join();
    }
}

std::shared_ptr<TWalkJob> TWalkEngine::Start(TWalkRequest request)
{
    if (FPool->Threads.empty())
        for (std::size_t i = 0; i < FPool->TaskSince.size(); ++i)
            FPool->Threads.emplace_back([pool = FPool, i] { TPool::Run(pool, i); });
    {
        std::lock_guard lock(FPool->M);
        FPool->Restart();
    }
    // Each worker holds at most two descriptors at once, the walk's own
    // folder one more: a smaller budget could leave every worker waiting.
    const int budget = std::max(DescriptorBudget(FOptions.MaxOpenDirs), 2 * FOptions.Workers + 2);
    auto job = std::make_shared<Job>(std::move(request), FOptions, FPool, budget);
    std::vector<Task> begin;
    begin.push_back({job, nullptr, Task::TKind::Begin, {}});
    FPool->Post(begin);
    return job;
}

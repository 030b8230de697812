#include "Descriptors.h"

#include "Linux.h"
#include "Node.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace walk {

namespace {
// How long a walk waits, in all, for descriptors that other parts of the
// program hold before it gives folders up.
constexpr std::chrono::seconds kOutOfDescriptorsWait{1};
} // namespace

TDescriptors::TDescriptors(std::string rootPath, const std::atomic<bool> &cancelled)
    : FCancelled(cancelled), FRootPath(std::move(rootPath))
{
}

void TDescriptors::SetBudget(int budget)
{
    {
        std::lock_guard lock(FMutex);
        FBudget = std::max(1, budget);
        // A permit holder holds two descriptors at most: a folder and the one it opens.
        FPermits += std::max(1, (FBudget - (PinsRoot() ? 1 : 0)) / 2) - 1;
    }
    FFreed.notify_all();
}

int TDescriptors::Available()
{
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY)
        return 1024;
    // The limit bounds the numbers a descriptor may take: what is free below it.
    const auto limit = std::min<rlim_t>(rl.rlim_cur, 1 << 20);
    rlim_t open = 0;
    const int fd = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        os::DirReader reader(fd);
        os::DirReader::Entry e;
        while (reader.Next(e))
            if (!os::IsDotOrDotDot(e.Name) && std::strtoull(e.Name, nullptr, 10) < limit)
                ++open;
        --open; // the listing's own
    } else {
        for (rlim_t i = 0; i < std::min<rlim_t>(limit, 65536); ++i)
            if (::fcntl(int(i), F_GETFD) != -1)
                ++open;
    }
    return int(limit - std::min(limit, open));
}

int TDescriptors::Budget(int asked, int available)
{
    // A few are left to the program: its window may open a file or two.
    const int wanted = asked > 0 ? asked : std::min(512, available - std::min(available / 4, 8));
    return std::max(1, std::min(wanted, available));
}

TDescriptors::TPermit::~TPermit()
{
    {
        std::lock_guard lock(FOwner->FMutex);
        ++FOwner->FPermits;
    }
    FOwner->FFreed.notify_all();
}

TDescriptors::TPermit TDescriptors::Permit()
{
    std::unique_lock lock(FMutex);
    FFreed.wait(lock, [this] { return FPermits > 0; });
    --FPermits;
    return TPermit(this);
}

void TDescriptors::Wake(TNode *node)
{
    if (node->Idle) {
        FIdle.erase(node->IdlePos);
        node->Idle = false;
    }
}

bool TDescriptors::CloseIdle()
{
    if (FIdle.empty())
        return false;
    TNode *victim = FIdle.front();
    FIdle.pop_front();
    victim->Idle = false;
    ::close(victim->Fd);
    victim->Fd = -1;
    --FOpen;
    return true;
}

void TDescriptors::Reserve()
{
    std::unique_lock lock(FMutex);
    // The least recently used folder that no work needs right now goes first;
    // with none, a permit holder's descriptor comes free soon.
    while (FOpen >= FBudget)
        if (!CloseIdle())
            FFreed.wait(lock);
    ++FOpen;
}

void TDescriptors::Unreserve()
{
    {
        std::lock_guard lock(FMutex);
        --FOpen;
    }
    FFreed.notify_all();
}

void TDescriptors::Install(TNode *node, int fd)
{
    bool spare = false;
    {
        std::lock_guard lock(FMutex);
        if (node->Fd >= 0)
            spare = true; // another worker reopened it first
        else
            node->Fd = fd;
        ++node->ActiveUses;
        Wake(node);
    }
    if (spare) {
        ::close(fd);
        Unreserve();
    }
}

void TDescriptors::AddFutureUses(TNode *node, int uses)
{
    std::lock_guard lock(FMutex);
    node->FutureUses += uses;
}

int TDescriptors::Use(TNode *node)
{
    {
        std::lock_guard lock(FMutex);
        if (node->Fd >= 0) {
            ++node->ActiveUses;
            Wake(node);
            return node->Fd;
        }
    }
    return Reopen(node);
}

void TDescriptors::DoneWith(TNode *node)
{
    int closing = -1;
    TNode *parent = node->Parent;
    bool handUp = false;
    {
        std::lock_guard lock(FMutex);
        if (--node->ActiveUses > 0 || node->Pinned)
            return;
        if (node->FutureUses > 0) {
            node->IdlePos = FIdle.insert(FIdle.end(), node);
            node->Idle = true;
            FFreed.notify_all();
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
        FFreed.notify_all();
    }
    ::close(closing);
}

int TDescriptors::OpenRoot()
{
    return OpenBelow(AT_FDCWD, FRootPath.c_str(), true);
}

int TDescriptors::OpenBelow(int dirFd, const char *name, bool followLink)
{
    const auto giveUp = std::chrono::steady_clock::now() + kOutOfDescriptorsWait;
    const int flags = O_RDONLY | O_DIRECTORY | (followLink ? 0 : O_NOFOLLOW);
    for (;;) {
        Reserve();
        const int fd = dirFd == AT_FDCWD ? os::OpenPath(name, flags) : ::openat(dirFd, name, flags | O_CLOEXEC);
        FOpens.fetch_add(1, std::memory_order_relaxed);
        if (fd >= 0)
            return fd;
        const int error = errno;
        Unreserve();
        // Out of descriptors is no property of the folder: other parts of
        // the program hold them, and may let them go.
        if (error != EMFILE && error != ENFILE) {
            errno = error;
            return -1;
        }
        {
            std::lock_guard lock(FMutex);
            if (CloseIdle())
                continue;
        }
        if (FCancelled.load(std::memory_order_relaxed) || FWaitedInVain.load(std::memory_order_relaxed)
            || std::chrono::steady_clock::now() >= giveUp) {
            FWaitedInVain = true;
            errno = error;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string TDescriptors::PathOf(const TNode *node) const
{
    std::vector<const TNode *> chain;
    for (; node->Parent; node = node->Parent)
        chain.push_back(node);
    std::string path = FRootPath;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        path.append("/").append((*it)->Name);
    return path;
}

TDescriptors::TOpened TDescriptors::OpenChild(TNode *node)
{
    TNode *parent = node->Parent;
    TOpened opened;
    if (FBudget == 1) {
        // One descriptor: the parent's would leave none for the child.
        AddFutureUses(parent, -1);
        const std::string path = PathOf(node);
        opened.Fd = OpenBelow(AT_FDCWD, path.c_str());
        opened.Error = errno;
        struct stat st {};
        opened.Searchable = opened.Fd < 0 && opened.Error == EACCES && ::lstat(path.c_str(), &st) == 0
                            && S_ISDIR(st.st_mode) && ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
        return opened;
    }
    const int parentFd = Use(parent);
    AddFutureUses(parent, -1);
    if (parentFd < 0) {
        // The folder above moved or vanished since it was listed.
        opened.Error = ENOENT;
        return opened;
    }
    opened.Fd = OpenBelow(parentFd, node->Name.c_str());
    opened.Error = errno;
    struct stat st {};
    opened.Searchable = opened.Fd < 0 && opened.Error == EACCES
                        && ::fstatat(parentFd, node->Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
                        && S_ISDIR(st.st_mode)
                        && ::faccessat(parentFd, node->Name.c_str(), X_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0;
    DoneWith(parent);
    return opened;
}

int TDescriptors::ReopenByPath(TNode *node)
{
    const std::string path = PathOf(node);
    const int fd = OpenBelow(AT_FDCWD, path.c_str(), true);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_dev != node->Dev || st.st_ino != node->Ino) {
        if (fd >= 0) {
            ::close(fd);
            Unreserve();
        }
        return -1;
    }
    Install(node, fd);
    return fd;
}

int TDescriptors::Reopen(TNode *node)
{
    if (FBudget == 1)
        return ReopenByPath(node);
    // The nearest ancestor that holds a descriptor (the walk's own folder,
    // opened again by its path if need be), then each folder down to this
    // one, checked to be the folder that was listed.
    std::vector<TNode *> chain;
    TNode *held = node;
    bool open = false;
    {
        std::lock_guard lock(FMutex);
        for (; held->Fd < 0 && held->Parent; held = held->Parent)
            chain.push_back(held);
        open = held->Fd >= 0;
        if (open) {
            ++held->ActiveUses;
            Wake(held);
        }
    }
    if (!open && ReopenByPath(held) < 0)
        return -1;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        TNode *c = *it;
        int fd = -1;
        {
            std::lock_guard lock(FMutex);
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
    std::lock_guard lock(FMutex);
    return held->Fd;
}

} // namespace walk

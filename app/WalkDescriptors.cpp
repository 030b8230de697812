#include "WalkDescriptors.h"

#include "FileSystem.h"
#include "WalkNode.h"

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

namespace {
// How long a walk waits, in all, for descriptors that other parts of the
// program hold before it gives folders up.
constexpr std::chrono::seconds kOutOfDescriptorsWait{1};
} // namespace

TWalkDescriptors::TWalkDescriptors(std::string rootPath, const std::atomic<bool> &cancelled)
    : FCancelled(cancelled), FRootPath(std::move(rootPath))
{
}

void TWalkDescriptors::SetBudget(int budget)
{
    {
        std::lock_guard lock(FMutex);
        FBudget = std::max(1, budget);
        // A permit holder holds two descriptors at most: a folder and the one it opens.
        FPermits += std::max(1, (FBudget - (PinsRoot() ? 1 : 0)) / 2) - 1;
    }
    FFreed.notify_all();
}

int TWalkDescriptors::Available()
{
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY)
        return 1024;
    // The limit bounds the numbers a descriptor may take: what is free below it.
    const auto limit = std::min<rlim_t>(rl.rlim_cur, 1 << 20);
    rlim_t open = 0;
    const int fd = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsys::DirReader reader(fd);
        fsys::DirReader::Entry e;
        while (reader.Next(e))
            if (!fsys::IsDotOrDotDot(e.Name) && std::strtoull(e.Name, nullptr, 10) < limit)
                ++open;
        --open; // the listing's own
    } else {
        for (rlim_t i = 0; i < std::min<rlim_t>(limit, 65536); ++i)
            if (::fcntl(int(i), F_GETFD) != -1)
                ++open;
    }
    return int(limit - std::min(limit, open));
}

int TWalkDescriptors::Budget(int asked, int available)
{
    // A few are left to the program: its window may open a file or two.
    const int wanted = asked > 0 ? asked : std::min(512, available - std::min(available / 4, 8));
    return std::max(1, std::min(wanted, available));
}

TWalkDescriptors::TPermit::~TPermit()
{
    {
        std::lock_guard lock(FOwner->FMutex);
        ++FOwner->FPermits;
    }
    FOwner->FFreed.notify_all();
}

TWalkDescriptors::TPermit TWalkDescriptors::Permit()
{
    std::unique_lock lock(FMutex);
    FFreed.wait(lock, [this] { return FPermits > 0; });
    --FPermits;
    return TPermit(this);
}

void TWalkDescriptors::Wake(TWalkNode *node)
{
    if (node->Idle) {
        FIdle.erase(node->IdlePos);
        node->Idle = false;
    }
}

bool TWalkDescriptors::CloseIdle()
{
    if (FIdle.empty())
        return false;
    TWalkNode *victim = FIdle.front();
    FIdle.pop_front();
    victim->Idle = false;
    ::close(victim->Fd);
    victim->Fd = -1;
    --FOpen;
    return true;
}

void TWalkDescriptors::Reserve()
{
    std::unique_lock lock(FMutex);
    // The least recently used folder that no work needs right now goes first;
    // with none, a permit holder's descriptor comes free soon.
    while (FOpen >= FBudget)
        if (!CloseIdle())
            FFreed.wait(lock);
    ++FOpen;
}

void TWalkDescriptors::Unreserve()
{
    {
        std::lock_guard lock(FMutex);
        --FOpen;
    }
    FFreed.notify_all();
}

void TWalkDescriptors::Install(TWalkNode *node, int fd)
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

void TWalkDescriptors::AddFutureUses(TWalkNode *node, int uses)
{
    std::lock_guard lock(FMutex);
    node->FutureUses += uses;
}

int TWalkDescriptors::Use(TWalkNode *node)
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

void TWalkDescriptors::DoneWith(TWalkNode *node)
{
    int closing = -1;
    TWalkNode *parent = node->Parent;
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

int TWalkDescriptors::OpenRoot()
{
    return OpenBelow(AT_FDCWD, FRootPath.c_str(), true);
}

int TWalkDescriptors::OpenBelow(int dirFd, const char *name, bool followLink)
{
    const auto giveUp = std::chrono::steady_clock::now() + kOutOfDescriptorsWait;
    const int flags = O_RDONLY | O_DIRECTORY | (followLink ? 0 : O_NOFOLLOW);
    for (;;) {
        Reserve();
        const int fd = dirFd == AT_FDCWD ? fsys::OpenPath(name, flags) : ::openat(dirFd, name, flags | O_CLOEXEC);
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

std::string TWalkDescriptors::PathOf(const TWalkNode *node) const
{
    std::vector<const TWalkNode *> chain;
    for (; node->Parent; node = node->Parent)
        chain.push_back(node);
    std::string path = FRootPath;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        path.append("/").append((*it)->Name);
    return path;
}

TWalkDescriptors::TOpened TWalkDescriptors::OpenChild(TWalkNode *node)
{
    TWalkNode *parent = node->Parent;
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

int TWalkDescriptors::ReopenByPath(TWalkNode *node)
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

int TWalkDescriptors::Reopen(TWalkNode *node)
{
    if (FBudget == 1)
        return ReopenByPath(node);
    // The nearest ancestor that holds a descriptor (the walk's own folder,
    // opened again by its path if need be), then each folder down to this
    // one, checked to be the folder that was listed.
    std::vector<TWalkNode *> chain;
    TWalkNode *held = node;
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
        TWalkNode *c = *it;
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

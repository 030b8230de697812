#include "WalkDescriptors.h"

#include "WalkNode.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

TWalkDescriptors::TWalkDescriptors(int budget, const std::atomic<bool> &cancelled)
    : FCancelled(cancelled), FBudget(budget)
{
}

int TWalkDescriptors::DefaultBudget(int asked)
{
    if (asked > 0)
        return std::max(asked, 2);
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY)
        return 512;
    return int(std::clamp<rlim_t>(rl.rlim_cur / 2, 8, 512));
}

void TWalkDescriptors::Wake(TWalkNode *node)
{
    if (node->Idle) {
        FIdle.erase(node->IdlePos);
        node->Idle = false;
    }
}

void TWalkDescriptors::Reserve()
{
    std::vector<int> closing;
    {
        std::unique_lock lock(FMutex);
        while (FOpen >= FBudget) {
            if (FIdle.empty()) {
                FFreed.wait(lock);
                continue;
            }
            // The least recently used folder that no work needs right now.
            TWalkNode *victim = FIdle.front();
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

void TWalkDescriptors::Unreserve()
{
    {
        std::lock_guard lock(FMutex);
        --FOpen;
    }
    FFreed.notify_all();
}

void TWalkDescriptors::Count()
{
    std::lock_guard lock(FMutex);
    ++FOpen;
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

int TWalkDescriptors::OpenBelow(int dirFd, const char *name)
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
            std::unique_lock lock(FMutex);
            if (!FIdle.empty()) {
                TWalkNode *victim = FIdle.front();
                FIdle.pop_front();
                victim->Idle = false;
                ::close(victim->Fd);
                victim->Fd = -1;
                --FOpen;
                continue;
            }
        }
        if (FCancelled.load(std::memory_order_relaxed)) {
            errno = error;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int TWalkDescriptors::Reopen(TWalkNode *node)
{
    // The nearest ancestor that holds a descriptor (the walk's own folder
    // always does), then each folder down to this one, checked to be the
    // folder that was listed.
    std::vector<TWalkNode *> chain;
    TWalkNode *held = nullptr;
    {
        std::lock_guard lock(FMutex);
        TWalkNode *a = node;
        for (; a && a->Fd < 0; a = a->Parent)
            chain.push_back(a);
        if (!a)
            return -1;
        held = a;
        ++held->ActiveUses;
        Wake(held);
    }
    int fd = -1;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        TWalkNode *c = *it;
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

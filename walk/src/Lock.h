#pragma once
// The one lock of a walk. Every field its workers share about its folders,
// but the sums they add to, is guarded by it, and reached only through a
// guard (see TNode::Locked). No system call is made while it is held, so the
// caller's thread, which takes it to read events, never waits on a disk:
// what must wait (closing descriptors, telling the caller of new events) is
// handed to the guard and done once the guard has let the lock go.
#include "SlotFd.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

namespace walk {

class TWalkLock {
public:
    // See TJob::SetNotify.
    void SetNotify(std::function<void()> notify);
    // Wakes whoever waits under a guard (for a descriptor, a permit or the
    // walk's cancellation) to look again.
    void WakeAll() { FChanged.notify_all(); }
    // Whether the calling thread holds the lock: what would wait for it must
    // not run there. Kept in builds with assertions only.
    bool HeldHere() const { return FOwner.load(std::memory_order_relaxed) == std::this_thread::get_id(); }
    void SetOwner([[maybe_unused]] std::thread::id owner)
    {
#ifndef NDEBUG
        FOwner.store(owner, std::memory_order_relaxed);
#endif
    }

private:
    friend class TGuard;
    // Calls the notify function, outside the lock.
    void Tell() noexcept;

    std::mutex FMutex;
    std::condition_variable FChanged;
    std::atomic<std::thread::id> FOwner{};
    // Held while the notify function runs, so that replacing it waits.
    std::mutex FNotifyMutex;
    std::function<void()> FNotify;
};

// Holds the walk's lock for its scope. Allocates nothing.
class TGuard {
public:
    explicit TGuard(TWalkLock &lock);
    // Lets the lock go, then closes what was handed to it and tells the caller.
    ~TGuard();
    TGuard(const TGuard &) = delete;
    TGuard &operator=(const TGuard &) = delete;

    // Waits until `ready()`, letting the lock go meanwhile.
    template <class Ready> void Wait(Ready ready)
    {
        FLock.SetOwner({});
        FLock.FChanged.wait(FHeld, ready);
        FLock.SetOwner(std::this_thread::get_id());
    }
    // Closed once the lock is let go.
    void CloseAfter(TSlotFd &&fd) noexcept;
    // The caller is told once the lock is let go.
    void TellAfter() { FTell = true; }

private:
    // A section of the walk closes two descriptors at most: a use of a
    // folder's that ends, and a spare or one that did not lead in.
    static constexpr std::size_t kClosing = 2;
    TWalkLock &FLock;
    std::unique_lock<std::mutex> FHeld;
    std::array<TSlotFd, kClosing> FClosing;
    std::size_t FClosingCount = 0;
    bool FTell = false;
};

} // namespace walk

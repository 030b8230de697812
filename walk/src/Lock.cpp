#include "Lock.h"

#include "Descriptors.h"

#include <cassert>
#include <unistd.h>

namespace walk {

void TSlotFd::Replace(int fd) noexcept
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = fd < 0 ? -1 : fd;
}

void TSlotFd::Reset() noexcept
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
    if (FOwner)
        FOwner->GiveBack();
    FOwner = nullptr;
}

void TWalkLock::SetNotify(std::function<void()> notify)
{
    std::lock_guard lock(FNotifyMutex);
    FNotify = std::move(notify);
}

void TWalkLock::Tell() noexcept
{
    std::lock_guard lock(FNotifyMutex);
    try {
        if (FNotify)
            FNotify();
    } catch (...) {
        // The caller looks at the walk again on its next event.
    }
}

TGuard::TGuard(TWalkLock &lock) : FLock(lock), FHeld(lock.FMutex)
{
    FLock.SetOwner(std::this_thread::get_id());
}

TGuard::~TGuard()
{
    FLock.SetOwner({});
    FHeld.unlock();
    for (std::size_t i = 0; i < FClosingCount; ++i)
        FClosing[i] = TSlotFd();
    if (FTell)
        FLock.Tell();
}

void TGuard::CloseAfter(TSlotFd &&fd) noexcept
{
    if (!fd)
        return;
    assert(FClosingCount < kClosing);
    if (FClosingCount < kClosing)
        FClosing[FClosingCount++] = std::move(fd);
}

} // namespace walk

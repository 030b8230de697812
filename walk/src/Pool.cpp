#include "Pool.h"

#include "Linux.h"

#include <algorithm>

namespace walk {

namespace {
// Workers' niceness: measured on two cores, 10 halves the window's longest
// wait between ticks and costs the walk nothing measurable.
constexpr int kWorkerNice = 10;
} // namespace

TPool::TPool(int workers)
    : FPace(os::Cores(), std::max(1, workers)), FTaskSince(std::size_t(std::max(1, workers)))
{
}

void TPool::Restart()
{
    try {
        while (FThreads.size() < FTaskSince.size()) {
            FThreads.emplace_back([self = shared_from_this(), i = FThreads.size()] { self->Run(i); });
            ++FMade;
        }
    } catch (const std::exception &) {
        // Refused by the system (std::system_error) or out of memory: the
        // walk runs with the threads there are.
    }
    std::lock_guard lock(FMutex);
    FPace.Restart(TPace::TClock::now(), os::ProcessCpuNs());
    FAllowed = std::min(int(FMade), FPace.Allowed());
}

bool TPool::HasWorkers() const
{
    return FMade > 0;
}

void TPool::RunTask(TTask &task)
{
    if (task.Job->Cancelled())
        return;
    try {
        task.Job->Run(task);
    } catch (const std::bad_alloc &) {
        task.Job->Fail();
    }
}

bool TPool::RunOne()
{
    TTask task;
    {
        std::lock_guard lock(FMutex);
        if (FStack.empty())
            return false;
        task = std::move(FStack.back());
        FStack.pop_back();
    }
    RunTask(task);
    return true;
}

bool TPool::HasRoom() const
{
    return FBusy.load(std::memory_order_relaxed) < FAllowed.load(std::memory_order_relaxed);
}

void TPool::Post(std::vector<TTask> &tasks)
{
    if (tasks.empty())
        return;
    int room = 0;
    {
        std::lock_guard lock(FMutex);
        for (TTask &t : tasks)
            FStack.push_back(std::move(t));
        room = FAllowed - FBusy;
        // With no room, one worker still has to wait on the clock, to look
        // at the pace again should the busy ones be stuck.
        if (room <= 0 && FHeldBack == 0)
            room = 1;
    }
    // Only workers that may start are woken: the busy ones take the rest
    // when they finish.
    if (room == 1 || (room > 1 && tasks.size() == 1))
        FWake.notify_one();
    else if (room > 1)
        FWake.notify_all();
    tasks.clear();
}

void TPool::Retune()
{
    const auto now = TPace::TClock::now();
    if (!FPace.Due(now))
        return;
    FPace.Retune(now, os::ProcessCpuNs());
    const auto stuck = std::count_if(FTaskSince.begin(), FTaskSince.end(), [&](const auto &since) {
        return since && now - *since >= TPace::kPeriod;
    });
    const int before = FAllowed;
    FAllowed = std::min(int(FMade), FPace.Allowed() + int(stuck));
    if (FAllowed > before)
        FWake.notify_all();
}

void TPool::Run(std::size_t index)
{
    // Below the window's thread: with every core walking, the window would
    // otherwise wait its turn for tens of milliseconds between ticks.
    os::LowerThreadPriority(kWorkerNice);
    std::unique_lock lock(FMutex);
    for (;;) {
        while (!FStop && (FStack.empty() || !HasRoom())) {
            if (FStack.empty()) {
                FWake.wait(lock);
                continue;
            }
            // Held back while others run: they may be stuck on a stalled
            // disk, which the next look at the pace lets this worker pass.
            ++FHeldBack;
            const bool timedOut = FWake.wait_for(lock, TPace::kPeriod) == std::cv_status::timeout;
            --FHeldBack;
            if (timedOut)
                Retune();
        }
        if (FStop)
            return;
        TTask task = std::move(FStack.back());
        FStack.pop_back();
        ++FBusy;
        FTaskSince[index] = TPace::TClock::now();
        lock.unlock();
        RunTask(task);
        task = {};
        lock.lock();
        --FBusy;
        FTaskSince[index].reset();
        Retune();
    }
}

void TPool::Shutdown()
{
    bool busy = false;
    {
        std::lock_guard lock(FMutex);
        FStop = true;
        busy = FBusy > 0;
    }
    FWake.notify_all();
    // A worker stuck in a call to a stalled mount would hold the window's
    // close for as long as the mount sleeps: busy workers are let go.
    for (std::jthread &t : FThreads) {
        if (busy)
            t.detach();
        else
            t.join();
    }
    FThreads.clear();
}

} // namespace walk

#pragma once
// The walk's worker threads. Tasks are taken last in, first out, so a walk
// runs depth first and its frontier (its memory and descriptors) stays small.
// How many workers run at once follows the walk's pace (TWalkPace): one a
// core while the walk keeps the cores busy, all of them while it waits on the
// disk. A worker inside one task for a whole pace period (most likely stuck on
// a stalled mount) does not count against that limit, so a stalled folder
// never holds the rest of the walk.
#include "WalkPace.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct TWalkNode;
struct TWalkTask;

// A walk the pool runs tasks for.
class TWalkTaskRunner {
public:
    virtual ~TWalkTaskRunner() = default;
    // A cancelled walk's tasks are dropped unrun.
    virtual bool Cancelled() const = 0;
    virtual void Run(TWalkTask &task) = 0;
    // A task ran out of memory: the walk ends at once, said to have failed.
    virtual void Fail() noexcept = 0;
};

// Files of one folder waiting for their status; in the scanned folder itself
// each with its place in the listing.
struct TWalkFiles {
    std::vector<std::string> Names;
    std::vector<std::uint32_t> Places;
};

struct TWalkTask {
    enum class TKind : std::uint8_t {
        // The walk's own folder.
        Begin,
        // Enter a sub-folder and list it.
        Enter,
        // Read the status of a batch of a folder's files.
        Files,
    };
    std::shared_ptr<TWalkTaskRunner> Job;
    TWalkNode *Node = nullptr;
    TKind Kind = TKind::Begin;
    TWalkFiles Files;
};

class TWalkPool : public std::enable_shared_from_this<TWalkPool> {
public:
    explicit TWalkPool(int workers);

    // A new walk: its pace is learnt again. Starts the threads not made yet;
    // the system may refuse some, or all (a limit on threads or memory).
    void Restart();
    // Whether any worker thread runs; without one, the walk's tasks wait for
    // RunOne on another thread.
    bool HasWorkers() const;
    // Runs one waiting task on the calling thread; false when none waits.
    bool RunOne();
    // Whether a task posted now would be taken at once by another worker.
    bool HasRoom() const;
    // Queues the tasks, emptying the vector, and wakes the workers that may start.
    void Post(std::vector<TWalkTask> &tasks);
    // Ends the workers. Any still inside a task (a call to a stalled mount)
    // are let go, to end with the process; the pool lives as long as they do.
    void Shutdown();

private:
    void Run(std::size_t index);
    static void RunTask(TWalkTask &task);
    // With FMutex held: looks at the pace once a period, and wakes the
    // workers held back when more may run.
    void Retune();

    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::vector<TWalkTask> FStack;
    bool FStop = false;
    // Workers inside a task, and how many may be.
    std::atomic<int> FBusy{0};
    std::atomic<int> FAllowed{1};
    // Workers waiting for room while tasks wait.
    int FHeldBack = 0;
    TWalkPace FPace;
    // When each worker took its task; empty while it has none.
    std::vector<std::optional<TWalkPace::TClock::time_point>> FTaskSince;
    std::vector<std::jthread> FThreads;
    std::atomic<int> FMade{0};
};

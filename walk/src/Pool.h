#pragma once
// The walk's worker threads. Tasks are taken last in, first out, so a walk
// runs depth first and its frontier (its memory and descriptors) stays small.
// How many workers run at once follows the walk's pace (TPace): one a
// core while the walk keeps the cores busy, all of them while it waits on the
// disk. A worker inside one task for a whole pace period (most likely stuck on
// a stalled mount) does not count against that limit, so a stalled folder
// never holds the rest of the walk.
#include "Pace.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace walk {

struct TNode;
struct TTask;

// A walk the pool runs tasks for.
class TTaskRunner {
public:
    virtual ~TTaskRunner() = default;
    // A cancelled walk's tasks are dropped unrun.
    virtual bool Cancelled() const = 0;
    virtual void Run(TTask &task) = 0;
    // A task ran out of memory: the walk ends at once, said to have failed.
    virtual void Fail() noexcept = 0;
};

// Files of one folder waiting for their status; in the scanned folder itself
// each with its place in the listing.
struct TFiles {
    std::vector<std::string> Names;
    std::vector<std::uint32_t> Places;
};

struct TTask {
    enum class TKind : std::uint8_t {
        // The walk's own folder.
        Begin,
        // Enter a sub-folder and list it.
        Enter,
        // Read the status of a batch of a folder's files.
        Files,
    };
    std::shared_ptr<TTaskRunner> Job;
    TNode *Node = nullptr;
    TKind Kind = TKind::Begin;
    TFiles Files;
};

class TPool : public std::enable_shared_from_this<TPool> {
public:
    explicit TPool(int workers);

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
    void Post(std::vector<TTask> &tasks);
    // Ends the workers. Any still inside a task (a call to a stalled mount)
    // are let go, to end with the process; the pool lives as long as they do.
    void Shutdown();

private:
    void Run(std::size_t index);
    static void RunTask(TTask &task);
    // With FMutex held: looks at the pace once a period, and wakes the
    // workers held back when more may run.
    void Retune();

    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::vector<TTask> FStack;
    bool FStop = false;
    // Workers inside a task, and how many may be.
    std::atomic<int> FBusy{0};
    std::atomic<int> FAllowed{1};
    // Workers waiting for room while tasks wait.
    int FHeldBack = 0;
    TPace FPace;
    // When each worker took its task; empty while it has none.
    std::vector<std::optional<TPace::TClock::time_point>> FTaskSince;
    std::vector<std::jthread> FThreads;
    std::atomic<int> FMade{0};
};

} // namespace walk

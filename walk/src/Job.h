#pragma once
// One walk: the job's own folder, then every folder below it, each entered
// by a worker of the pool, its files' status read there or handed out in
// batches. A folder's sum is folded into its parent's when its last piece of
// work ends, so memory follows the frontier of the walk, not the tree.
//
// A folder crosses the walk's lock a few times: once to take what it needs
// before its descriptor is opened, once to be resolved, once when it is
// listed and once when its work ends. System calls are made between those,
// never under the lock.
#include "Ancestry.h"
#include "Descriptors.h"
#include "HardLinks.h"
#include "Linux.h"
#include "Lock.h"
#include "Node.h"
#include "Order.h"
#include "Pool.h"
#include "walk/Walk.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace walk {

class TJobImpl final : public TJob, public TTaskRunner, public std::enable_shared_from_this<TJobImpl> {
public:
    TJobImpl(TRequest request, const TOptions &options, std::shared_ptr<TPool> pool);

    // --- TJob
    bool TakeEvent(TEvent &event) override;
    void SetNotify(std::function<void()> notify) override;
    void Cancel() override;
    const TOutcome &Outcome() const override { return FOutcome; }

    // --- TTaskRunner
    bool Cancelled() const override { return FCancelled.load(std::memory_order_relaxed); }
    void Run(TTask &task) override;
    void Fail() noexcept override;

private:
    void Begin();
    void BeginScan(TPermit permit);
    void BeginFolder(TPermit permit);
    void Enter(TNode *node);
    void ReadFiles(TNode *node, const TFiles &files);

    // What the entering of a folder found.
    struct TEntry {
        TNode::TState State = TNode::TState::CannotEnter;
        TSlotFd Fd;
    };
    // Reads the identity of the folder open in `entry`: Entered, or Quiet for
    // a pseudo file system, or CannotEnter when it may not be searched.
    void Identify(TNode *node, TEntry &entry);
    // Opens a sub-folder in the place reserved for it: from its parent's
    // descriptor, or by its path when the budget is a single descriptor.
    void OpenChild(TNode *node, int parentFd, TEntry &entry);
    // Ends the entering of a folder, under the lock: one met again below
    // itself is quiet; one not entered counts as resolved and finished, its
    // place given back; an entered one gets its descriptor. `parentFd`: the
    // use of the parent's descriptor that ends here, if any.
    void Settle(TNode *node, TEntry entry, int parentFd, TPermit &permit);
    void List(TNode *node, int fd, TPermit &permit);

    // Runs `open` for the descriptor of `slot`; while the process is out of
    // descriptors (other parts of the program hold them), closes idle folders
    // or waits a while. False, errno set, when it cannot be opened.
    template <class Open> bool OpenInto(TSlotFd &slot, Open open);
    // The node's descriptor for one use, opened again if it was closed
    // (checked to be the folder that was listed); -1 when it cannot be found.
    int Reopen(TNode *node);
    // Opens the node by its path from the walk's own folder, checked to be the
    // folder that was listed; installs it. -1 when it cannot.
    int ReopenByPath(TNode *node);
    // Where the node's path starts: the walk's own folder as opened.
    std::string PathOf(const TNode *node) const;
    // Opens a parent through ".." from its child, in the child's place.
    void HandUp(THandUp up);

    // The kilobytes of the files of the folder open as `fd`, those with
    // several names left to the hard-link count.
    std::int64_t ReadStatus(TNode *node, int fd, const TFiles &files);
    // One file's kilobytes; 0 for a directory (`isDir` then set) and for a
    // file with several names, which the hard-link count takes at `place`.
    std::int64_t FileKb(int dirFd, const char *name, std::uint32_t place, bool *isDir);
    // Adds the files with several names to the slices that hold them first.
    void CreditHardLinks();

    // What a section under the lock leaves to be done once it is let go:
    // tasks to hand to the pool, a parent to reopen through "..", the outcome
    // to write when the walk's own folder completed.
    struct TAfter {
        std::vector<TTask> Tasks;
        THandUp Up;
        bool Concluded = false;
    };
    // Under the guard: ends a piece of the folder's work and the task's
    // permit; `useEnds`, when set, is the folder whose descriptor it used.
    void EndPiece(TGuard &g, TNode *node, TNode *useEnds, TPermit &permit, TAfter &after);
    // Once the guard has let go: does what the section left.
    void HandOut(TAfter &after);
    // Finishes one piece of the folder's work, completing it and its
    // ancestors whose work is all done, each making its parent's next
    // sub-folder into a task. True when the walk's own folder completed.
    bool Finish(TGuard &g, TNode *node, std::vector<TTask> &tasks);
    // The walk's own folder completed: the outcome is written, Done queued.
    void Conclude();
    // Makes nodes of up to `count` more of the folder's sub-folders, in
    // listing order, each with its task.
    void MakeChildren(TGuard &g, TNode *parent, std::uint32_t count, std::vector<TTask> &tasks);

    const TRequest FRequest;
    const std::function<void(const char *)> FBeforeStatus;
    const std::shared_ptr<TPool> FPool;
    const int FAskedDescriptors;
    std::atomic<bool> FCancelled{false};
    std::atomic<std::int64_t> FBrokenListings{0};
    // The walk once waited for descriptors in vain: it does not wait again.
    std::atomic<bool> FWaitedInVain{false};
    TOutcome FOutcome;
    // Read at the start of the walk, then only read.
    std::optional<os::PseudoMounts> FPseudo;
    // The walk's own folder as paths start from it with one descriptor: the
    // current folder for a scan, else the folder's path without links.
    std::string FRootForPaths;
    TCensus FCensus;
    THardLinks FHardLinks;
    // A scan: the listing place of each slice's folder.
    std::vector<std::uint32_t> FFolderPlaces;
    // The walk's own folder; the order keeps it alive.
    TNode *FRoot = nullptr;

    TWalkLock FLock;
    TDescriptors FDescriptors;
    TAncestry FAncestry;
    // Last: taken apart first, level by level.
    TOrder FOrder;
};

} // namespace walk

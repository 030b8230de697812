#pragma once
// One walk: the job's own folder, then every folder below it, each entered
// by a worker of the pool, its files' status read there or handed out in
// batches. A folder's sum is folded into its parent's when its last piece of
// work ends, so memory follows the frontier of the walk, not the tree.
#include "Ancestry.h"
#include "Descriptors.h"
#include "walk/Walk.h"
#include "HardLinks.h"
#include "Node.h"
#include "Order.h"
#include "Pool.h"
#include "Linux.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace walk {

class TJobImpl final : public TJob, public TTaskRunner, public std::enable_shared_from_this<TJobImpl> {
public:
    TJobImpl(TRequest request, const TOptions &options, std::shared_ptr<TPool> pool);

    // --- TJob
    bool TakeEvent(TEvent &event) override { return FOrder.Take(event); }
    void SetNotify(std::function<void()> notify) override { FOrder.SetNotify(std::move(notify)); }
    void Cancel() override { FCancelled = true; }
    const TOutcome &Outcome() const override { return FOutcome; }

    // --- TTaskRunner
    bool Cancelled() const override { return FCancelled.load(std::memory_order_relaxed); }
    void Run(TTask &task) override;
    void Fail() noexcept override;

private:
    void Begin();
    void BeginScan();
    void BeginFolder();
    void Enter(TNode *node);
    // Reads the identity of the folder open as `fd`: Entered, or Quiet for a
    // pseudo file system or a folder met again below itself, or CannotEnter.
    TNode::TState Identify(TNode *node, int fd);
    // Ends the entering of a folder: one not entered counts as resolved, its
    // descriptor given back; an entered one is listed.
    void Settle(TNode *node, TNode::TState state, int fd);
    void List(TNode *node, int fd);
    void ReadFiles(TNode *node, const TFiles &files);
    // The kilobytes of the files of the folder open as `fd`, those with
    // several names left to the hard-link count.
    std::int64_t ReadStatus(TNode *node, int fd, const TFiles &files);
    // One file's kilobytes; 0 for a directory (`isDir` then set) and for a
    // file with several names, which the hard-link count takes at `place`.
    std::int64_t FileKb(int dirFd, const char *name, std::uint32_t place, bool *isDir);
    // Adds the files with several names to the slices that hold them first.
    void CreditHardLinks();
    // Finishes one piece of a folder's work; completes it and its ancestors
    // whose work is all done.
    void Finish(TNode *node);
    // Makes nodes of up to `count` more of the folder's sub-folders, in
    // listing order, each with its task.
    void MakeChildren(TNode *parent, std::uint32_t count, std::vector<TTask> &tasks);
    bool IsPseudo(dev_t device);

    const TRequest FRequest;
    const std::function<void(const char *)> FBeforeStatus;
    const std::shared_ptr<TPool> FPool;
    const int FAskedDescriptors;
    std::atomic<bool> FCancelled{false};
    TOutcome FOutcome;
    TDescriptors FDescriptors;
    TAncestry FAncestry;
    // The walk's own folder; the event stream keeps it alive.
    TNode *FRoot = nullptr;
    TCensus FCensus;
    THardLinks FHardLinks;
    // A scan: the listing place of each slice's folder.
    std::vector<std::uint32_t> FFolderPlaces;
    // Guards the making of nodes from the listed names.
    std::mutex FChildrenMutex;

    std::mutex FPseudoMutex;
    std::optional<os::PseudoMounts> FPseudo;

    // Last: taken apart first, level by level.
    TOrder FOrder;
};

} // namespace walk

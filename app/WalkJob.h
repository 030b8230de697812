#pragma once
// One walk: the job's own folder, then every folder below it, each entered
// by a worker of the pool, its files' status read there or handed out in
// batches. A folder's sum is folded into its parent's when its last piece of
// work ends, so memory follows the frontier of the walk, not the tree.
#include "WalkAncestry.h"
#include "WalkDescriptors.h"
#include "WalkEngine.h"
#include "WalkHardLinks.h"
#include "WalkNode.h"
#include "WalkOrder.h"
#include "WalkPool.h"
#include "FileSystem.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TWalkJobImpl final : public TWalkJob, public TWalkTaskRunner, public std::enable_shared_from_this<TWalkJobImpl> {
public:
    TWalkJobImpl(TWalkRequest request, const TWalkOptions &options, std::shared_ptr<TWalkPool> pool);

    // --- TWalkJob
    bool TakeEvent(TWalkEvent &event) override { return FOrder.Take(event); }
    void SetNotify(std::function<void()> notify) override { FOrder.SetNotify(std::move(notify)); }
    void Cancel() override { FCancelled = true; }
    const TWalkOutcome &Outcome() const override { return FOutcome; }

    // --- TWalkTaskRunner
    bool Cancelled() const override { return FCancelled.load(std::memory_order_relaxed); }
    void Run(TWalkTask &task) override;
    void Fail() noexcept override;

private:
    void Begin();
    void BeginScan();
    void BeginFolder();
    void Enter(TWalkNode *node);
    // Reads the identity of the folder open as `fd`: Entered, or Quiet for a
    // pseudo file system or a folder met again below itself, or CannotEnter.
    TWalkNode::TState Identify(TWalkNode *node, int fd);
    // Ends the entering of a folder: one not entered counts as resolved, its
    // descriptor given back; an entered one is listed.
    void Settle(TWalkNode *node, TWalkNode::TState state, int fd);
    void List(TWalkNode *node, int fd);
    void ReadFiles(TWalkNode *node, const TWalkFiles &files);
    // The kilobytes of the files of the folder open as `fd`, those with
    // several names left to the hard-link count.
    std::int64_t ReadStatus(TWalkNode *node, int fd, const TWalkFiles &files);
    // One file's kilobytes; 0 for a directory (`isDir` then set) and for a
    // file with several names, which the hard-link count takes at `place`.
    std::int64_t FileKb(int dirFd, const char *name, std::uint32_t place, bool *isDir);
    // Adds the files with several names to the slices that hold them first.
    void CreditHardLinks();
    // Finishes one piece of a folder's work; completes it and its ancestors
    // whose work is all done.
    void Finish(TWalkNode *node);
    // Makes nodes of up to `count` more of the folder's sub-folders, in
    // listing order, each with its task.
    void MakeChildren(TWalkNode *parent, std::uint32_t count, std::vector<TWalkTask> &tasks);
    bool IsPseudo(dev_t device);

    const TWalkRequest FRequest;
    const std::function<void(const char *)> FBeforeStatus;
    const std::shared_ptr<TWalkPool> FPool;
    const int FAskedDescriptors;
    std::atomic<bool> FCancelled{false};
    TWalkOutcome FOutcome;
    TWalkDescriptors FDescriptors;
    TWalkAncestry FAncestry;
    // The walk's own folder; the event stream keeps it alive.
    TWalkNode *FRoot = nullptr;
    TWalkCensus FCensus;
    TWalkHardLinks FHardLinks;
    // A scan: the listing place of each slice's folder.
    std::vector<std::uint32_t> FFolderPlaces;
    // Guards the making of nodes from the listed names.
    std::mutex FChildrenMutex;

    std::mutex FPseudoMutex;
    std::optional<fsys::PseudoMounts> FPseudo;

    // Last: taken apart first, level by level.
    TWalkOrder FOrder;
};

#pragma once
// One folder of a walk. What is fixed when the node is made is read freely;
// the sums are atomics any worker adds to; everything else is guarded by the
// walk's lock and reached only through a guard, so that no field is touched
// without it.
#include "Lock.h"
#include "SlotFd.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <sys/types.h>

namespace walk {

// How many folders a walk holds as nodes: what its memory follows.
struct TCensus {
    std::atomic<std::int64_t> Live{0};
    std::atomic<std::int64_t> Peak{0};
};

struct TNode {
    enum class TState : std::uint8_t { Unresolved, Entered, CannotEnter, Quiet };

    // The walk's own folder.
    TNode(TCensus &census, std::string name) : TNode(census, nullptr, std::move(name), 0) {}
    // A sub-folder, `index` in its parent's listing of sub-folders.
    TNode(TNode *parent, std::string name, std::uint32_t index)
        : TNode(parent->Census, parent, std::move(name), index)
    {
    }
    ~TNode() { Census.Live.fetch_sub(1, std::memory_order_relaxed); }
    TNode(const TNode &) = delete;
    TNode &operator=(const TNode &) = delete;

    // --- Fixed when the node is made.
    TCensus &Census;
    // Alive as long as this node: a folder completes only after its children.
    TNode *const Parent;
    const std::string Name;
    // Position among the parent's sub-folders.
    const std::uint32_t Index;
    // Levels below the walk's folder, and an ancestor further up (the walk's
    // folder for itself), placed so that any ancestor is reached from here in
    // steps logarithmic in the depth.
    const std::uint32_t Depth;
    TNode *const Jump;
    // Where the folder's files stand in walk order, for files with several
    // names: in a scan, the place of the slice that holds it. Set before the
    // node is handed to a worker.
    std::uint32_t Place = 0;

    // --- Set by the worker that enters the folder, before it resolves it
    // under the lock; read by others only after that.
    dev_t Dev = 0;
    ino_t Ino = 0;

    // --- Added to by any worker, without the lock.
    std::atomic<std::int64_t> Kb{0};
    // Work not yet finished: its own listing, its batches of files, its sub-folders.
    std::atomic<std::int64_t> Pending{1};

    // --- Guarded by the walk's lock.
    struct TLocked {
        // The descriptor (TDescriptors): ActiveUses counts calls using it
        // now, FutureUses the work that will need it (sub-folders not yet
        // opened, batches not yet read).
        TSlotFd Fd;
        int ActiveUses = 0;
        int FutureUses = 0;
        bool Pinned = false;
        bool Idle = false;
        std::list<TNode *>::iterator IdlePos;

        // Walk order (TOrder). Sub-folders in the listing, and the nodes made
        // of them so far, in listing order from ChildBase on; a slot is
        // emptied once nothing of its subtree is left to report, and emptied
        // slots leave the front.
        TState State = TState::Unresolved;
        bool Listed = false;
        bool Complete = false;
        bool CursorPassed = false;
        std::uint32_t ChildCount = 0;
        std::uint32_t ChildBase = 0;
        std::deque<std::shared_ptr<TNode>> Children;
        std::size_t LiveChildren = 0;

        // The names of the sub-folders not yet made into nodes, each ended
        // by a NUL, read from NextName on; Made of them are nodes.
        std::string PendingNames;
        std::size_t NextName = 0;
        std::uint32_t Made = 0;
    };
    TLocked &Locked(const TGuard &) { return FLocked; }

private:
    TNode(TCensus &census, TNode *parent, std::string name, std::uint32_t index)
        : Census(census), Parent(parent), Name(std::move(name)), Index(index), Depth(parent ? parent->Depth + 1 : 0),
          Jump(JumpFrom(parent))
    {
        const std::int64_t live = Census.Live.fetch_add(1, std::memory_order_relaxed) + 1;
        std::int64_t peak = Census.Peak.load(std::memory_order_relaxed);
        while (live > peak && !Census.Peak.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
        }
    }

    TNode *JumpFrom(TNode *parent)
    {
        if (!parent)
            return this;
        TNode *up = parent->Jump;
        return parent->Depth - up->Depth == up->Depth - up->Jump->Depth ? up->Jump : parent;
    }

    TLocked FLocked;
};

} // namespace walk

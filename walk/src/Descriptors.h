#pragma once
// The descriptors of a walk's folders. A folder stays open while work still
// needs it, up to a budget taken from what the process can really open; past
// it, the least recently used folder that no call is using is closed, and
// opened again when work comes back to it. Every task that opens folders
// holds a permit, and there are only as many permits as the budget lets
// work side by side (each holder uses two descriptors at most), so a small
// budget means fewer workers, down to one, never a wait without end. Every
// wait here, for a permit or for a place, ends when the walk is cancelled.
// Everything but the count of opens is guarded by the walk's lock.
#include "Lock.h"
#include "SlotFd.h"

#include <atomic>
#include <cstdint>
#include <list>

namespace walk {

struct TNode;
class TDescriptors;

// Held by a task while it may open folders.
class TPermit {
public:
    TPermit() = default;
    TPermit(TPermit &&other) noexcept : FOwner(other.FOwner) { other.FOwner = nullptr; }
    TPermit &operator=(TPermit &&other) noexcept;
    // Gives it back, taking the walk's lock: never while it is held.
    ~TPermit();
    explicit operator bool() const { return FOwner != nullptr; }
    // Gives it back under the guard.
    void GiveBack(TGuard &g);

private:
    friend class TDescriptors;
    explicit TPermit(TDescriptors *owner) : FOwner(owner) {}
    TDescriptors *FOwner = nullptr;
};

// A folder's descriptor that closed while its parent, which lost its own,
// still has work: the parent may be opened through ".." from it, in its place.
struct THandUp {
    TSlotFd From;
    TNode *Parent = nullptr;
};

class TDescriptors {
public:
    TDescriptors(TWalkLock &lock, const std::atomic<bool> &cancelled);
    TDescriptors(const TDescriptors &) = delete;
    TDescriptors &operator=(const TDescriptors &) = delete;

    // The budget of a walk: `asked` when given, else what the process can
    // still open but a few kept for the rest of the program (a quarter, at
    // most 8), at most 512; never more than `available`, never less than 1.
    static int Budget(int asked, int available);
    // Sets the budget, before the walk opens anything; until then it is 1.
    // Read without the lock afterwards.
    void SetBudget(TGuard &g, int budget);
    // Whether the walk's own folder stays open throughout: only when the
    // budget leaves room for it beside one worker's two.
    bool PinsRoot() const { return FBudget >= 3; }
    // A single descriptor: a folder is opened by its path from the walk's
    // own folder, never beside its parent's.
    bool OneAtATime() const { return FBudget == 1; }

    // Waits for a permit; none when the walk is cancelled meanwhile.
    TPermit TakePermit(TGuard &g);
    // Waits for a place for a descriptor about to be opened, closing the
    // least recently used idle folder when the budget is spent; none when the
    // walk is cancelled meanwhile.
    TSlotFd Reserve(TGuard &g);
    // Closes the least recently used idle folder; false when none is idle.
    bool CloseIdle(TGuard &g);

    // The node's descriptor for one more use, or -1 when it is closed.
    int Use(TGuard &g, TNode *node);
    // Gives the node its freshly opened descriptor, with one use; when
    // another worker opened it first, the spare is closed and the node's own
    // is used. Returns the descriptor in use.
    int Install(TGuard &g, TNode *node, TSlotFd &&fd);
    // Ends one use. A folder still needed later waits, open, among the idle
    // ones; one no longer needed is closed, or handed up to a parent that
    // lost its own and still has work.
    THandUp DoneWith(TGuard &g, TNode *node);
    // Counts work that will need the node's descriptor later (negative: done).
    void AddFutureUses(TGuard &g, TNode *node, int uses);

    // Counts one folder opened.
    void CountOpen() { FOpens.fetch_add(1, std::memory_order_relaxed); }
    // Folders opened so far, reopenings included.
    std::int64_t Opens() const { return FOpens.load(std::memory_order_relaxed); }

private:
    friend class TSlotFd;
    friend class TPermit;
    // A place or a permit comes back; both take the lock.
    void GiveBack();
    void GivePermit();
    // Takes the node off the idle list.
    void Wake(TGuard &g, TNode *node);

    TWalkLock &FLock;
    const std::atomic<bool> &FCancelled;
    std::atomic<std::int64_t> FOpens{0};
    int FBudget = 1;
    int FOpen = 0;
    int FPermits = 1;
    std::list<TNode *> FIdle;
};

} // namespace walk

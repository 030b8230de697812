#pragma once
// The descriptors of a walk's folders. A folder stays open while work still
// needs it, up to a budget taken from what the process can really open; past
// it, the least recently used folder that no call is using is closed, and
// opened again from its nearest open ancestor when work comes back to it
// (checked to be the folder that was listed). Every task that opens folders
// holds a permit, and there are only as many permits as the budget lets
// work side by side, so a small budget means fewer workers, down to one,
// never a wait without end.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>

namespace walk {

struct TNode;

class TDescriptors {
public:
    // `rootPath` opens the walk's own folder, relative to the current folder.
    // A wait for a descriptor ends when `cancelled` turns true.
    TDescriptors(std::string rootPath, const std::atomic<bool> &cancelled);
    TDescriptors(const TDescriptors &) = delete;
    TDescriptors &operator=(const TDescriptors &) = delete;

    // Descriptors the process can still open: its soft limit less those open.
    static int Available();
    // The budget of a walk: `asked` when given, else what the process can
    // still open but a few kept for the rest of the program (a quarter, at
    // most 8), at most 512; never more than `available`, never less than 1.
    static int Budget(int asked, int available);
    // Sets the budget, before the walk opens anything; until then it is 1.
    void SetBudget(int budget);

    // Whether the walk's own folder stays open throughout: only when the
    // budget leaves room for it beside one worker's two.
    bool PinsRoot() const { return FBudget >= 3; }

    // Held by a task while it may open folders.
    class TPermit {
    public:
        explicit TPermit(TDescriptors *owner) : FOwner(owner) {}
        ~TPermit();
        TPermit(const TPermit &) = delete;
        TPermit &operator=(const TPermit &) = delete;

    private:
        TDescriptors *FOwner;
    };
    // Waits for a permit.
    TPermit Permit();

    // Takes a slot for a descriptor about to be opened, closing an idle
    // folder if the budget is spent, or waiting for one to come free.
    void Reserve();
    // Gives back a slot whose descriptor was closed or never opened.
    void Unreserve();
    // Gives the node its freshly opened descriptor (its slot taken) with one
    // use active; a spare one, when another worker opened it first, is closed.
    void Install(TNode *node, int fd);
    // The node's descriptor for one use, opened again if it was closed; -1
    // when the folder cannot be found again.
    int Use(TNode *node);
    // Ends one use. A folder still needed later waits, open, among the idle
    // ones; one no longer needed is closed, or its slot handed up to a parent
    // that lost its own descriptor and still has work.
    void DoneWith(TNode *node);
    // Counts work that will need the node's descriptor later (negative: done).
    void AddFutureUses(TNode *node, int uses);

    struct TOpened {
        // The sub-folder's descriptor with its slot and one use, or -1.
        int Fd = -1;
        // Why it did not open (errno).
        int Error = 0;
        // Not readable, yet it may be searched: entered, and empty.
        bool Searchable = false;
    };
    // Opens a listed sub-folder, from its parent's descriptor, or by its path
    // when the budget is a single descriptor. The descriptor is not installed.
    TOpened OpenChild(TNode *node);
    // Opens the walk's own folder (links followed), taking a slot; -1 with
    // errno set when it cannot.
    int OpenRoot();
    // Folders opened so far, reopenings included.
    std::int64_t Opens() const { return FOpens.load(std::memory_order_relaxed); }

private:
    // Opens `name` below `dirFd` (AT_FDCWD: a path), taking a slot; while the
    // process is out of descriptors, closes idle folders or waits a while.
    // -1 with errno set when it cannot be opened.
    int OpenBelow(int dirFd, const char *name, bool followLink = false);
    int Reopen(TNode *node);
    // Opens the node by its path from the walk's folder, checked to be the
    // folder that was listed; installs it. -1 when it cannot.
    int ReopenByPath(TNode *node);
    std::string PathOf(const TNode *node) const;
    // With FMutex held: takes the node off the idle list.
    void Wake(TNode *node);
    // With FMutex held: closes the least recently used idle folder; false when none is idle.
    bool CloseIdle();

    const std::atomic<bool> &FCancelled;
    const std::string FRootPath;
    std::atomic<std::int64_t> FOpens{0};
    // The walk once waited for descriptors in vain: it does not wait again.
    std::atomic<bool> FWaitedInVain{false};
    std::mutex FMutex;
    std::condition_variable FFreed; // a slot or a permit may have come free
    int FBudget = 1;
    int FOpen = 0;
    int FPermits = 1;
    std::list<TNode *> FIdle;
};

} // namespace walk

#pragma once
// The descriptors of a walk's folders. A folder stays open while work still
// needs it, up to a budget; past it, the least recently used folder that no
// call is using is closed, and opened again from its nearest open ancestor
// when work comes back to it (checked to be the folder that was listed).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>

struct TWalkNode;

class TWalkDescriptors {
public:
    // `budget`: folders held open at once. A wait for a descriptor ends when
    // `cancelled` turns true.
    TWalkDescriptors(int budget, const std::atomic<bool> &cancelled);
    TWalkDescriptors(const TWalkDescriptors &) = delete;
    TWalkDescriptors &operator=(const TWalkDescriptors &) = delete;

    // Descriptors for folders when none is asked for: half the process's soft
    // limit, at most 512, at least 8.
    static int DefaultBudget(int asked);

    // Takes a slot for a descriptor about to be opened, closing an idle
    // folder if the budget is spent, or waiting for one to come free.
    void Reserve();
    // Gives back a slot whose descriptor was closed or never opened.
    void Unreserve();
    // Counts a descriptor opened without a reservation (the walk's first).
    void Count();
    // Gives the node its freshly opened descriptor (its slot taken) with one
    // use active; a spare one, when another worker opened it first, is closed.
    void Install(TWalkNode *node, int fd);
    // The node's descriptor for one use, opened again through its ancestors if
    // it was closed; -1 when the folder cannot be found again.
    int Use(TWalkNode *node);
    // Ends one use. A folder still needed later waits, open, among the idle
    // ones; one no longer needed is closed, or its slot handed up to a parent
    // that lost its own descriptor and still has work.
    void DoneWith(TWalkNode *node);
    // Counts work that will need the node's descriptor later (negative: done).
    void AddFutureUses(TWalkNode *node, int uses);
    // Opens the sub-folder `name` of `dirFd`, taking a slot; waits while the
    // process is out of descriptors. -1 with errno set when it cannot be opened.
    int OpenBelow(int dirFd, const char *name);
    // Folders opened so far, reopenings included.
    std::int64_t Opens() const { return FOpens.load(std::memory_order_relaxed); }

private:
    int Reopen(TWalkNode *node);
    // With FMutex held: takes the node off the idle list.
    void Wake(TWalkNode *node);

    const std::atomic<bool> &FCancelled;
    std::atomic<std::int64_t> FOpens{0};
    std::mutex FMutex;
    std::condition_variable FFreed; // a slot may have come free
    const int FBudget;
    int FOpen = 0;
    std::list<TWalkNode *> FIdle;
};

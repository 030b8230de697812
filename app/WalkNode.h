#pragma once
// One folder of a walk. Its fields are shared by the rooms of the walk, each
// guarding its own: the job's walk (identity and sums), the descriptor budget
// (the open descriptor) and the ordered event stream (what is left to report).
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

struct TWalkNode {
    TWalkNode(TWalkNode *parent, std::string name, std::uint32_t index)
        : Parent(parent), Name(std::move(name)), Index(index), Depth(parent ? parent->Depth + 1 : 0),
          Jump(JumpFrom(parent))
    {
    }
    ~TWalkNode()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    TWalkNode(const TWalkNode &) = delete;
    TWalkNode &operator=(const TWalkNode &) = delete;

    // Alive as long as this node: a folder completes only after its children.
    TWalkNode *const Parent;
    const std::string Name;
    // Position among the parent's sub-folders.
    const std::uint32_t Index;
    // Levels below the walk's folder, and an ancestor further up (the walk's
    // folder for itself), placed so that any ancestor is reached from here in
    // steps logarithmic in the depth.
    const std::uint32_t Depth;
    TWalkNode *const Jump;

    // Set by the worker that enters the folder.
    dev_t Dev = 0;
    ino_t Ino = 0;

    std::atomic<std::int64_t> Kb{0};
    // Work not yet finished: its own listing, its batches of files, its sub-folders.
    std::atomic<std::int64_t> Pending{1};

    // The descriptor, guarded by the budget's mutex. ActiveUses counts calls
    // using it now; FutureUses the work that will need it (sub-folders not
    // yet opened, batches not yet read).
    int Fd = -1;
    int ActiveUses = 0;
    int FutureUses = 0;
    bool Pinned = false;
    bool Idle = false;
    std::list<TWalkNode *>::iterator IdlePos;

    // Walk order, guarded by the event stream's mutex.
    enum class TState : std::uint8_t { Unresolved, Entered, CannotEnter, Quiet };
    TState State = TState::Unresolved;
    bool Listed = false;
    bool Complete = false;
    bool CursorPassed = false;
    // Sub-folders in listing order; a slot is emptied once nothing of its
    // subtree is left to report.
    std::vector<std::shared_ptr<TWalkNode>> Children;
    std::size_t LiveChildren = 0;

private:
    TWalkNode *JumpFrom(TWalkNode *parent)
    {
        if (!parent)
            return this;
        TWalkNode *up = parent->Jump;
        return parent->Depth - up->Depth == up->Depth - up->Jump->Depth ? up->Jump : parent;
    }
};

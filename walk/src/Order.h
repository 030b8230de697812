#pragma once
// The events of a walk in the order a one-thread depth-first walk would give
// them, whatever order the workers resolve the folders in. A cursor follows
// the tree in listing order as far as it is resolved, reporting each folder
// that cannot be entered as it passes it; a finished subtree with nothing
// left to report is let go, so memory follows the walk's frontier. Guarded
// by the walk's lock: every call takes the guard, and a new event asks it to
// tell the caller once the lock is let go.
#include "Lock.h"
#include "Node.h"
#include "walk/Walk.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace walk {

class TOrder {
public:
    // `rootPath` names the walk's own folder in the warnings.
    TOrder(TWalkLock &lock, std::string rootPath);
    // Takes the tree apart level by level: a tree thousands of folders deep
    // must not be destroyed by recursion.
    ~TOrder();
    TOrder(const TOrder &) = delete;
    TOrder &operator=(const TOrder &) = delete;

    // The walk's own folder; the order keeps the tree alive from it.
    void Start(TGuard &g, std::shared_ptr<TNode> root);
    // The next event, if one is waiting.
    bool Take(TGuard &g, TEvent &event);
    // Whether an event waits to be taken.
    bool Waiting(TGuard &g) const;
    // Queues an event at once, ahead of the cursor.
    void Emit(TGuard &g, TEvent event);
    // The folder was entered, is quiet (counts 0 without a word), or cannot
    // be entered; only an entered folder waits for its listing.
    void Resolve(TGuard &g, TNode *node, TNode::TState state);
    // The entered folder was listed: `children` sub-folders, whose nodes
    // come later, in listing order, through Adopt.
    void Listed(TGuard &g, TNode *node, std::uint32_t children);
    // The node of the parent's next sub-folder; the cursor looks again once
    // the last of a batch is adopted (`last`).
    void Adopt(TGuard &g, TNode *parent, std::shared_ptr<TNode> child, bool last);
    // All work of the folder is done; its sum is final. It may be let go.
    void Completed(TGuard &g, TNode *node);
    // The walk's own folder is complete: Done is queued last.
    void Finished(TGuard &g);
    // The walk failed: Failed and Done follow the events queued, in place
    // of anything else. Allocates nothing.
    void Fail(TGuard &g) noexcept;

private:
    void Advance(TGuard &g);
    void Release(TGuard &g, TNode *node);
    std::string CursorPath() const;

    TWalkLock &FLock;
    const std::string FRootPath;
    std::shared_ptr<TNode> FRoot;
    std::deque<TEvent> FEvents;
    bool FDone = false;
    enum class TFailure : std::uint8_t { None, Failed, Told, Done } FFailure = TFailure::None;
    struct TCursor {
        std::shared_ptr<TNode> N;
        std::size_t Next = 0;
    };
    std::vector<TCursor> FCursor;
};

} // namespace walk

#pragma once
// The events of a walk in the order a one-thread depth-first walk would give
// them, whatever order the workers resolve the folders in. A cursor follows
// the tree in listing order as far as it is resolved, reporting each folder
// that cannot be entered as it passes it; a finished subtree with nothing
// left to report is let go, so memory follows the walk's frontier.
#include "walk/Walk.h"
#include "Node.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace walk {

class TOrder {
public:
    // `rootPath` names the walk's own folder in the warnings.
    explicit TOrder(std::string rootPath);
    // Takes the tree apart level by level: a tree thousands of folders deep
    // must not be destroyed by recursion.
    ~TOrder();
    TOrder(const TOrder &) = delete;
    TOrder &operator=(const TOrder &) = delete;

    // The walk's own folder; the order keeps the tree alive from it.
    void Start(std::shared_ptr<TNode> root);
    // The next event, if one is waiting; never blocks.
    bool Take(TEvent &event);
    // See TJob::SetNotify.
    void SetNotify(std::function<void()> notify);
    // Queues an event at once, ahead of the cursor.
    void Emit(TEvent event);
    // The folder was entered, is quiet (counts 0 without a word), or cannot
    // be entered; only an entered folder waits for its listing.
    void Resolve(TNode *node, TNode::TState state);
    // The entered folder was listed: `children` sub-folders, whose nodes
    // come later, in listing order, through Adopt.
    void Listed(TNode *node, std::uint32_t children);
    // The node of the parent's next sub-folder.
    void Adopt(TNode *parent, std::shared_ptr<TNode> child);
    // All work of the folder is done; its sum is final.
    void Completed(TNode *node);
    // The walk's own folder is complete: Done is queued last.
    void Finished();
    // The walk failed: Failed and Done follow the events queued, in place
    // of anything else. Allocates nothing.
    void Fail() noexcept;

private:
    // With FMutex held.
    void Advance();
    void Release(TNode *node);
    std::string CursorPath() const;

    const std::string FRootPath;
    std::shared_ptr<TNode> FRoot;
    std::mutex FMutex;
    std::deque<TEvent> FEvents;
    bool FDone = false;
    enum class TFailure : std::uint8_t { None, Failed, Told, Done } FFailure = TFailure::None;
    std::function<void()> FNotify;
    struct TCursor {
        std::shared_ptr<TNode> N;
        std::size_t Next = 0;
    };
    std::vector<TCursor> FCursor;
};

} // namespace walk

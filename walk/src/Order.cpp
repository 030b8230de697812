#include "Order.h"

#include <algorithm>

namespace walk {

TOrder::TOrder(std::string rootPath) : FRootPath(std::move(rootPath)) {}

TOrder::~TOrder()
{
    FCursor.clear();
    std::vector<std::shared_ptr<TNode>> nodes;
    if (FRoot)
        nodes.push_back(std::move(FRoot));
    while (!nodes.empty()) {
        std::shared_ptr<TNode> n = std::move(nodes.back());
        nodes.pop_back();
        for (std::shared_ptr<TNode> &c : n->Children)
            if (c)
                nodes.push_back(std::move(c));
    }
}

void TOrder::Start(std::shared_ptr<TNode> root)
{
    std::lock_guard lock(FMutex);
    FRoot = root;
    FCursor.push_back({std::move(root), 0});
}

bool TOrder::Take(TEvent &event)
{
    std::lock_guard lock(FMutex);
    if (!FEvents.empty()) {
        event = std::move(FEvents.front());
        FEvents.pop_front();
        return true;
    }
    switch (FFailure) {
    case TFailure::Failed:
        FFailure = TFailure::Told;
        event = {TEvent::TKind::Failed, false, {}};
        return true;
    case TFailure::Told:
        FFailure = TFailure::Done;
        event = {TEvent::TKind::Done, false, {}};
        return true;
    default:
        return false;
    }
}

void TOrder::Fail() noexcept
{
    std::lock_guard lock(FMutex);
    if (FDone || FFailure != TFailure::None)
        return;
    FFailure = TFailure::Failed;
    try {
        if (FNotify)
            FNotify();
    } catch (...) {
        // The window looks at the walk again on its next event.
    }
}

void TOrder::SetNotify(std::function<void()> notify)
{
    std::lock_guard lock(FMutex);
    FNotify = std::move(notify);
    if (FNotify && (!FEvents.empty() || FFailure == TFailure::Failed || FFailure == TFailure::Told))
        FNotify();
}

void TOrder::Emit(TEvent event)
{
    std::lock_guard lock(FMutex);
    FEvents.push_back(std::move(event));
    if (FNotify)
        FNotify();
}

void TOrder::Resolve(TNode *node, TNode::TState state)
{
    std::lock_guard lock(FMutex);
    node->State = state;
    if (state != TNode::TState::Entered)
        node->Listed = true;
    Advance();
}

void TOrder::Listed(TNode *node, std::uint32_t children)
{
    std::lock_guard lock(FMutex);
    node->ChildCount = children;
    node->Listed = true;
    Advance();
}

void TOrder::Adopt(TNode *parent, std::shared_ptr<TNode> child)
{
    std::lock_guard lock(FMutex);
    parent->Children.push_back(std::move(child));
    ++parent->LiveChildren;
    Advance();
}

void TOrder::Completed(TNode *node)
{
    std::lock_guard lock(FMutex);
    node->Complete = true;
    Release(node);
}

void TOrder::Finished()
{
    std::lock_guard lock(FMutex);
    if (FFailure != TFailure::None)
        return;
    FRoot->Complete = true;
    Advance();
    FDone = true;
    FEvents.push_back({TEvent::TKind::Done, true, {}});
    if (FNotify)
        FNotify();
}

std::string TOrder::CursorPath() const
{
    std::string path = FRootPath;
    for (std::size_t i = 1; i < FCursor.size(); ++i)
        path.append(path.empty() || path.back() == '/' ? "" : "/").append(FCursor[i].N->Name);
    return path;
}

void TOrder::Advance()
{
    bool told = false;
    while (!FCursor.empty()) {
        TCursor &top = FCursor.back();
        TNode &n = *top.N;
        if (n.State == TNode::TState::Unresolved || !n.Listed)
            break;
        if (n.State == TNode::TState::CannotEnter) {
            FEvents.push_back({TEvent::TKind::CannotEnter, false, CursorPath()});
            told = true;
        } else if (top.Next < n.ChildCount) {
            // Slots before the base were let go: nothing of them is left to report.
            top.Next = std::max<std::size_t>(top.Next, n.ChildBase);
            const std::size_t slot = top.Next - n.ChildBase;
            if (slot >= n.Children.size())
                break; // its node is not made yet
            std::shared_ptr<TNode> child = n.Children[slot];
            ++top.Next;
            if (child)
                FCursor.push_back({std::move(child), 0});
            continue;
        }
        std::shared_ptr<TNode> passed = std::move(top.N);
        FCursor.pop_back();
        passed->CursorPassed = true;
        Release(passed.get());
    }
    if (told && FNotify)
        FNotify();
}

void TOrder::Release(TNode *node)
{
    while (node && node->Parent) {
        const bool silent = node->State != TNode::TState::CannotEnter && node->LiveChildren == 0;
        if (!node->Complete || !(node->CursorPassed || silent))
            return;
        TNode *parent = node->Parent;
        if (node->Index < parent->ChildBase)
            return; // let go already
        std::shared_ptr<TNode> &slot = parent->Children[node->Index - parent->ChildBase];
        if (!slot)
            return;
        slot.reset();
        --parent->LiveChildren;
        while (!parent->Children.empty() && !parent->Children.front()) {
            parent->Children.pop_front();
            ++parent->ChildBase;
        }
        node = parent;
    }
}

} // namespace walk

#include "WalkOrder.h"

#include <algorithm>

TWalkOrder::TWalkOrder(std::string rootPath) : FRootPath(std::move(rootPath)) {}

TWalkOrder::~TWalkOrder()
{
    FCursor.clear();
    std::vector<std::shared_ptr<TWalkNode>> nodes;
    if (FRoot)
        nodes.push_back(std::move(FRoot));
    while (!nodes.empty()) {
        std::shared_ptr<TWalkNode> n = std::move(nodes.back());
        nodes.pop_back();
        for (std::shared_ptr<TWalkNode> &c : n->Children)
            if (c)
                nodes.push_back(std::move(c));
    }
}

void TWalkOrder::Start(std::shared_ptr<TWalkNode> root)
{
    std::lock_guard lock(FMutex);
    FRoot = root;
    FCursor.push_back({std::move(root), 0});
}

bool TWalkOrder::Take(TWalkEvent &event)
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
        event = {TWalkEvent::TKind::Failed, false, {}};
        return true;
    case TFailure::Told:
        FFailure = TFailure::Done;
        event = {TWalkEvent::TKind::Done, false, {}};
        return true;
    default:
        return false;
    }
}

void TWalkOrder::Fail() noexcept
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

void TWalkOrder::SetNotify(std::function<void()> notify)
{
    std::lock_guard lock(FMutex);
    FNotify = std::move(notify);
    if (FNotify && (!FEvents.empty() || FFailure == TFailure::Failed || FFailure == TFailure::Told))
        FNotify();
}

void TWalkOrder::Emit(TWalkEvent event)
{
    std::lock_guard lock(FMutex);
    FEvents.push_back(std::move(event));
    if (FNotify)
        FNotify();
}

void TWalkOrder::Resolve(TWalkNode *node, TWalkNode::TState state)
{
    std::lock_guard lock(FMutex);
    node->State = state;
    if (state != TWalkNode::TState::Entered)
        node->Listed = true;
    Advance();
}

void TWalkOrder::Listed(TWalkNode *node, std::uint32_t children)
{
    std::lock_guard lock(FMutex);
    node->ChildCount = children;
    node->Listed = true;
    Advance();
}

void TWalkOrder::Adopt(TWalkNode *parent, std::shared_ptr<TWalkNode> child)
{
    std::lock_guard lock(FMutex);
    parent->Children.push_back(std::move(child));
    ++parent->LiveChildren;
    Advance();
}

void TWalkOrder::Completed(TWalkNode *node)
{
    std::lock_guard lock(FMutex);
    node->Complete = true;
    Release(node);
}

void TWalkOrder::Finished()
{
    std::lock_guard lock(FMutex);
    if (FFailure != TFailure::None)
        return;
    FRoot->Complete = true;
    Advance();
    FDone = true;
    FEvents.push_back({TWalkEvent::TKind::Done, true, {}});
    if (FNotify)
        FNotify();
}

std::string TWalkOrder::CursorPath() const
{
    std::string path = FRootPath;
    for (std::size_t i = 1; i < FCursor.size(); ++i)
        path = FormatNameDir(path) + FCursor[i].N->Name;
    return path;
}

void TWalkOrder::Advance()
{
    bool told = false;
    while (!FCursor.empty()) {
        TCursor &top = FCursor.back();
        TWalkNode &n = *top.N;
        if (n.State == TWalkNode::TState::Unresolved || !n.Listed)
            break;
        if (n.State == TWalkNode::TState::CannotEnter) {
            FEvents.push_back({TWalkEvent::TKind::CannotEnter, false, CursorPath()});
            told = true;
        } else if (top.Next < n.ChildCount) {
            // Slots before the base were let go: nothing of them is left to report.
            top.Next = std::max<std::size_t>(top.Next, n.ChildBase);
            const std::size_t slot = top.Next - n.ChildBase;
            if (slot >= n.Children.size())
                break; // its node is not made yet
            std::shared_ptr<TWalkNode> child = n.Children[slot];
            ++top.Next;
            if (child)
                FCursor.push_back({std::move(child), 0});
            continue;
        }
        std::shared_ptr<TWalkNode> passed = std::move(top.N);
        FCursor.pop_back();
        passed->CursorPassed = true;
        Release(passed.get());
    }
    if (told && FNotify)
        FNotify();
}

void TWalkOrder::Release(TWalkNode *node)
{
    while (node && node->Parent) {
        const bool silent = node->State != TWalkNode::TState::CannotEnter && node->LiveChildren == 0;
        if (!node->Complete || !(node->CursorPassed || silent))
            return;
        TWalkNode *parent = node->Parent;
        if (node->Index < parent->ChildBase)
            return; // let go already
        std::shared_ptr<TWalkNode> &slot = parent->Children[node->Index - parent->ChildBase];
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

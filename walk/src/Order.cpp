#include "Order.h"

#include <algorithm>

namespace walk {

TOrder::TOrder(TWalkLock &lock, std::string rootPath) : FLock(lock), FRootPath(std::move(rootPath)) {}

TOrder::~TOrder()
{
    FCursor.clear();
    std::vector<std::shared_ptr<TNode>> nodes;
    if (FRoot)
        nodes.push_back(std::move(FRoot));
    while (!nodes.empty()) {
        std::shared_ptr<TNode> n = std::move(nodes.back());
        nodes.pop_back();
        const TGuard g(FLock);
        for (std::shared_ptr<TNode> &c : n->Locked(g).Children)
            if (c)
                nodes.push_back(std::move(c));
    }
}

void TOrder::Start(TGuard &, std::shared_ptr<TNode> root)
{
    FRoot = root;
    FCursor.push_back({std::move(root), 0});
}

bool TOrder::Waiting(TGuard &) const
{
    return !FEvents.empty() || FFailure == TFailure::Failed || FFailure == TFailure::Told;
}

bool TOrder::Take(TGuard &, TEvent &event)
{
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

void TOrder::Fail(TGuard &g) noexcept
{
    if (FDone || FFailure != TFailure::None)
        return;
    FFailure = TFailure::Failed;
    g.TellAfter();
}

void TOrder::Emit(TGuard &g, TEvent event)
{
    FEvents.push_back(std::move(event));
    g.TellAfter();
}

void TOrder::Resolve(TGuard &g, TNode *node, TNode::TState state)
{
    TNode::TLocked &n = node->Locked(g);
    n.State = state;
    if (state != TNode::TState::Entered)
        n.Listed = true;
    Advance(g);
}

void TOrder::Listed(TGuard &g, TNode *node, std::uint32_t children)
{
    TNode::TLocked &n = node->Locked(g);
    n.ChildCount = children;
    n.Listed = true;
    Advance(g);
}

void TOrder::Adopt(TGuard &g, TNode *parent, std::shared_ptr<TNode> child, bool last)
{
    TNode::TLocked &p = parent->Locked(g);
    p.Children.push_back(std::move(child));
    ++p.LiveChildren;
    if (last)
        Advance(g);
}

void TOrder::Completed(TGuard &g, TNode *node)
{
    node->Locked(g).Complete = true;
    Release(g, node);
}

void TOrder::Finished(TGuard &g)
{
    if (FFailure != TFailure::None)
        return;
    FRoot->Locked(g).Complete = true;
    Advance(g);
    FDone = true;
    FEvents.push_back({TEvent::TKind::Done, true, {}});
    g.TellAfter();
}

std::string TOrder::CursorPath() const
{
    std::string path = FRootPath;
    for (std::size_t i = 1; i < FCursor.size(); ++i)
        path.append(path.empty() || path.back() == '/' ? "" : "/").append(FCursor[i].N->Name);
    return path;
}

void TOrder::Advance(TGuard &g)
{
    while (!FCursor.empty()) {
        TCursor &top = FCursor.back();
        TNode::TLocked &n = top.N->Locked(g);
        if (n.State == TNode::TState::Unresolved || !n.Listed)
            break;
        if (n.State == TNode::TState::CannotEnter) {
            FEvents.push_back({TEvent::TKind::CannotEnter, false, CursorPath()});
            g.TellAfter();
        } else {
            // Slots before the base were let go: nothing of them is left to report.
            top.Next = std::max<std::size_t>(top.Next, n.ChildBase);
            if (top.Next < n.ChildCount) {
                const std::size_t slot = top.Next - n.ChildBase;
                if (slot >= n.Children.size())
                    break; // its node is not made yet
                std::shared_ptr<TNode> child = n.Children[slot];
                ++top.Next;
                if (child)
                    FCursor.push_back({std::move(child), 0});
                continue;
            }
        }
        std::shared_ptr<TNode> passed = std::move(top.N);
        FCursor.pop_back();
        passed->Locked(g).CursorPassed = true;
        Release(g, passed.get());
    }
}

void TOrder::Release(TGuard &g, TNode *node)
{
    while (node && node->Parent) {
        TNode::TLocked &n = node->Locked(g);
        const bool silent = n.State != TNode::TState::CannotEnter && n.LiveChildren == 0;
        if (!n.Complete || !(n.CursorPassed || silent))
            return;
        TNode *parent = node->Parent;
        TNode::TLocked &p = parent->Locked(g);
        if (node->Index < p.ChildBase)
            return; // let go already
        std::shared_ptr<TNode> &slot = p.Children[node->Index - p.ChildBase];
        if (!slot)
            return;
        slot.reset();
        --p.LiveChildren;
        while (!p.Children.empty() && !p.Children.front()) {
            p.Children.pop_front();
            ++p.ChildBase;
        }
        node = parent;
    }
}

} // namespace walk

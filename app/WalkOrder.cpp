#include "WalkOrder.h"

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
    if (FEvents.empty())
        return false;
    event = std::move(FEvents.front());
    FEvents.pop_front();
    return true;
}

void TWalkOrder::SetNotify(std::function<void()> notify)
{
    std::lock_guard lock(FMutex);
    FNotify = std::move(notify);
    if (FNotify && !FEvents.empty())
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

void TWalkOrder::Listed(TWalkNode *node, std::vector<std::shared_ptr<TWalkNode>> children)
{
    std::lock_guard lock(FMutex);
    node->LiveChildren = children.size();
    node->Children = std::move(children);
    node->Listed = true;
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
    FRoot->Complete = true;
    Advance();
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
        } else if (top.Next < n.Children.size()) {
            std::shared_ptr<TWalkNode> child = n.Children[top.Next++];
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
        std::shared_ptr<TWalkNode> &slot = parent->Children[node->Index];
        if (!slot)
            return;
        slot.reset();
        --parent->LiveChildren;
        node = parent;
    }
}

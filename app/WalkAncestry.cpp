#include "WalkAncestry.h"

#include "WalkNode.h"

bool TWalkAncestry::IsAncestor(const TWalkNode *a, const TWalkNode *node)
{
    if (a->Depth >= node->Depth)
        return false;
    const TWalkNode *n = node;
    while (n->Depth > a->Depth)
        n = n->Jump->Depth >= a->Depth ? n->Jump : n->Parent;
    return n == a;
}

bool TWalkAncestry::Enter(TWalkNode *node)
{
    const TId id{node->Dev, node->Ino};
    std::lock_guard lock(FMutex);
    const auto [first, last] = FOpen.equal_range(id);
    for (auto it = first; it != last; ++it)
        if (IsAncestor(it->second, node))
            return false;
    FOpen.emplace(id, node);
    return true;
}

void TWalkAncestry::Leave(TWalkNode *node)
{
    std::lock_guard lock(FMutex);
    const auto [first, last] = FOpen.equal_range(TId{node->Dev, node->Ino});
    for (auto it = first; it != last; ++it)
        if (it->second == node) {
            FOpen.erase(it);
            return;
        }
}

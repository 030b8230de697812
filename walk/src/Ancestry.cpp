#include "Ancestry.h"

#include "Node.h"

namespace walk {

bool TAncestry::IsAncestor(const TNode *a, const TNode *node)
{
    if (a->Depth >= node->Depth)
        return false;
    const TNode *n = node;
    while (n->Depth > a->Depth)
        n = n->Jump->Depth >= a->Depth ? n->Jump : n->Parent;
    return n == a;
}

bool TAncestry::Enter(TGuard &, TNode *node)
{
    const TId id{node->Dev, node->Ino};
    const auto [first, last] = FOpen.equal_range(id);
    for (auto it = first; it != last; ++it)
        if (IsAncestor(it->second, node))
            return false;
    FOpen.emplace(id, node);
    return true;
}

void TAncestry::Leave(TGuard &, TNode *node)
{
    const auto [first, last] = FOpen.equal_range(TId{node->Dev, node->Ino});
    for (auto it = first; it != last; ++it)
        if (it->second == node) {
            FOpen.erase(it);
            return;
        }
}

} // namespace walk

#pragma once
// The folders a walk is inside of: every entered folder not yet complete, by
// device and inode. A folder met again below itself (a bind mount of a parent
// into its child, a file system that gives every folder one inode) is not
// entered, wherever it is. The check is a hash lookup; only a folder that
// shares its identity with another open one asks whether that one is an
// ancestor, in steps logarithmic in the depth. Guarded by the walk's lock.
#include "Lock.h"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <unordered_map>

namespace walk {

struct TNode;

class TAncestry {
public:
    // Registers the entered folder (its identity set). False, registering
    // nothing, when one of its ancestors is that same folder.
    bool Enter(TGuard &g, TNode *node);
    // The folder is complete: nothing below it is entered any more.
    void Leave(TGuard &g, TNode *node);
    // Whether `a` lies on the path from the walk's folder to `node`, `node`
    // itself excluded.
    static bool IsAncestor(const TNode *a, const TNode *node);

private:
    struct TId {
        dev_t Dev;
        ino_t Ino;
        bool operator==(const TId &) const = default;
    };
    struct THash {
        std::size_t operator()(const TId &id) const
        {
            return std::hash<std::uint64_t>()(std::uint64_t(id.Ino) * 0x9E3779B97F4A7C15ULL ^ std::uint64_t(id.Dev));
        }
    };
    std::unordered_multimap<TId, const TNode *, THash> FOpen;
};

} // namespace walk

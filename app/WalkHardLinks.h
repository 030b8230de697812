#pragma once
// Files with several names (hard links) counted once per walk: at the first
// place in walk order that holds one of their names. Showing the same bytes
// in two slices would divide the space wrongly. The answer depends only on
// the places met, never on the order workers meet them in. Memory grows with
// the files that have several names only, about 24 to 48 bytes each.
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class TWalkHardLinks {
public:
    // A name of the file (device, inode) met at `place`, a smaller place
    // coming first in walk order; the file holds `kb` kilobytes.
    void Add(std::uint64_t dev, std::uint64_t ino, std::uint32_t place, std::int64_t kb);
    // Calls `credit` once per file with the first place that held one of its
    // names. Once the walk is over.
    void ForEach(const std::function<void(std::uint32_t place, std::int64_t kb)> &credit);

private:
    struct TEntry {
        std::uint64_t Ino = 0;
        std::int64_t Kb = -1; // -1: a free slot
        std::uint32_t Place = 0;
        std::uint32_t Dev = 0; // the kernel's 32-bit device number
    };
    struct TShard {
        std::mutex M;
        std::vector<TEntry> Slots; // open addressing, a power of two long
        std::size_t Used = 0;
    };
    static void Insert(std::vector<TEntry> &slots, const TEntry &entry, std::uint64_t hash);

    std::array<TShard, 64> FShards;
};

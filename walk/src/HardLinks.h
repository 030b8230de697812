#pragma once
// Files with several names (hard links) counted once per walk: at the first
// place in walk order that holds one of their names. Showing the same bytes
// in two slices would divide the space wrongly. The answer depends only on
// the places met, never on the order workers meet them in. Memory grows with
// the files that have several names only: 20 bytes a slot, slots kept at
// most 85 % full (about 30 MB for a million files).
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace walk {

class THardLinks {
public:
    // Places run below this; a place past it is taken as it.
    static constexpr std::uint32_t kLastPlace = UINT32_MAX - 1;

    // A name of the file (device, inode) met at `place`, a smaller place
    // coming first in walk order; the file holds `kb` kilobytes.
    void Add(std::uint64_t dev, std::uint64_t ino, std::uint32_t place, std::int64_t kb);
    // Calls `credit` once per file with the first place that held one of its
    // names. Once the walk is over.
    void ForEach(const std::function<void(std::uint32_t place, std::int64_t kb)> &credit);

private:
    // Packed in 32-bit words: no padding.
    struct TSlot {
        std::uint32_t InoLow = 0;
        std::uint32_t InoHigh = 0;
        std::uint32_t Dev = 0;                 // the kernel's 32-bit device number
        std::uint32_t Place = kFree;
        std::uint32_t Kb = 0;                  // kHuge: the kilobytes are in Huge
        std::uint64_t Ino() const { return std::uint64_t(InoHigh) << 32 | InoLow; }
    };
    static constexpr std::uint32_t kFree = UINT32_MAX;
    static constexpr std::uint32_t kHuge = UINT32_MAX;
    struct TShard {
        std::mutex M;
        std::vector<TSlot> Slots; // open addressing, linear probing
        std::size_t Used = 0;
        // Files of 4 TiB and more: rare, so kept aside.
        std::vector<std::pair<TSlot, std::int64_t>> Huge;
    };
    static std::uint64_t Hash(std::uint64_t ino, std::uint32_t dev);
    static std::size_t Home(std::uint64_t hash, std::size_t size);
    static void Insert(std::vector<TSlot> &slots, const TSlot &slot);

    std::array<TShard, 64> FShards;
};

} // namespace walk

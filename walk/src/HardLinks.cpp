#include "HardLinks.h"

#include <algorithm>
#include <sys/sysmacros.h>

namespace walk {

std::uint64_t THardLinks::Hash(std::uint64_t ino, std::uint32_t dev)
{
    std::uint64_t h = ino * 0x9E3779B97F4A7C15ULL ^ (std::uint64_t(dev) << 32 | dev);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ULL;
    return h ^ (h >> 32);
}

std::size_t THardLinks::Home(std::uint64_t hash, std::size_t size)
{
    // The low bits pick the shard; the rest spread over the slots.
    return std::size_t((unsigned __int128)(hash >> 6) * size >> 58);
}

void THardLinks::Insert(std::vector<TSlot> &slots, const TSlot &slot)
{
    for (std::size_t i = Home(Hash(slot.Ino(), slot.Dev), slots.size());; i = i + 1 == slots.size() ? 0 : i + 1)
        if (slots[i].Place == kFree) {
            slots[i] = slot;
            return;
        }
}

void THardLinks::Add(std::uint64_t dev, std::uint64_t ino, std::uint32_t place, std::int64_t kb)
{
    place = std::min(place, kLastPlace);
    // Linux device numbers hold a 12-bit major and a 20-bit minor.
    const auto dev32 = std::uint32_t(major(dev) << 20 | (minor(dev) & 0xFFFFF));
    const std::uint64_t hash = Hash(ino, dev32);
    TShard &shard = FShards[hash & 63];
    std::lock_guard lock(shard.M);
    if (!shard.Slots.empty()) {
        for (std::size_t i = Home(hash, shard.Slots.size()); shard.Slots[i].Place != kFree;
             i = i + 1 == shard.Slots.size() ? 0 : i + 1) {
            TSlot &s = shard.Slots[i];
            if (s.Ino() == ino && s.Dev == dev32) {
                s.Place = std::min(s.Place, place);
                return;
            }
        }
    }
    if ((shard.Used + 1) * 20 > shard.Slots.size() * 17) {
        std::vector<TSlot> bigger(std::max<std::size_t>(64, shard.Slots.size() * 3 / 2));
        for (const TSlot &s : shard.Slots)
            if (s.Place != kFree)
                Insert(bigger, s);
        shard.Slots.swap(bigger);
    }
    TSlot slot{std::uint32_t(ino), std::uint32_t(ino >> 32), dev32, place, std::uint32_t(kb)};
    if (kb >= std::int64_t(kHuge)) {
        slot.Kb = kHuge;
        shard.Huge.emplace_back(slot, kb);
    }
    Insert(shard.Slots, slot);
    ++shard.Used;
}

void THardLinks::ForEach(const std::function<void(std::uint32_t place, std::int64_t kb)> &credit)
{
    for (TShard &shard : FShards) {
        std::lock_guard lock(shard.M);
        for (const TSlot &s : shard.Slots) {
            if (s.Place == kFree)
                continue;
            std::int64_t kb = s.Kb;
            if (s.Kb == kHuge)
                for (const auto &[huge, hugeKb] : shard.Huge)
                    if (huge.Ino() == s.Ino() && huge.Dev == s.Dev)
                        kb = hugeKb;
            credit(s.Place, kb);
        }
    }
}

} // namespace walk

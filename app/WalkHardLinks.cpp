#include "WalkHardLinks.h"

#include <algorithm>
#include <sys/sysmacros.h>

namespace {

std::uint64_t Mix(std::uint64_t ino, std::uint32_t dev)
{
    std::uint64_t h = ino * 0x9E3779B97F4A7C15ULL ^ (std::uint64_t(dev) << 32 | dev);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ULL;
    return h ^ (h >> 32);
}

} // namespace

void TWalkHardLinks::Insert(std::vector<TEntry> &slots, const TEntry &entry, std::uint64_t hash)
{
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask)
        if (slots[i].Kb < 0) {
            slots[i] = entry;
            return;
        }
}

void TWalkHardLinks::Add(std::uint64_t dev, std::uint64_t ino, std::uint32_t place, std::int64_t kb)
{
    // Linux device numbers hold a 12-bit major and a 20-bit minor.
    const auto dev32 = std::uint32_t(major(dev) << 20 | (minor(dev) & 0xFFFFF));
    const std::uint64_t hash = Mix(ino, dev32);
    TShard &shard = FShards[hash >> 58];
    std::lock_guard lock(shard.M);
    if (!shard.Slots.empty()) {
        const std::size_t mask = shard.Slots.size() - 1;
        for (std::size_t i = hash & mask; shard.Slots[i].Kb >= 0; i = (i + 1) & mask) {
            TEntry &e = shard.Slots[i];
            if (e.Ino == ino && e.Dev == dev32) {
                e.Place = std::min(e.Place, place);
                return;
            }
        }
    }
    if ((shard.Used + 1) * 4 > shard.Slots.size() * 3) {
        std::vector<TEntry> bigger(shard.Slots.empty() ? 64 : shard.Slots.size() * 2);
        for (const TEntry &e : shard.Slots)
            if (e.Kb >= 0)
                Insert(bigger, e, Mix(e.Ino, e.Dev));
        shard.Slots.swap(bigger);
    }
    Insert(shard.Slots, TEntry{ino, kb, place, dev32}, hash);
    ++shard.Used;
}

void TWalkHardLinks::ForEach(const std::function<void(std::uint32_t place, std::int64_t kb)> &credit)
{
    for (TShard &shard : FShards) {
        std::lock_guard lock(shard.M);
        for (const TEntry &e : shard.Slots)
            if (e.Kb >= 0)
                credit(e.Place, e.Kb);
    }
}

#pragma once
// One slice's entry: a sub-folder, the loose files or the free space.
#include "platform/Colors.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Kinds of entry.
constexpr std::uint8_t kSubFolder = 1;
constexpr std::uint8_t kFilesOrFreeSpace = 3;

struct TDskEntity {
    // The folder name exactly as the listing gave it, or "fichiers", or "Espace libre".
    std::string Name;
    // Kilobytes: each file's bytes divided by 1024, summed in 64 bits.
    std::int64_t Size = 0;
    TColor Color = clBlack;
    std::uint8_t Kind = kSubFolder;
};

// The entry list owns its entries.
using TDskEntityList = std::vector<std::unique_ptr<TDskEntity>>;

// The colour of a new sub-folder entry from the number of entries in the list
// once it has been added.
TColor EntityColor(int count);

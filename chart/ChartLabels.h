#pragma once
// The labels of a series' points, their bytes kept end to end in one block:
// a label costs its bytes and one small entry, whatever its length, and
// making room for more points moves entries, never strings.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TChartLabels {
public:
    std::size_t Size() const { return FSpans.size(); }
    // The bytes of label i; empty for a point without a label or past the end.
    std::string At(std::size_t i) const;
    // Puts a label at i, moving the later ones up; points before i that had
    // none get an empty one.
    void Insert(std::size_t i, std::string_view label);
    // Removes label i, moving the later ones down; nothing past the end.
    void Erase(std::size_t i);
    // Exchanges two labels; points up to the larger index get empty ones.
    void Swap(std::size_t a, std::size_t b);
    void Clear();

private:
    struct TSpan {
        std::uint64_t Offset = 0;
        std::uint32_t Length = 0;
    };
    // Drops the bytes of removed labels once they are most of the block.
    void CompactIfWasteful();

    std::vector<TSpan> FSpans;
    std::string FBytes;
    std::size_t FUsed = 0; // bytes that some label still refers to
};

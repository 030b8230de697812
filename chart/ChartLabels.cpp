#include "chart/ChartLabels.h"

#include <limits>
#include <stdexcept>
#include <utility>

std::string TChartLabels::At(std::size_t i) const
{
    if (i >= FSpans.size())
        return {};
    const TSpan &s = FSpans[i];
    return FBytes.substr(std::size_t(s.Offset), s.Length);
}

void TChartLabels::Insert(std::size_t i, std::string_view label)
{
    if (label.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("label longer than 4 GiB");
    if (i > FSpans.size())
        FSpans.resize(i);
    FSpans.insert(FSpans.begin() + std::ptrdiff_t(i), TSpan{FBytes.size(), std::uint32_t(label.size())});
    FBytes.append(label);
    FUsed += label.size();
}

void TChartLabels::Erase(std::size_t i)
{
    if (i >= FSpans.size())
        return;
    FUsed -= FSpans[i].Length;
    FSpans.erase(FSpans.begin() + std::ptrdiff_t(i));
    CompactIfWasteful();
}

void TChartLabels::Swap(std::size_t a, std::size_t b)
{
    const std::size_t need = std::max(a, b) + 1;
    if (FSpans.size() < need)
        FSpans.resize(need);
    std::swap(FSpans[a], FSpans[b]);
}

void TChartLabels::Clear()
{
    FSpans.clear();
    FBytes.clear();
    FUsed = 0;
}

void TChartLabels::CompactIfWasteful()
{
    if (FBytes.size() < 4096 || FUsed * 2 > FBytes.size())
        return;
    std::string kept;
    kept.reserve(FUsed);
    for (TSpan &s : FSpans) {
        const std::uint64_t at = kept.size();
        kept.append(FBytes, std::size_t(s.Offset), s.Length);
        s.Offset = at;
    }
    FBytes = std::move(kept);
}

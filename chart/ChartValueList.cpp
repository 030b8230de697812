#include "chart/ChartValueList.h"

#include "chart/ChartErrors.h"
#include "chart/ChartSeries.h"

#include <cmath>

TChartValueList::TChartValueList(TChartSeries *owner, const QString &name) : Name(name), FOwner(owner) {}

void TChartValueList::SetDateTime(bool v)
{
    if (v == FDateTime)
        return;
    FDateTime = v;
    if (FOwner)
        FOwner->RequestRepaint();
}

void TChartValueList::SetMultiplier(double v)
{
    if (v == FMultiplier)
        return;
    FMultiplier = v;
    FStale = true;
    if (FOwner)
        FOwner->RequestRepaint();
}

void TChartValueList::CheckIndex(int i) const
{
    if (i < 0 || i >= ValueCount())
        throw EListError(i);
}

double TChartValueList::ValueAt(int i) const
{
    CheckIndex(i);
    return FValues[std::size_t(i)] * FMultiplier;
}

void TChartValueList::SetValueAt(int i, double v)
{
    CheckIndex(i);
    FValues[std::size_t(i)] = v;
    FStale = true;
}

int TChartValueList::InsertInOrder(double v)
{
    const int n = ValueCount();
    int index = n;
    if (n > 0 && Order == TChartListOrder::loAscending && FValues.back() > v) {
        int i = n - 1;
        while (i >= 0 && FValues[std::size_t(i)] > v)
            --i;
        index = i + 1;
    } else if (n > 0 && Order == TChartListOrder::loDescending && FValues.back() < v) {
        int i = n - 1;
        while (i >= 0 && FValues[std::size_t(i)] < v)
            --i;
        index = i + 1;
    }
    FValues.insert(FValues.begin() + index, v);
    FStale = true;
    return index;
}

void TChartValueList::InsertAt(int i, double v)
{
    if (i < 0 || i > ValueCount())
        throw EListError(i);
    FValues.insert(FValues.begin() + i, v);
    FStale = true;
}

void TChartValueList::DeleteAt(int i)
{
    CheckIndex(i);
    FValues.erase(FValues.begin() + i);
    FStale = true;
}

void TChartValueList::ClearAll()
{
    FValues.clear();
    FStale = true;
}

void TChartValueList::Renumber()
{
    for (std::size_t i = 0; i < FValues.size(); ++i)
        FValues[i] = double(i);
    FStale = true;
}

int TChartValueList::IndexOfValue(double v) const
{
    for (int i = 0; i < ValueCount(); ++i)
        if (ValueAt(i) == v)
            return i;
    return -1;
}

void TChartValueList::Swap(int a, int b)
{
    CheckIndex(a);
    CheckIndex(b);
    std::swap(FValues[std::size_t(a)], FValues[std::size_t(b)]);
    FStale = true;
}

void TChartValueList::Recalc() const
{
    if (!FStale)
        return;
    ++FRecalcCount;
    FMaximum = FMinimum = FSum = FAbsSum = 0;
    if (!FValues.empty()) {
        const double f = ValueAt(0);
        FMinimum = FMaximum = FSum = f;
        FAbsSum = std::fabs(f);
        for (int i = 1; i < ValueCount(); ++i) {
            const double v = ValueAt(i);
            if (v < FMinimum)
                FMinimum = v;
            else if (v > FMaximum)
                FMaximum = v;
            FSum += v;
            FAbsSum += std::fabs(v);
        }
    }
    FStale = false;
}

void TChartValueList::SortByOrder()
{
    if (Order == TChartListOrder::loNone || ValueCount() < 2)
        return;
    Sort(0, ValueCount() - 1);
}

// Quicksort on the middle pivot; points move only through the owner's
// SwapPoints so that every parallel list stays aligned.
void TChartValueList::Sort(int l, int r)
{
    const bool ascending = Order == TChartListOrder::loAscending;
    int i = l, j = r;
    const double pivot = ValueAt((l + r) / 2);
    while (i <= j) {
        if (ascending) {
            while (ValueAt(i) < pivot) ++i;
            while (pivot < ValueAt(j)) --j;
        } else {
            while (ValueAt(i) > pivot) ++i;
            while (pivot > ValueAt(j)) --j;
        }
        if (i <= j) {
            if (i != j) {
                if (FOwner)
                    FOwner->SwapPoints(i, j);
                else
                    Swap(i, j);
            }
            ++i;
            --j;
        }
    }
    if (l < j)
        Sort(l, j);
    if (i < r)
        Sort(i, r);
}

#pragma once
// One list of numbers of a series, with lazily computed statistics.
#include <QString>
#include <vector>

class TChartSeries;

enum class TChartListOrder { loNone, loAscending, loDescending };

class TChartValueList {
public:
    TChartValueList(TChartSeries *owner, const QString &name);

    bool DateTime() const { return FDateTime; }
    void SetDateTime(bool v);
    double Multiplier() const { return FMultiplier; }
    void SetMultiplier(double v);
    QString Name;
    TChartListOrder Order = TChartListOrder::loNone;
    QString ValueSource;
    // The value being added, set before it is inserted.
    double TempValue = 0.0;
    TChartSeries *Owner() const { return FOwner; }

    int ValueCount() const { return int(FValues.size()); }
    // Stored value times Multiplier; raises EListError outside 0..ValueCount-1.
    double ValueAt(int i) const;
    // Stores v unchanged (not divided by Multiplier).
    void SetValueAt(int i, double v);
    // Places v as Order says and returns its index.
    int InsertInOrder(double v);
    void InsertAt(int i, double v);
    void DeleteAt(int i);
    void ClearAll();
    // value[i] = i for every i.
    void Renumber();
    // First index whose ValueAt equals v exactly, or -1.
    int IndexOfValue(double v) const;
    // Sorts the owner's points by this list (not for loNone), through the owner's SwapPoints.
    void SortByOrder();
    void Swap(int a, int b);

    double Maximum() const { Recalc(); return FMaximum; }
    double Minimum() const { Recalc(); return FMinimum; }
    double Sum() const { Recalc(); return FSum; }
    double AbsSum() const { Recalc(); return FAbsSum; }
    // Overwrites AbsSum until the next change.
    void OverwriteAbsSum(double v) { Recalc(); FAbsSum = v; }
    // How many times the statistics were computed: they are a cache.
    int RecalcCount() const { return FRecalcCount; }

private:
    void CheckIndex(int i) const;
    void Recalc() const;
    void Sort(int l, int r);

    TChartSeries *FOwner;
    bool FDateTime = false;
    double FMultiplier = 1.0;
    std::vector<double> FValues;
    mutable double FMaximum = 0, FMinimum = 0, FSum = 0, FAbsSum = 0;
    mutable bool FStale = true;
    mutable int FRecalcCount = 0;
};

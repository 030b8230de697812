#pragma once
// The pie: values become slice angles, and each point is drawn as a filled,
// outlined elliptic wedge through the chart canvas.
#include "chart/ChartPen.h"
#include "chart/CircledSeries.h"

#include <optional>
#include <vector>

enum class TPieOtherStyle { poNone, poBelowPercent, poBelowValue };

// Grouping of small values into one slice.
class TPieOtherSlice {
public:
    explicit TPieOtherSlice(std::function<void()> changed) : FChanged(std::move(changed)) {}
    TPieOtherStyle Style() const { return FStyle; }
    QString Text() const { return FText; }
    double Value() const { return FValue; }
    void SetStyle(TPieOtherStyle v) { if (v != FStyle) { FStyle = v; FChanged(); } }
    void SetText(const QString &v) { if (v != FText) { FText = v; FChanged(); } }
    void SetValue(double v) { if (v != FValue) { FValue = v; FChanged(); } }
    void Assign(const TPieOtherSlice &o) { SetStyle(o.FStyle); SetText(o.FText); SetValue(o.FValue); }

private:
    std::function<void()> FChanged;
    TPieOtherStyle FStyle = TPieOtherStyle::poNone;
    QString FText = QStringLiteral("Autre");
    double FValue = 0.0;
};

struct TSliceAngles {
    double FromAngle = 0.0;
    double CenterAngle = 0.0;
    double ToAngle = 0.0;
};

class TPieSeries : public TCircledSeries {
    Q_OBJECT
public:
    // X value of a point folded into the other slice.
    static constexpr double GroupedX = -1.0;
    // X value of the other slice added by the last preparation.
    static constexpr double OtherSliceX = 2147483647.0;

    explicit TPieSeries(QObject *owner = nullptr);

    TChartValueList &PieValues() { return YValues(); }
    bool Dark3D() const { return FDark3D; }
    void SetDark3D(bool v);
    int ExplodeBiggest() const { return FExplodeBiggest; }
    void SetExplodeBiggest(int v);
    bool UsePatterns() const { return FUsePatterns; }
    void SetUsePatterns(bool v);
    TChartPen &PiePen() { return FPiePen; }
    void SetPiePen(const TChartPen &p) { FPiePen.Assign(p); }
    TPieOtherSlice &OtherSlice() { return FOtherSlice; }
    // Explode percentage per point; a missing entry counts as 0.
    std::vector<int> ExplodedSlices;
    int ExplodeOf(int i) const;
    void SetExplode(int i, int percent);

    // The slices laid out by the last drawing pass (none before the first, nor
    // after the points are cleared), and the angles of slice i among them.
    int SliceCount() const { return int(FSliceEnds.size()); }
    TSliceAngles SliceAnglesOf(int i) const;
    int ArcStartX = 0, ArcStartY = 0, ArcEndX = 0, ArcEndY = 0;
    bool AnyExploded = false;

    bool IsGrouped(int i) const { return XValues().ValueAt(i) == GroupedX; }
    static TBrushStyle PatternFor(int i);

    void ClearStorage() override;
    void PrepareForDrawing() override;
    void DrawAllPoints() override;
    void DrawPoint(int i) override;
    int LegendToValueIndex(int legendIndex) const override;
    int ValueIndexAt(int x, int y) override;
    void SwapPoints(int a, int b) override;
    virtual void DrawSlice(int i);

    void ComputeSliceAngles();
    // Offset of an exploded slice: dx to the right, dy upwards.
    QPoint ExplodeOffset(int i) const;
    // The point of slice i's middle angle halfway from the centre to the rim,
    // in chart pixels, moved with the slice when it is exploded; from the last
    // drawing pass, so empty for a slice that pass did not lay out.
    std::optional<QPoint> SliceMiddlePoint(int i) const;
    void ExplodeLargest();

private:
    // Where each slice ends: a slice starts where the one before it ends, so
    // a million slices keep one number each.
    std::vector<double> FSliceEnds;
    bool FDark3D = true;
    int FExplodeBiggest = 0;
    bool FUsePatterns = false;
    TChartPen FPiePen;
    TPieOtherSlice FOtherSlice;
};

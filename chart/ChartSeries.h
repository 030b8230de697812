#pragma once
// The data half of a chart: ordered points with X and Y values, an optional
// label and a colour each. Labels are kept as the bytes they were given (a
// folder name need not be valid UTF-8) and decoded only to be shown.
#include "chart/ChartLabels.h"
#include "chart/ChartValueList.h"
#include "platform/Colors.h"
#include "platform/Events.h"
#include "platform/Graphics.h"

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TChartSeries;
class TChartCanvas3D;
class TView3DOptions;

constexpr std::array<TColor, 16> DefaultPalette = {clRed, clGreen, clYellow, clBlue, clWhite, clGray, clFuchsia,
    clTeal, clNavy, clMaroon, clLime, clOlive, clPurple, clSilver, clAqua, clBlack};

enum class TLegendTextStyle { ltsPlain, ltsLeftValue, ltsRightValue, ltsLeftPercent, ltsRightPercent, ltsXValue };
enum class TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };

// What a series needs of the chart panel that shows it.
class IChartParent {
public:
    virtual ~IChartParent() = default;
    virtual void Invalidate() = 0;
    virtual TRect PlotRect() const = 0;
    virtual TColor BackColor() const = 0;
    virtual TColor Color() const = 0;
    virtual bool View3D() const = 0;
    virtual bool IsDestroying() const = 0;
    virtual void ApplyFillStyle(TColor color, TBrushStyle style, TColor backColor) = 0;
    virtual TChartCanvas3D *ChartCanvas() = 0;
    virtual void AddSeries(TChartSeries *s) = 0;
    virtual void RemoveSeries(TChartSeries *s) = 0;
    virtual int SeriesCount() const = 0;
    virtual TChartSeries *SeriesAt(int index) const = 0;
    // The look a circled series gives its chart.
    virtual void SetAxisVisible(bool v) = 0;
    virtual void SetClipPoints(bool v) = 0;
    virtual void SetView3DWalls(bool v) = 0;
    // True for a full chart with frame, back wall, zoom and panning.
    virtual bool IsFullChart() const = 0;
    virtual void SetFrameVisible(bool v) = 0;
    virtual void SetBackWallBrushStyle(TBrushStyle s) = 0;
    virtual void SetAllowZoom(bool v) = 0;
    virtual void SetAllowPanning(TPanningMode m) = 0;
    virtual TView3DOptions &View3DOptions() = 0;
    // The panel's flag that a click handler it raised has consumed the press.
    virtual bool ClickConsumedFlag() const = 0;
    virtual void SetClickConsumedFlag(bool v) = 0;
};

// Point marks settings; marks are not drawn by this program.
struct TSeriesMarks {
    bool Visible = true;
    int ArrowLength = 8;
    std::vector<QPoint> Positions;
};

class TChartSeries : public QObject {
    Q_OBJECT
public:
    explicit TChartSeries(QObject *owner = nullptr);
    ~TChartSeries() override;

    // --- published settings
    bool Active() const { return FActive; }
    virtual void SetActive(bool v);
    TColor SeriesColor() const { return FSeriesColor; }
    void SetSeriesColor(TColor c);
    bool ColorEachPoint() const { return FColorEachPoint; }
    void SetColorEachPoint(bool v);
    const QString &PercentFormat() const { return FPercentFormat; }
    void SetPercentFormat(const QString &v);
    const QString &ValueFormat() const { return FValueFormat; }
    void SetValueFormat(const QString &v);
    bool ShowInLegend = true;
    QString Title;
    Qt::CursorShape Cursor = Qt::ArrowCursor;
    TSeriesMarks Marks;

    IChartParent *ParentChart() const { return FParentChart; }
    // Attaches to the chart (or detaches with nullptr) and tells it.
    virtual void SetParentChart(IChartParent *chart);

    TChartValueList &XValues() { return *FXValues; }
    TChartValueList &YValues() { return *FYValues; }
    const TChartValueList &XValues() const { return *FXValues; }
    const TChartValueList &YValues() const { return *FYValues; }
    // Every value list in creation order.
    const std::vector<TChartValueList *> &ValuesLists() const { return FValueLists; }

    // --- events
    std::function<void(TChartSeries *)> AfterDrawValues;
    std::function<void(TChartSeries *)> BeforeDrawValues;
    std::function<void(TChartSeries *, int valueIndex)> OnAfterAdd;
    std::function<bool(TChartSeries *)> OnBeforeAdd;
    std::function<void(TChartSeries *)> OnClearValues;
    using TSeriesClick = std::function<void(TChartSeries *, int valueIndex, TMouseButton, TShiftState, int x, int y)>;
    TSeriesClick OnClick;
    TSeriesClick OnDblClick;

    // --- storage and drawing hooks
    virtual void ClearStorage();
    virtual void EndDrawPoints();
    virtual void PrepareForDrawing() {}
    virtual void BeginDrawPoints();
    virtual void DrawAllPoints();
    virtual void DrawPoint(int) {}
    virtual TColor ColorAt(int i) const;
    // The label bytes of point i; empty when absent or past the end.
    virtual std::string LabelAt(int i) const;
    virtual double XValueAt(int i) const { return FXValues->ValueAt(i); }
    virtual double YValueAt(int i) const { return FYValues->ValueAt(i); }
    virtual void PointAdded(int index);
    // Adds one point with X = its position; returns the index, -1 if refused.
    virtual int AddPoint(double value, const std::string &label = {}, TColor color = clAutoColor);
    virtual int AddPointXY(double x, double y, const std::string &label = {}, TColor color = clAutoColor);
    virtual void ClearPoints();
    virtual void DeletePoint(int i);
    virtual int LegendToValueIndex(int legendIndex) const { return legendIndex; }
    virtual std::string LegendText(int legendIndex, TLegendTextStyle style) const;
    // The point under a panel pixel, or -1.
    virtual int ValueIndexAt(int, int) { return -1; }
    virtual TChartValueList &MainValueList() { return *FYValues; }
    virtual const TChartValueList &MainValueList() const { return *FYValues; }
    virtual void SwapPoints(int a, int b);
    // Raises the series' own click events; true when one consumed the press.
    virtual bool ClickSeriesValue(int valueIndex, TMouseButton button, TShiftState shift, int x, int y);
    virtual void SeriesMouseMove(TShiftState, int, int) {}
    virtual void SeriesMouseUp(TMouseButton, TShiftState, int, int) {}
    // First and last point to draw; false when there is none.
    virtual bool CalcFirstLastVisible(int &first, int &last) const;

    int PointCount() const { return FXValues->ValueCount(); }
    int ColorCount() const { return int(FColors.size()); }
    void SetPointColor(int i, TColor c);
    // Asks the parent chart for a new frame; nothing is drawn now.
    void RequestRepaint();

protected:
    // While set, changes made inside a drawing pass do not ask for another one.
    int FSuppressRepaint = 0;

private:
    bool FActive = true;
    TColor FSeriesColor = clAutoColor;
    bool FColorEachPoint = false;
    std::vector<TColor> FColors;
    TChartLabels FLabels;
    IChartParent *FParentChart = nullptr;
    QString FPercentFormat = QStringLiteral("##0.## %");
    QString FValueFormat = QStringLiteral("#,##0.###");
    std::unique_ptr<TChartValueList> FXValues;
    std::unique_ptr<TChartValueList> FYValues;
    std::vector<TChartValueList *> FValueLists;

protected:
    void SetColorEachPointDefault(bool v) { FColorEachPoint = v; }
};

// Formats a value with a "#,##0.###"-style pattern: digits after the point
// ('0' always, '#' when needed), thousands groups when a ',' is present, and
// any text after the number kept as a suffix.
QString FormatChartValue(const QString &pattern, double value);

#pragma once
// The series list and the drawing cycle. Axes exist only as switches here: no
// axis is ever drawn in this program.
#include "chart/ChartPanelExtended.h"

#include <vector>

// An axis reduced to what the configuration switches off.
struct TChartAxis {
    bool Visible = true;
};

class TCustomAxisPanel : public TCustomChartPanelExtended {
    Q_OBJECT
public:
    explicit TCustomAxisPanel(QWidget *parent = nullptr);
    ~TCustomAxisPanel() override;

    bool AxisVisible() const { return FAxisVisible; }
    void SetAxisVisible(bool v) override;
    bool ClipPoints() const { return FClipPoints; }
    void SetClipPoints(bool v) override;
    bool View3DWalls() const { return FView3DWalls; }
    void SetView3DWalls(bool v) override;
    TChartAxis LeftAxis, RightAxis, TopAxis, BottomAxis, DepthAxis;
    int MaxPointsPerPage() const { return FMaxPointsPerPage; }
    // Raises ChartException for a negative value.
    void SetMaxPointsPerPage(int v);
    int Page = 1;
    bool ScaleLastPage = true;

    TNotifyEvent OnBeforeDrawAxes;
    TNotifyEvent OnBeforeDrawSeries;

    const std::vector<TChartSeries *> &SeriesList() const { return FSeriesList; }
    int SeriesCount() const override { return int(FSeriesList.size()); }
    TChartSeries *SeriesAt(int index) const override { return FSeriesList.at(std::size_t(index)); }
    int ActiveSeriesCount() const;
    void AddSeries(TChartSeries *s) override;
    void RemoveSeries(TChartSeries *s) override;
    TColor FreeSeriesColor(bool checkBackground) const;
    bool IsFreeSeriesColor(TColor color, bool checkBackground) const;

    void DrawContents(const TRect &bounds) override;
    virtual void FitAxes();
    virtual void FitSeriesMargins() {}
    virtual void DrawTitleFootLegend() {}
    virtual void DrawPlotWalls() {}
    void DrawOneSeries(TChartSeries *s);
    bool IsAxisShown(const TChartAxis &axis) const { return FAxisVisible && axis.Visible; }

protected:
    // Detaches and frees every series still in the list: series attached to a
    // panel must live on the heap.
    void FreeAllSeries();

private:
    bool FAxisVisible = true;
    bool FClipPoints = true;
    bool FView3DWalls = true;
    int FMaxPointsPerPage = 0;
    std::vector<TChartSeries *> FSeriesList;
};

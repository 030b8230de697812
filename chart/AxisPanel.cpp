#include "chart/AxisPanel.h"

#include "chart/ChartErrors.h"

#include <algorithm>

TCustomAxisPanel::TCustomAxisPanel(QWidget *parent) : TCustomChartPanelExtended(parent)
{
    FinishConstruction();
}

TCustomAxisPanel::~TCustomAxisPanel()
{
    FreeAllSeries();
}

void TCustomAxisPanel::FreeAllSeries()
{
    MarkDestroying();
    while (!FSeriesList.empty()) {
        TChartSeries *s = FSeriesList.back();
        s->SetParentChart(nullptr);
        // Whatever its toolkit parent, a series still in the list goes with the panel.
        delete s;
    }
}

void TCustomAxisPanel::SetAxisVisible(bool v)
{
    if (v != FAxisVisible) {
        FAxisVisible = v;
        Invalidate();
    }
}

void TCustomAxisPanel::SetClipPoints(bool v)
{
    if (v != FClipPoints) {
        FClipPoints = v;
        Invalidate();
    }
}

void TCustomAxisPanel::SetView3DWalls(bool v)
{
    if (v != FView3DWalls) {
        FView3DWalls = v;
        Invalidate();
    }
}

void TCustomAxisPanel::SetMaxPointsPerPage(int v)
{
    if (v < 0)
        throw ChartException(QStringLiteral("MaxPointsPerPage doit être >= 0"));
    if (v != FMaxPointsPerPage) {
        FMaxPointsPerPage = v;
        Invalidate();
    }
}

int TCustomAxisPanel::ActiveSeriesCount() const
{
    return int(std::count_if(FSeriesList.begin(), FSeriesList.end(), [](TChartSeries *s) { return s->Active(); }));
}

void TCustomAxisPanel::AddSeries(TChartSeries *s)
{
    if (std::find(FSeriesList.begin(), FSeriesList.end(), s) != FSeriesList.end())
        return;
    if (s->SeriesColor() == clAutoColor)
        s->SetSeriesColor(FreeSeriesColor(true));
    if (s->ParentChart() != this)
        s->SetParentChart(this);
    if (std::find(FSeriesList.begin(), FSeriesList.end(), s) == FSeriesList.end())
        FSeriesList.push_back(s);
    Invalidate();
}

void TCustomAxisPanel::RemoveSeries(TChartSeries *s)
{
    const auto it = std::find(FSeriesList.begin(), FSeriesList.end(), s);
    if (it == FSeriesList.end())
        return;
    FSeriesList.erase(it);
    if (s->ParentChart() == this)
        s->SetParentChart(nullptr);
    if (cursor().shape() == s->Cursor)
        setCursor(SavedCursor);
    Invalidate();
}

TColor TCustomAxisPanel::FreeSeriesColor(bool checkBackground) const
{
    for (TColor c : DefaultPalette)
        if (IsFreeSeriesColor(c, checkBackground))
            return c;
    return DefaultPalette[0];
}

bool TCustomAxisPanel::IsFreeSeriesColor(TColor color, bool checkBackground) const
{
    for (const TChartSeries *s : FSeriesList)
        if (s->SeriesColor() == color)
            return false;
    return !(checkBackground && (color == Color() || color == BackColor()));
}

void TCustomAxisPanel::FitAxes()
{
    if (!View3D()) {
        Depth3D = 0;
    } else {
        int depth = int(Chart3DPercent() * 0.001 * PlotWidth);
        if (!View3DOptions().Orthogonal())
            depth *= 2;
        Depth3D = depth * std::max(1, ActiveSeriesCount());
    }
    // No visible axis takes any room from the plot rectangle here.
    RecalcPlotSize();
}

void TCustomAxisPanel::DrawContents(const TRect &bounds)
{
    DrawPanelBackground(bounds);
    for (TChartSeries *s : FSeriesList)
        if (s->Active())
            s->PrepareForDrawing();
    DrawTitleFootLegend();
    FitAxes();
    FitSeriesMargins();
    ChartCanvas()->SetProjection(Depth3D, DrawBounds, PlotRect());
    DrawPlotWalls();
    if (FAxisVisible && OnBeforeDrawAxes)
        OnBeforeDrawAxes(this);
    if (OnBeforeDrawSeries)
        OnBeforeDrawSeries(this);
    for (TChartSeries *s : FSeriesList)
        if (s->Active())
            DrawOneSeries(s);
    ChartCanvas()->RestoreDefaults();
    if (OnAfterDraw)
        OnAfterDraw(this);
}

void TCustomAxisPanel::DrawOneSeries(TChartSeries *s)
{
    int first = 0, last = -1;
    if (!s->CalcFirstLastVisible(first, last))
        return;
    s->BeginDrawPoints();
    const bool clip = FClipPoints;
    if (clip)
        ChartCanvas()->ClipToRect(PlotRect());
    s->DrawAllPoints();
    if (clip)
        ChartCanvas()->RemoveClip();
    s->EndDrawPoints();
}

#pragma once
// A stand-in for the chart panel: it counts repaint requests and draws through
// a chart canvas into an image, with a fixed plot rectangle.
#include "chart/ChartCanvas.h"
#include "chart/ChartSeries.h"
#include "chart/View3DOptions.h"

#include <algorithm>

class FakeChart : public IChartParent {
public:
    explicit FakeChart(int w = 205, int h = 205) : Image(w, h, QImage::Format_RGB32), Window(&Image), Canvas(&Window)
    {
        Image.fill(Qt::white);
        Plot = TRect{0, 0, w, h};
    }
    void Invalidate() override { ++Invalidations; }
    TRect PlotRect() const override { return Plot; }
    TColor BackColor() const override { return Back; }
    TColor Color() const override { return PanelColor; }
    bool View3D() const override { return false; }
    bool IsDestroying() const override { return false; }
    void ApplyFillStyle(TColor color, TBrushStyle style, TColor backColor) override
    {
        Canvas.Brush().SetColor(color);
        Canvas.Brush().SetStyle(style);
        Canvas.GetDeviceHandle();
        Canvas.SetBackgroundMode(style == TBrushStyle::bsSolid ? TBkMode::Transparent : TBkMode::Opaque);
        Canvas.SetBackgroundColor(backColor);
    }
    TChartCanvas3D *ChartCanvas() override { return &Canvas; }
    void AddSeries(TChartSeries *s) override
    {
        if (std::find(List.begin(), List.end(), s) == List.end())
            List.push_back(s);
    }
    void RemoveSeries(TChartSeries *s) override { List.erase(std::remove(List.begin(), List.end(), s), List.end()); }
    int SeriesCount() const override { return int(List.size()); }
    TChartSeries *SeriesAt(int i) const override { return List.at(std::size_t(i)); }
    void SetAxisVisible(bool) override {}
    void SetClipPoints(bool) override {}
    void SetView3DWalls(bool) override {}
    bool IsFullChart() const override { return false; }
    void SetFrameVisible(bool) override {}
    void SetBackWallBrushStyle(TBrushStyle) override {}
    void SetAllowZoom(bool) override {}
    void SetAllowPanning(TPanningMode) override {}
    TView3DOptions &View3DOptions() override { return Options; }
    bool ClickConsumedFlag() const override { return ClickConsumed; }
    void SetClickConsumedFlag(bool v) override { ClickConsumed = v; }

    // One drawing pass of a series, as the panel runs it.
    void DrawSeries(TChartSeries &s)
    {
        s.PrepareForDrawing();
        if (s.PointCount() > 0) {
            s.BeginDrawPoints();
            s.DrawAllPoints();
            s.EndDrawPoints();
        }
    }

    QImage Image;
    TCanvas Window;
    TChartCanvas3D Canvas;
    TView3DOptions Options;
    TRect Plot;
    TColor Back = clAutoColor;
    TColor PanelColor = clBlue;
    int Invalidations = 0;
    bool ClickConsumed = false;
    std::vector<TChartSeries *> List;
};

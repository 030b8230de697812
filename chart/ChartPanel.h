#pragma once
// The window-owning chart control: it turns a paint request into one complete
// frame drawn off-screen through the chart canvas, and keeps that frame for
// repaints that need no new one.
//
// Drawing outside a paint request (the rotating scan text, the corners during a
// drag) goes to a surface image that is what the screen shows; the next paint
// only presents it. A real paint request runs the chart's own routine into the
// surface first.
#include "chart/ChartCanvas.h"
#include "chart/ChartSeries.h"
#include "platform/Events.h"

#include <QWidget>
#include <memory>

enum class TPanelBevel { bvNone, bvLowered, bvRaised };

class TCustomChartPanel : public QWidget, public IChartParent {
    Q_OBJECT
public:
    explicit TCustomChartPanel(QWidget *parent = nullptr);
    ~TCustomChartPanel() override;

    int Chart3DPercent() const { return FChart3DPercent; }
    // Raises ChartException outside 1..100.
    void SetChart3DPercent(int v);
    TRect DrawBounds;
    int PlotWidth = 0, PlotHeight = 0, PlotXCenter = 0, PlotYCenter = 0;
    int MarginLeft = 3, MarginTop = 4, MarginRight = 3, MarginBottom = 4;
    void SetMargins(int left, int top, int right, int bottom);
    bool View3D() const override { return FView3D; }
    void SetView3D(bool v);
    TView3DOptions &View3DOptions() override { return *FView3DOptions; }
    int Depth3D = 0;
    TChartCanvas3D *ChartCanvas() override { return FChartCanvas.get(); }
    TCanvas &WindowCanvas() { return FWindowCanvas; }
    TRect PlotRect() const override { return FPlotRect; }
    void SetPlotRect(const TRect &r) { FPlotRect = r; }
    TColor Color() const override { return FColor; }
    void SetColor(TColor c);
    TPanelBevel BevelOuter = TPanelBevel::bvRaised;
    Qt::CursorShape SavedCursor = Qt::ArrowCursor;
    bool ClickConsumed = false;
    bool IsDestroying() const override { return FDestroying; }
    bool ClickConsumedFlag() const override { return ClickConsumed; }
    void SetClickConsumedFlag(bool v) override { ClickConsumed = v; }

    // Asks for a new frame; ignored until construction has finished.
    void Invalidate() override;
    // Asks for a repaint that copies the kept frame when it is still valid.
    void Repaint();
    // Draws one frame onto target at rect.
    virtual void PaintChart(TCanvas *target, const TRect &rect);
    virtual void DrawContents(const TRect &bounds) = 0;
    virtual void DrawBevels(const TRect &rect);
    void RecalcPlotSize();
    // Sets the canvas brush from a colour, a style and the colour behind a hatch.
    void ApplyFillStyle(TColor color, TBrushStyle style, TColor backColor) override;
    // Ends the constructor phase: from now on invalidations count. Each panel
    // class calls it as its construction ends.
    void FinishConstruction() { FConstructed = true; }
    // The stored configuration has been read: the cursor now is the one to go
    // back to. Runs once, at the latest when the panel is polished.
    void Loaded();
    void SetBevelOuter(TPanelBevel v)
    {
        if (v != BevelOuter) {
            BevelOuter = v;
            Invalidate();
        }
    }
    TPanelBevel BevelInner() const { return FBevelInner; }
    void SetBevelInner(TPanelBevel v);
    // The border between the bevels, in pixels.
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int v);

    // The control's own mouse events, raised before the chart's handling.
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void MarkDestroying() { FDestroying = true; }

private:
    int FChart3DPercent = 15;
    bool FView3D = true;
    std::unique_ptr<TView3DOptions> FView3DOptions;
    QImage FSurface;
    TCanvas FWindowCanvas;
    std::unique_ptr<TChartCanvas3D> FChartCanvas;
    TRect FPlotRect;
    TColor FColor = clBtnFace;
    TPanelBevel FBevelInner = TPanelBevel::bvNone;
    int FBorderWidth = 0;
    bool FConstructed = false;
    bool FDestroying = false;
    bool FNeedsPaint = true;
    bool FInPaint = false;
    bool FReleasePending = false;
    bool FSavedCursorTaken = false;
};

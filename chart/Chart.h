#pragma once
// The full chart: walls, title, foot and legend switches, and the mouse
// handling that turns presses into click events.
#include "chart/AxisPanel.h"

struct TChartWallBrush {
    TBrushStyle Style = TBrushStyle::bsClear;
    TColor Color = clWhite;
    QImage Bitmap;
};

struct TChartWall {
    TColor Color = clAutoColor;
    TChartWallBrush Brush;
    TChartPen Pen;
};

struct TChartTitle {
    bool Visible = true;
    QString Text;
    TRect Bounds;
};

struct TChartLegend {
    bool Visible = true;
    TRect Bounds;
};

enum class TClickedPartKind { cpNone, cpLegend, cpAxis, cpSeries, cpTitle, cpFoot, cpChartRect };

struct TClickedPart {
    TClickedPartKind Part = TClickedPartKind::cpNone;
    int ValueIndex = -1;
    TChartSeries *Series = nullptr;
    TChartAxis *Axis = nullptr;
};

class TCustomChart : public TCustomAxisPanel {
    Q_OBJECT
public:
    explicit TCustomChart(QWidget *parent = nullptr);
    ~TCustomChart() override;

    TChartWall BackWall, BottomWall, LeftWall;
    TChartTitle Title, Foot;
    TChartLegend Legend;

    TColor BackColor() const override { return BackWall.Color; }
    // Also makes the wall brush solid when the panel has a parent.
    void SetBackColor(TColor c);
    bool IsFullChart() const override { return true; }
    void SetFrameVisible(bool v) override { BackWall.Pen.SetVisible(v); }
    void SetBackWallBrushStyle(TBrushStyle s) override;

    using TChartClick = std::function<void(TCustomChart *sender, TMouseButton, TShiftState, int x, int y)>;
    using TChartClickAxis = std::function<void(TCustomChart *sender, TChartAxis *, TMouseButton, TShiftState, int x, int y)>;
    using TChartClickSeries = std::function<void(TCustomChart *sender, TChartSeries *series, int valueIndex,
                                                 TMouseButton, TShiftState, int x, int y)>;
    TChartClickAxis OnClickAxis;
    TChartClick OnClickBackground;
    TChartClick OnClickLegend;
    TChartClickSeries OnClickSeries;

    // What lies under a point of the panel.
    TClickedPart FindClickedPart(int x, int y);

    void DrawPlotWalls() override;
    void DrawTitleFootLegend() override;

    // The chart's handling of the platform's notifications, after the control's own events.
    void ChartMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void ChartMouseMove(TShiftState shift, int x, int y);
    void ChartMouseUp(TMouseButton button, TShiftState shift, int x, int y);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;

private:
    void RaiseBackgroundClick(TMouseButton button, TShiftState shift, int x, int y, bool &handled);
    void StartZoomOrPan(TMouseButton button, TShiftState shift, int x, int y, bool &handled);
};

// The chart as forms place it: it publishes the settings a stored form gives.
class TChart : public TCustomChart {
    Q_OBJECT
    Q_PROPERTY(QColor Color READ GetColor WRITE PutColor)
    Q_PROPERTY(QColor BackColor READ GetBackColor WRITE PutBackColor)
    Q_PROPERTY(int BevelOuter READ GetBevelOuter WRITE PutBevelOuter)
    Q_PROPERTY(int MarginLeft READ GetMarginLeft WRITE PutMarginLeft)
    Q_PROPERTY(int MarginTop READ GetMarginTop WRITE PutMarginTop)
    Q_PROPERTY(int MarginRight READ GetMarginRight WRITE PutMarginRight)
    Q_PROPERTY(int MarginBottom READ GetMarginBottom WRITE PutMarginBottom)
    Q_PROPERTY(bool View3D READ GetView3D WRITE PutView3D)
    Q_PROPERTY(bool View3DWalls READ GetView3DWalls WRITE PutView3DWalls)
    Q_PROPERTY(int Chart3DPercent READ GetChart3DPercent WRITE PutChart3DPercent)
    Q_PROPERTY(int Elevation READ GetElevation WRITE PutElevation)
    Q_PROPERTY(bool Orthogonal READ GetOrthogonal WRITE PutOrthogonal)
    Q_PROPERTY(int Perspective READ GetPerspective WRITE PutPerspective)
    Q_PROPERTY(int Rotation READ GetRotation WRITE PutRotation)
    Q_PROPERTY(bool AxisVisible READ GetAxisVisible WRITE PutAxisVisible)
    Q_PROPERTY(bool LeftAxisVisible READ GetLeftAxisVisible WRITE PutLeftAxisVisible)
    Q_PROPERTY(bool ClipPoints READ GetClipPoints WRITE PutClipPoints)
    Q_PROPERTY(bool AllowZoom READ GetAllowZoom WRITE PutAllowZoom)
    Q_PROPERTY(bool AllowPanning READ GetAllowPanning WRITE PutAllowPanning)
    Q_PROPERTY(bool AnimatedZoom READ GetAnimatedZoom WRITE PutAnimatedZoom)
    Q_PROPERTY(bool FrameVisible READ GetFrameVisible WRITE PutFrameVisible)
    Q_PROPERTY(bool LegendVisible READ GetLegendVisible WRITE PutLegendVisible)
    Q_PROPERTY(bool TitleVisible READ GetTitleVisible WRITE PutTitleVisible)
    Q_PROPERTY(bool FootVisible READ GetFootVisible WRITE PutFootVisible)

public:
    explicit TChart(QWidget *parent = nullptr) : TCustomChart(parent) {}

    // Stores a new value and repaints; an unchanged value does nothing.
    template <typename T> void SetIfChanged(T &field, T v)
    {
        if (field != v) {
            field = v;
            Invalidate();
        }
    }

    QColor GetColor() const { return toQColor(Color()); }
    void PutColor(const QColor &v) { SetColor(fromQColor(v)); }
    QColor GetBackColor() const { return toQColor(BackColor()); }
    void PutBackColor(const QColor &v) { SetBackColor(fromQColor(v)); }
    int GetBevelOuter() const { return int(TCustomChartPanel::BevelOuter); }
    void PutBevelOuter(int v) { SetBevelOuter(TPanelBevel(v)); }
    int GetMarginLeft() const { return TCustomChartPanel::MarginLeft; }
    void PutMarginLeft(int v) { SetIfChanged(TCustomChartPanel::MarginLeft, v); }
    int GetMarginTop() const { return TCustomChartPanel::MarginTop; }
    void PutMarginTop(int v) { SetIfChanged(TCustomChartPanel::MarginTop, v); }
    int GetMarginRight() const { return TCustomChartPanel::MarginRight; }
    void PutMarginRight(int v) { SetIfChanged(TCustomChartPanel::MarginRight, v); }
    int GetMarginBottom() const { return TCustomChartPanel::MarginBottom; }
    void PutMarginBottom(int v) { SetIfChanged(TCustomChartPanel::MarginBottom, v); }
    bool GetView3D() const { return View3D(); }
    void PutView3D(bool v) { SetView3D(v); }
    bool GetView3DWalls() const { return View3DWalls(); }
    void PutView3DWalls(bool v) { SetView3DWalls(v); }
    int GetChart3DPercent() const { return Chart3DPercent(); }
    void PutChart3DPercent(int v) { SetChart3DPercent(v); }
    int GetElevation() const { return const_cast<TChart *>(this)->View3DOptions().Elevation(); }
    void PutElevation(int v) { View3DOptions().SetElevation(v); }
    bool GetOrthogonal() const { return const_cast<TChart *>(this)->View3DOptions().Orthogonal(); }
    void PutOrthogonal(bool v) { View3DOptions().SetOrthogonal(v); }
    int GetPerspective() const { return const_cast<TChart *>(this)->View3DOptions().Perspective(); }
    void PutPerspective(int v) { View3DOptions().SetPerspective(v); }
    int GetRotation() const { return const_cast<TChart *>(this)->View3DOptions().Rotation(); }
    void PutRotation(int v) { View3DOptions().SetRotation(v); }
    bool GetAxisVisible() const { return AxisVisible(); }
    void PutAxisVisible(bool v) { SetAxisVisible(v); }
    bool GetLeftAxisVisible() const { return LeftAxis.Visible; }
    void PutLeftAxisVisible(bool v) { SetIfChanged(LeftAxis.Visible, v); }
    bool GetClipPoints() const { return ClipPoints(); }
    void PutClipPoints(bool v) { SetClipPoints(v); }
    bool GetAllowZoom() const { return TCustomChartPanelExtended::AllowZoom; }
    void PutAllowZoom(bool v) { SetAllowZoom(v); }
    bool GetAllowPanning() const { return TCustomChartPanelExtended::AllowPanning != TPanningMode::pmNone; }
    void PutAllowPanning(bool v) { SetAllowPanning(v ? TPanningMode::pmBoth : TPanningMode::pmNone); }
    bool GetAnimatedZoom() const { return TCustomChartPanelExtended::AnimatedZoom; }
    void PutAnimatedZoom(bool v) { TCustomChartPanelExtended::AnimatedZoom = v; }
    bool GetFrameVisible() const { return BackWall.Pen.Visible(); }
    void PutFrameVisible(bool v) { SetFrameVisible(v); }
    bool GetLegendVisible() const { return Legend.Visible; }
    void PutLegendVisible(bool v) { SetIfChanged(Legend.Visible, v); }
    bool GetTitleVisible() const { return Title.Visible; }
    void PutTitleVisible(bool v) { SetIfChanged(Title.Visible, v); }
    bool GetFootVisible() const { return Foot.Visible; }
    void PutFootVisible(bool v) { SetIfChanged(Foot.Visible, v); }
};

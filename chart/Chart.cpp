#include "chart/Chart.h"

#include <QMouseEvent>

TCustomChart::TCustomChart(QWidget *parent) : TCustomAxisPanel(parent)
{
    BackWall.Pen.OnChange = [this] { Invalidate(); };
    FinishConstruction();
}

TCustomChart::~TCustomChart()
{
    FreeAllSeries();
}

void TCustomChart::SetBackColor(TColor c)
{
    if (c == BackWall.Color)
        return;
    BackWall.Color = c;
    if (parentWidget())
        BackWall.Brush.Style = TBrushStyle::bsSolid;
    Invalidate();
}

void TCustomChart::SetBackWallBrushStyle(TBrushStyle s)
{
    if (s != BackWall.Brush.Style) {
        BackWall.Brush.Style = s;
        Invalidate();
    }
}

void TCustomChart::DrawTitleFootLegend()
{
    // Title, foot and legend are switches only: this program shows none of them,
    // and a hidden one takes no room from the plot rectangle.
}

void TCustomChart::DrawPlotWalls()
{
    TChartCanvas3D *c = ChartCanvas();
    c->ApplyChartPen(BackWall.Pen);
    if (!BackWall.Brush.Bitmap.isNull()) {
        c->Brush().SetBitmap(BackWall.Brush.Bitmap);
    } else {
        c->Brush().SetBitmap(QImage());
        if (BackWall.Color == clAutoColor && BackWall.Brush.Style == TBrushStyle::bsSolid)
            c->Brush().SetStyle(TBrushStyle::bsClear);
        else
            ApplyFillStyle(BackWall.Color, BackWall.Brush.Style, BackWall.Brush.Color);
    }
    if (!View3D()) {
        const TRect p = PlotRect();
        // The background mode stays as the fill style left it.
        c->Rectangle(p.Left, p.Top, p.Right + 1, p.Bottom + 1);
    }
}

TClickedPart TCustomChart::FindClickedPart(int x, int y)
{
    TClickedPart p;
    for (auto it = SeriesList().rbegin(); it != SeriesList().rend(); ++it) {
        TChartSeries *s = *it;
        if (!s->Active())
            continue;
        p.ValueIndex = s->ValueIndexAt(x, y);
        if (p.ValueIndex != -1) {
            p.Series = s;
            p.Part = TClickedPartKind::cpSeries;
            return p;
        }
    }
    p.ValueIndex = -1;
    // Axes are never laid out here, so no axis band can hold the point.
    if (Title.Visible && Title.Bounds.Contains(x, y)) {
        p.Part = TClickedPartKind::cpTitle;
        return p;
    }
    if (Foot.Visible && Foot.Bounds.Contains(x, y)) {
        p.Part = TClickedPartKind::cpFoot;
        return p;
    }
    if (PlotRect().Contains(x, y) && ActiveSeriesCount() > 0) {
        p.Part = TClickedPartKind::cpChartRect;
        return p;
    }
    // Legend items are never laid out here: a legend holds no item to find.
    return p;
}

void TCustomChart::RaiseBackgroundClick(TMouseButton button, TShiftState shift, int x, int y, bool &handled)
{
    if (OnClickBackground) {
        ClickConsumed = true;
        OnClickBackground(this, button, shift, x, y);
        handled = ClickConsumed;
    }
}

void TCustomChart::StartZoomOrPan(TMouseButton button, TShiftState shift, int x, int y, bool &handled)
{
    const bool plain = (shift & (ssShift | ssCtrl | ssAlt)) == 0;
    if (AllowZoom && button == TMouseButton::mbLeft && plain) {
        setCursor(Qt::ArrowCursor);
        Zoom.Activate(x, y);
        handled = true;
    }
    if (AllowPanning != TPanningMode::pmNone && button == TMouseButton::mbRight && plain) {
        setCursor(Qt::ArrowCursor);
        Panning.Activate(x, y);
        handled = true;
    }
}

void TCustomChart::ChartMouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (Zoom.Active || Panning.Active)
        return;
    if (ClickConsumed) {
        // A press that arrives while a click handler still runs is swallowed.
        ClickConsumed = false;
        return;
    }
    const TClickedPart p = FindClickedPart(x, y);
    bool handled = false;
    switch (p.Part) {
    case TClickedPartKind::cpLegend:
        if (OnClickLegend) {
            ClickConsumed = true;
            OnClickLegend(this, button, shift, x, y);
            handled = ClickConsumed;
        }
        break;
    case TClickedPartKind::cpAxis:
        if (OnClickAxis) {
            ClickConsumed = true;
            OnClickAxis(this, p.Axis, button, shift, x, y);
            handled = ClickConsumed;
        }
        if (!handled)
            StartZoomOrPan(button, shift, x, y, handled);
        break;
    case TClickedPartKind::cpSeries:
        handled = p.Series->ClickSeriesValue(p.ValueIndex, button, shift, x, y);
        if (OnClickSeries) {
            ClickConsumed = true;
            OnClickSeries(this, p.Series, p.ValueIndex, button, shift, x, y);
            handled = ClickConsumed;
        }
        if (!handled)
            StartZoomOrPan(button, shift, x, y, handled);
        break;
    case TClickedPartKind::cpChartRect:
        RaiseBackgroundClick(button, shift, x, y, handled);
        if (!handled)
            StartZoomOrPan(button, shift, x, y, handled);
        break;
    default:
        break;
    }
    if (!handled)
        RaiseBackgroundClick(button, shift, x, y, handled);
    ClickConsumed = false;
}

void TCustomChart::ChartMouseMove(TShiftState shift, int x, int y)
{
    if (Zoom.Active) {
        Zoom.X1 = x;
        Zoom.Y1 = y;
        return;
    }
    if (Panning.Active) {
        if (PlotRect().Contains(x, y)) {
            Panning.X1 = x;
            Panning.Y1 = y;
            if (OnScroll)
                OnScroll(this);
        } else {
            Panning.Active = false;
        }
        return;
    }
    bool cursorSet = false;
    for (TChartSeries *s : SeriesList()) {
        if (s->Active() && s->Cursor != Qt::ArrowCursor && s->ValueIndexAt(x, y) != -1) {
            setCursor(s->Cursor);
            cursorSet = true;
            break;
        }
    }
    for (TChartSeries *s : SeriesList())
        s->SeriesMouseMove(shift, x, y);
    if (!cursorSet)
        setCursor(SavedCursor);
}

void TCustomChart::ChartMouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    for (TChartSeries *s : SeriesList())
        s->SeriesMouseUp(button, shift, x, y);
    if (Zoom.Active && button == TMouseButton::mbLeft) {
        Zoom.Active = false;
        const int dx = Zoom.X1 - Zoom.X0, dy = Zoom.Y1 - Zoom.Y0;
        if (std::abs(dx) > 16 && std::abs(dy) > 16) {
            if (dx > 0 && dy > 0) {
                if (OnZoom)
                    OnZoom(this);
            } else if (OnUndoZoom) {
                OnUndoZoom(this);
            }
            Invalidate();
        }
    }
    Panning.Active = false;
}

void TCustomChart::mousePressEvent(QMouseEvent *e)
{
    const int x = int(e->position().x()), y = int(e->position().y());
    const std::optional<TMouseButton> b = toMouseButton(e->button());
    if (!b)
        return;
    const TShiftState s = toShiftState(e->modifiers(), e->buttons());
    if (OnMouseDown)
        OnMouseDown(this, *b, s, x, y);
    ChartMouseDown(*b, s, x, y);
}

void TCustomChart::mouseDoubleClickEvent(QMouseEvent *e)
{
    // The second press of a double click is a press with the double-click flag.
    const int x = int(e->position().x()), y = int(e->position().y());
    const std::optional<TMouseButton> b = toMouseButton(e->button());
    if (!b)
        return;
    const TShiftState s = toShiftState(e->modifiers(), e->buttons(), true);
    if (OnMouseDown)
        OnMouseDown(this, *b, s, x, y);
    ChartMouseDown(*b, s, x, y);
}

void TCustomChart::mouseMoveEvent(QMouseEvent *e)
{
    const int x = int(e->position().x()), y = int(e->position().y());
    const TShiftState s = toShiftState(e->modifiers(), e->buttons());
    if (OnMouseMove)
        OnMouseMove(this, s, x, y);
    ChartMouseMove(s, x, y);
}

void TCustomChart::mouseReleaseEvent(QMouseEvent *e)
{
    const int x = int(e->position().x()), y = int(e->position().y());
    const std::optional<TMouseButton> b = toMouseButton(e->button());
    if (!b)
        return;
    const TShiftState s = toShiftState(e->modifiers(), e->buttons());
    if (OnMouseUp)
        OnMouseUp(this, *b, s, x, y);
    ChartMouseUp(*b, s, x, y);
}

void TCustomChart::leaveEvent(QEvent *e)
{
    setCursor(SavedCursor);
    Panning.Active = false;
    TCustomAxisPanel::leaveEvent(e);
}

void TCustomChart::wheelEvent(QWheelEvent *e)
{
    // A wheel turn shifts the vertical axes and repaints; none is drawn here, so
    // the new frame shows the same pie.
    e->accept();
    Invalidate();
}

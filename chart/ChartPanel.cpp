#include "chart/ChartPanel.h"

#include "chart/ChartErrors.h"

#include <QPainter>

namespace {
// Multiplies, then divides rounding halves away from zero.
int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long p = (long long)a * b;
    const long long q = (std::llabs(p) + std::llabs(c) / 2) / std::llabs(c);
    return int(((p < 0) != (c < 0)) ? -q : q);
}
} // namespace

TCustomChartPanel::TCustomChartPanel(QWidget *parent)
    : QWidget(parent), FView3DOptions(std::make_unique<TView3DOptions>([this] { Invalidate(); })),
      FWindowCanvas(&FSurface), FChartCanvas(std::make_unique<TChartCanvas3D>(&FWindowCanvas))
{
    FChartCanvas->OnInvalidatePanel = [this] { Invalidate(); };
    resize(400, 250);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    // What is drawn on the window canvas outside a frame is presented at once.
    FWindowCanvas.OnChange = [this] {
        if (!FInPaint)
            update();
    };
    // The device behind the window canvas lasts one message: what a handler
    // selected into it (a clip region) is gone once that message is handled.
    FWindowCanvas.OnDeviceUsed = [this] {
        if (FReleasePending)
            return;
        FReleasePending = true;
        QMetaObject::invokeMethod(this, [this] {
            FReleasePending = false;
            FWindowCanvas.ReleaseHandle();
        }, Qt::QueuedConnection);
    };
    FinishConstruction();
}

TCustomChartPanel::~TCustomChartPanel()
{
    FDestroying = true;
}

void TCustomChartPanel::SetChart3DPercent(int v)
{
    if (v < 1 || v > 100)
        throw ChartException(QStringLiteral("Le pourcentage effet 3D doit être compris entre %1 et %2").arg(1).arg(100));
    if (v != FChart3DPercent) {
        FChart3DPercent = v;
        Invalidate();
    }
}

void TCustomChartPanel::SetMargins(int left, int top, int right, int bottom)
{
    if (left == MarginLeft && top == MarginTop && right == MarginRight && bottom == MarginBottom)
        return;
    MarginLeft = left;
    MarginTop = top;
    MarginRight = right;
    MarginBottom = bottom;
    Invalidate();
}

void TCustomChartPanel::SetView3D(bool v)
{
    if (v != FView3D) {
        FView3D = v;
        Invalidate();
    }
}

void TCustomChartPanel::SetColor(TColor c)
{
    if (c != FColor) {
        FColor = c;
        Invalidate();
    }
}

void TCustomChartPanel::SetBevelInner(TPanelBevel v)
{
    if (v != FBevelInner) {
        FBevelInner = v;
        Invalidate();
    }
}

void TCustomChartPanel::SetBorderWidth(int v)
{
    if (v != FBorderWidth) {
        FBorderWidth = v;
        Invalidate();
    }
}

void TCustomChartPanel::Invalidate()
{
    if (!FConstructed)
        return;
    FChartCanvas->MarkDirty();
    Repaint();
}

void TCustomChartPanel::Repaint()
{
    FNeedsPaint = true;
    update();
}

void TCustomChartPanel::PaintChart(TCanvas *target, const TRect &rect)
{
    DrawBounds = FChartCanvas->BeginFrame(target, FView3DOptions.get(), FColor, FView3D, rect);
    const int w = DrawBounds.Width(), h = DrawBounds.Height(), b = FBorderWidth;
    FPlotRect = TRect{DrawBounds.Left + b + MulDiv(MarginLeft, w, 100), DrawBounds.Top + b + MulDiv(MarginTop, h, 100),
                      DrawBounds.Right - b - MulDiv(MarginRight, w, 100),
                      DrawBounds.Bottom - b - MulDiv(MarginBottom, h, 100)};
    RecalcPlotSize();
    DrawContents(DrawBounds);
    FChartCanvas->EndFrame(target, &FWindowCanvas, rect);
}

void TCustomChartPanel::RecalcPlotSize()
{
    TRect &r = FPlotRect;
    if (r.Left < DrawBounds.Left)
        r.Left = DrawBounds.Left;
    if (r.Top < DrawBounds.Top)
        r.Top = DrawBounds.Top;
    if (r.Left > r.Right)
        r.Right = r.Left + 1;
    else if (r.Left == r.Right)
        r.Right = r.Left + width();
    if (r.Top > r.Bottom)
        r.Bottom = r.Top + 1;
    else if (r.Top == r.Bottom)
        r.Bottom = r.Top + height();
    PlotWidth = r.Right - r.Left;
    PlotHeight = r.Bottom - r.Top;
    PlotXCenter = (r.Left + r.Right) / 2;
    PlotYCenter = (r.Top + r.Bottom) / 2;
}

void TCustomChartPanel::DrawBevels(const TRect &rect)
{
    TChartCanvas3D *c = FChartCanvas.get();
    c->Pen().SetStyle(TPenStyle::psSolid);
    c->Pen().SetWidth(1);
    c->Pen().SetMode(TPenMode::pmCopy);
    c->Brush().SetStyle(TBrushStyle::bsClear);
    TRect r = rect;
    auto bevel = [&](TPanelBevel kind) {
        if (kind == TPanelBevel::bvNone)
            return;
        const bool raised = kind == TPanelBevel::bvRaised;
        c->BevelFrame(r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, 1);
        r = TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    };
    bevel(BevelOuter);
    if (FBorderWidth > 0) {
        const int b = FBorderWidth;
        c->BevelFrame(r, FColor, FColor, b);
        r = TRect{r.Left + b, r.Top + b, r.Right - b, r.Bottom - b};
    }
    bevel(FBevelInner);
}

void TCustomChartPanel::ApplyFillStyle(TColor color, TBrushStyle style, TColor backColor)
{
    if (style != TBrushStyle::bsSolid && color == backColor)
        color = ColorToRGB(backColor) == clBlack ? clWhite : clBlack;
    TChartCanvas3D *c = FChartCanvas.get();
    c->Brush().SetBitmap(QImage());
    c->Brush().SetColor(color);
    c->Brush().SetStyle(style);
    c->GetDeviceHandle();
    if (style != TBrushStyle::bsSolid) {
        c->SetBackgroundMode(TBkMode::Opaque);
        c->SetBackgroundColor(ColorToRGB(backColor));
    } else {
        c->SetBackgroundMode(TBkMode::Transparent);
    }
}

void TCustomChartPanel::paintEvent(QPaintEvent *)
{
    FInPaint = true;
    if (FNeedsPaint) {
        FNeedsPaint = false;
        // A paint request draws through a fresh device.
        FWindowCanvas.ReleaseHandle();
        if (!FChartCanvas->ShowCachedFrame())
            PaintChart(&FWindowCanvas, TRect{0, 0, width(), height()});
    }
    FInPaint = false;
    QPainter p(this);
    p.drawImage(0, 0, FSurface);
}

void TCustomChartPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The kept frame has the old size: the next paint draws a new one.
    FChartCanvas->MarkDirty();
    if (FSurface.size() != size()) {
        QImage next(size(), QImage::Format_ARGB32_Premultiplied);
        next.fill(Qt::black);
        FSurface = next;
        FWindowCanvas.SetTarget(&FSurface);
    }
    FNeedsPaint = true;
}

void TCustomChartPanel::Loaded()
{
    if (FSavedCursorTaken)
        return;
    FSavedCursorTaken = true;
    SavedCursor = cursor().shape();
}

bool TCustomChartPanel::event(QEvent *event)
{
    // Polishing comes once the stored form has set every property.
    if (event->type() == QEvent::Polish)
        Loaded();
    return QWidget::event(event);
}

void TCustomChartPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FNeedsPaint = true;
}

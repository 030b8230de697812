#include "chart/ChartCanvas.h"

#include <QPainter>

void TChartCanvas::ApplyChartPen(const TChartPen &p)
{
    TPen &pen = Pen();
    if (!p.Visible()) {
        pen.SetStyle(TPenStyle::psClear);
        return;
    }
    if (p.SmallDots() && p.Width() == 1) {
        pen.SetColor(ColorToRGB(p.Color()));
        pen.SetWidth(1);
        pen.SetStyle(TPenStyle::psSolid);
        pen.AlternatePixels = true;
        return;
    }
    pen.AssignPen(p);
    pen.AlternatePixels = false;
}

int TChartCanvas::MeasureTextWidth(const QString &text)
{
    return FTarget ? FTarget->TextWidth(text) : 0;
}

int TChartCanvas::MeasureTextHeight(const QString &text)
{
    return FTarget ? FTarget->TextHeight(text) : 0;
}

TChartCanvas3D::TChartCanvas3D(TCanvas *windowCanvas)
{
    AttachTarget(windowCanvas);
}

TChartCanvas3D::~TChartCanvas3D() = default;

TColor TChartCanvas3D::GetBackgroundColor() { return GetDeviceHandle()->BkColor; }
TBkMode TChartCanvas3D::GetBackgroundMode() { return GetDeviceHandle()->BkMode; }
TDeviceContext *TChartCanvas3D::GetDeviceHandle() { return TargetCanvas()->Handle(); }

void TChartCanvas3D::SetBackgroundColor(TColor c) { GetDeviceHandle()->BkColor = ColorToRGB(c); }
void TChartCanvas3D::SetBackgroundMode(TBkMode m) { GetDeviceHandle()->BkMode = m; }

void TChartCanvas3D::SetMonochrome(bool v)
{
    if (v == FMonochrome)
        return;
    FMonochrome = v;
    FFrameBitmap.reset();
    FDirty = true;
    if (OnInvalidatePanel)
        OnInvalidatePanel();
}

unsigned TChartCanvas3D::GetTextAlignment() { return GetDeviceHandle()->TextAlign; }
void TChartCanvas3D::SetTextAlignment(unsigned flags) { GetDeviceHandle()->TextAlign = flags; }

void TChartCanvas3D::SetPixel(int x, int y, TColor c) { TargetCanvas()->SetPixel(x, y, ColorToRGB(c)); }

void TChartCanvas3D::SetBuffered(bool v)
{
    FBuffered = v;
    if (!v) {
        FFrameBitmap.reset();
        FDirty = true;
    }
}

void TChartCanvas3D::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    TargetCanvas()->Arc(x1, y1, x2, y2, x3, y3, x4, y4);
}

void TChartCanvas3D::DrawGraphic(int x, int y, const QImage &picture)
{
    if (picture.isNull() || picture.width() == 0)
        return;
    TDeviceContext *dc = GetDeviceHandle();
    dc->BkColor = ColorToRGB(Brush().Color());
    dc->TextColor = ColorToRGB(Font().Color());
    TargetCanvas()->Draw(x, y, picture);
}

void TChartCanvas3D::Ellipse(int x1, int y1, int x2, int y2) { TargetCanvas()->Ellipse(x1, y1, x2, y2); }
void TChartCanvas3D::FillRect(const TRect &r) { TargetCanvas()->FillRect(r); }

void TChartCanvas3D::BevelFrame(const TRect &r, TColor topLeft, TColor bottomRight, int width)
{
    TRect rc = r;
    TCanvas *c = TargetCanvas();
    const TColor keep = c->Pen().Color();
    for (int i = 0; i < width; ++i) {
        c->Pen().SetColor(topLeft);
        c->MoveTo(rc.Left, rc.Bottom - 1);
        c->LineTo(rc.Left, rc.Top);
        c->LineTo(rc.Right - 1, rc.Top);
        c->Pen().SetColor(bottomRight);
        c->LineTo(rc.Right - 1, rc.Bottom - 1);
        c->LineTo(rc.Left, rc.Bottom - 1);
        rc = TRect{rc.Left + 1, rc.Top + 1, rc.Right - 1, rc.Bottom - 1};
    }
    c->Pen().SetColor(keep);
}

void TChartCanvas3D::LineTo(int x, int y) { TargetCanvas()->LineTo(x, y); }
void TChartCanvas3D::MoveTo(int x, int y) { TargetCanvas()->MoveTo(x, y); }

void TChartCanvas3D::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    TargetCanvas()->Pie(x1, y1, x2, y2, x3, y3, x4, y4);
}

void TChartCanvas3D::Rectangle(int x1, int y1, int x2, int y2) { TargetCanvas()->Rectangle(x1, y1, x2, y2); }

void TChartCanvas3D::RoundRect(int x1, int y1, int x2, int y2, int cw, int ch)
{
    TargetCanvas()->RoundRect(x1, y1, x2, y2, cw, ch);
}

void TChartCanvas3D::StretchGraphic(const TRect &r, const QImage &picture)
{
    if (!picture.isNull())
        TargetCanvas()->StretchDraw(r, picture);
}

void TChartCanvas3D::TextOut(int x, int y, const QString &text) { TargetCanvas()->TextOut(x, y, text); }

void TChartCanvas3D::ClipToRect(const TRect &r)
{
    const TRegion region = TRegion::CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
    GetDeviceHandle()->SelectClipRgn(&region);
}

void TChartCanvas3D::HorizontalLine(int x1, int x2, int y) { Line(x1, y, x2, y); }
void TChartCanvas3D::DrawRect(const TRect &r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
void TChartCanvas3D::VerticalLine(int x, int y1, int y2) { Line(x, y1, x, y2); }
void TChartCanvas3D::FillBackground(const TRect &r) { FillRect(r); }

void TChartCanvas3D::GradientFill(const TRect &r, TColor start, TColor end, bool vertical)
{
    QImage *img = TargetCanvas()->Target();
    if (!img)
        return;
    QPainter p(img);
    QLinearGradient g(r.Left, r.Top, vertical ? r.Left : r.Right, vertical ? r.Bottom : r.Top);
    g.setColorAt(0, toQColor(start));
    g.setColorAt(1, toQColor(end));
    p.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), g);
}

void TChartCanvas3D::Line(int x1, int y1, int x2, int y2)
{
    MoveTo(x1, y1);
    LineTo(x2, y2);
}

void TChartCanvas3D::Polygon(const std::vector<QPoint> &points) { TargetCanvas()->Polygon(points); }

void TChartCanvas3D::RotatedTextOut(int x, int y, const QString &text, int angle)
{
    if (angle > 360)
        angle -= 360;
    Brush().SetStyle(TBrushStyle::bsClear);
    GetDeviceHandle();
    // The font is scaled with the 3D zoom only; a flat chart keeps its height.
    TargetCanvas()->TextOutRotated(x, y, text, angle * 10);
}

void TChartCanvas3D::RemoveClip() { GetDeviceHandle()->SelectClipRgn(nullptr); }

void TChartCanvas3D::ToChartCoordinates(int &, int &, int) {}

QPoint TChartCanvas3D::ToScreenCoordinates(int x, int y, int) { return QPoint(x, y); }

TRect TChartCanvas3D::BeginFrame(TCanvas *target, TView3DOptions *options, TColor, bool is3D, const TRect &frame)
{
    FFrameBounds = frame;
    F3DOptions = options;
    FIs3D = is3D;
    FIsOrthogonal = false;
    FZoomFactor = 1.0;
    if (FIs3D && F3DOptions) {
        FIsOrthogonal = F3DOptions->Orthogonal();
        FZoomFactor = F3DOptions->Zoom() * 0.01;
        ZoomText = F3DOptions->ZoomText();
    }
    if (!FBuffered) {
        AttachTarget(target);
        return frame;
    }
    const int w = frame.Width(), h = frame.Height();
    if (FFrameBitmap && (FFrameBitmap->Width() != w || FFrameBitmap->Height() != h))
        FFrameBitmap.reset();
    if (!FFrameBitmap) {
        FFrameBitmap = std::make_unique<TBitmap>();
        FFrameBitmap->SetSize(w, h);
        if (FMonochrome)
            FFrameBitmap->Image() = FFrameBitmap->Image().convertToFormat(QImage::Format_Mono).convertToFormat(QImage::Format_RGB32);
    }
    // A new frame starts on a fresh device: nothing selected into the last one survives.
    FFrameBitmap->Canvas().ReleaseHandle();
    FFrameBitmap->Canvas().OnChange = nullptr;
    AttachTarget(&FFrameBitmap->Canvas());
    return TRect{0, 0, w, h};
}

void TChartCanvas3D::SetProjection(int depth, const TRect &, const TRect &plot)
{
    FXCenter = (plot.Left + plot.Right) / 2;
    FYCenter = (plot.Top + plot.Bottom) / 2;
    FZCenter = depth / 2;
    FXCenterOffset = FXCenter;
    FYCenterOffset = FYCenter;
    if (F3DOptions) {
        FXCenterOffset += F3DOptions->HorizOffset();
        FYCenterOffset += F3DOptions->VertOffset();
        if (F3DOptions->Perspective() > 0)
            FPerspectiveFactor = F3DOptions->Perspective() * 0.01;
    }
}

void TChartCanvas3D::EndFrame(TCanvas *destination, TCanvas *defaultCanvas, const TRect &frame)
{
    if (FBuffered && FFrameBitmap) {
        destination->Draw(frame.Left, frame.Top, FFrameBitmap->Image());
        FDirty = false;
    }
    AttachTarget(defaultCanvas);
}

bool TChartCanvas3D::ShowCachedFrame()
{
    if (FDirty || !FFrameBitmap)
        return false;
    TargetCanvas()->Draw(0, 0, FFrameBitmap->Image());
    return true;
}

void TChartCanvas3D::RestoreDefaults()
{
    Pen().SetColor(clBlack);
    Pen().SetWidth(1);
    Pen().SetStyle(TPenStyle::psSolid);
    Pen().AlternatePixels = false;
    Brush().SetColor(clWhite);
    Brush().SetStyle(TBrushStyle::bsSolid);
    Brush().SetBitmap(QImage());
    Font().SetColor(clBlack);
    Font().SetSize(10);
    SetBackgroundColor(clWhite);
    SetBackgroundMode(TBkMode::Transparent);
}

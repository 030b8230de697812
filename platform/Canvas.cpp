#include "Canvas.h"

#include "GraphicsRaster.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

Qt::BrushStyle toQtHatch(TBrushStyle s)
{
    switch (s) {
    case TBrushStyle::bsHorizontal: return Qt::HorPattern;
    case TBrushStyle::bsVertical: return Qt::VerPattern;
    case TBrushStyle::bsFDiagonal: return Qt::FDiagPattern;
    case TBrushStyle::bsBDiagonal: return Qt::BDiagPattern;
    case TBrushStyle::bsCross: return Qt::CrossPattern;
    case TBrushStyle::bsDiagCross: return Qt::DiagCrossPattern;
    case TBrushStyle::bsSolid: return Qt::SolidPattern;
    case TBrushStyle::bsClear: return Qt::NoBrush;
    }
    return Qt::NoBrush;
}

Qt::PenStyle toQtPenStyle(TPenStyle s)
{
    switch (s) {
    case TPenStyle::psSolid:
    case TPenStyle::psInsideFrame: return Qt::SolidLine;
    case TPenStyle::psDash: return Qt::DashLine;
    case TPenStyle::psDot: return Qt::DotLine;
    case TPenStyle::psDashDot: return Qt::DashDotLine;
    case TPenStyle::psDashDotDot: return Qt::DashDotDotLine;
    case TPenStyle::psClear: return Qt::NoPen;
    }
    return Qt::SolidLine;
}

QPainter::CompositionMode toComposition(TPenMode m)
{
    switch (m) {
    case TPenMode::pmXor: return QPainter::RasterOp_SourceXorDestination;
    case TPenMode::pmNot: return QPainter::RasterOp_NotDestination;
    case TPenMode::pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    case TPenMode::pmMerge: return QPainter::RasterOp_SourceOrDestination;
    case TPenMode::pmMask: return QPainter::RasterOp_SourceAndDestination;
    case TPenMode::pmCopy: break;
    }
    return QPainter::CompositionMode_SourceOver;
}

// The box (x1, y1)-(x2, y2), right and bottom exclusive, as the path whose
// one-pixel outline covers exactly its first and last columns and rows.
QRectF outlineBox(int x1, int y1, int x2, int y2)
{
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    return QRectF(x1, y1, std::max(0, x2 - x1 - 1), std::max(0, y2 - y1 - 1));
}

// Every other pixel of an outline, taken in turn round the centre: what an
// alternate-pixel pen leaves of a curve.
TPixelSet AlternateAround(const TPixelSet &outline, QPoint centre)
{
    std::vector<QPoint> pts = outline.Points();
    std::vector<std::pair<double, QPoint>> byAngle;
    byAngle.reserve(pts.size());
    for (const QPoint &q : pts)
        byAngle.emplace_back(std::atan2(double(centre.y() - q.y()), double(q.x() - centre.x())), q);
    std::stable_sort(byAngle.begin(), byAngle.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    TPixelSet out(outline.Bounds());
    for (std::size_t k = 0; k < byAngle.size(); k += 2)
        out.Set(byAngle[k].second.x(), byAngle[k].second.y());
    return out;
}

// The pixels of a shape or an outline band that lie within a wedge.
TPixelSet WithinWedge(const TPixelSet &pixels, const TWedge &wedge)
{
    TPixelSet part(pixels.Bounds());
    pixels.ForEach([&](int x, int y) {
        if (wedge.Contains(x, y))
            part.Set(x, y);
    });
    return part;
}

// A wedge's arc: its part of the outline band, every other pixel for a dotted pen.
TPixelSet ArcPixels(const TPixelSet &band, const TWedge &wedge, bool alternate)
{
    const TPixelSet arc = WithinWedge(band, wedge);
    return alternate ? AlternateAround(arc, wedge.Centre()) : arc;
}

} // namespace

TCanvas::TCanvas(QImage *target) : FTarget(target)
{
    FBrush.OnChange = [this] { FBrushChanged = true; };
}

void TCanvas::SetTarget(QImage *target)
{
    FTarget = target;
    ReleaseHandle();
}

void TCanvas::ReleaseHandle()
{
    FDevice = TDeviceContext{};
    FBrushChanged = true;
}

TDeviceContext *TCanvas::Handle()
{
    if (OnDeviceUsed)
        OnDeviceUsed();
    FDevice.TextColor = ColorToRGB(FFont.Color());
    // A background set directly stands until the brush changes again.
    if (FBrushChanged) {
        FBrushChanged = false;
        if (FBrush.Style() == TBrushStyle::bsSolid && FBrush.Bitmap().isNull()) {
            FDevice.BkMode = TBkMode::Opaque;
            FDevice.BkColor = ColorToRGB(FBrush.Color());
        } else {
            FDevice.BkMode = TBkMode::Transparent;
        }
    }
    return &FDevice;
}

void TCanvas::Prepare(QPainter &p, bool withPen, bool withBrush)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    if (FDevice.Clip)
        p.setClipRegion(*FDevice.Clip);
    if (withPen && FPen.Style() != TPenStyle::psClear) {
        QPen pen(toQColor(FPen.Color()));
        pen.setWidth(std::max(1, FPen.Width()));
        if (FPen.AlternatePixels)
            pen.setDashPattern({1.0, 1.0});
        else
            pen.setStyle(toQtPenStyle(FPen.Style()));
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setCapStyle(Qt::SquareCap);
        p.setPen(pen);
        p.setCompositionMode(toComposition(FPen.Mode()));
    } else {
        p.setPen(Qt::NoPen);
    }
    if (!withBrush) {
        p.setBrush(Qt::NoBrush);
        return;
    }
    p.setBrushOrigin(0, 0);
    if (FBrush.Style() == TBrushStyle::bsClear) {
        // A clear brush paints nothing, whatever pattern bitmap it still holds.
        p.setBrush(Qt::NoBrush);
    } else if (!FBrush.Bitmap().isNull()) {
        p.setBrush(QBrush(FBrush.Bitmap()));
    } else {
        QBrush b(toQColor(FBrush.Color()), toQtHatch(FBrush.Style()));
        p.setBrush(b);
        if (FBrush.Style() != TBrushStyle::bsSolid && FBrush.Style() != TBrushStyle::bsClear
            && FDevice.BkMode == TBkMode::Opaque) {
            p.setBackgroundMode(Qt::OpaqueMode);
            p.setBackground(toQColor(FDevice.BkColor));
        }
    }
}

void TCanvas::FillAndStroke(QPainter &p, const QPainterPath &path)
{
    const QPen pen = p.pen();
    p.setPen(Qt::NoPen);
    p.drawPath(path);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void TCanvas::PaintPixels(const TPixelSet &pixels, bool withBrush)
{
    if (pixels.Empty())
        return;
    QPainter p(FTarget);
    Prepare(p, !withBrush, withBrush);
    QRegion area = pixels.ToRegion();
    if (FDevice.Clip)
        area &= *FDevice.Clip;
    p.setClipRegion(area);
    if (withBrush) {
        p.setPen(Qt::NoPen);
        p.drawRect(pixels.Bounds());
    } else {
        p.fillRect(pixels.Bounds(), p.pen().color());
    }
}

const TCanvas::TShapes &TCanvas::ShapesOf(int x1, int y1, int x2, int y2)
{
    TShapes &c = FShapes;
    const int pen = FPen.Width();
    if (c.X1 != x1 || c.Y1 != y1 || c.X2 != x2 || c.Y2 != y2 || c.PenWidth != pen) {
        c.X1 = x1;
        c.Y1 = y1;
        c.X2 = x2;
        c.Y2 = y2;
        c.PenWidth = pen;
        c.Shape = EllipsePixels(x1, y1, x2, y2);
        c.Outline = EllipseOutlinePixels(x1, y1, x2, y2, pen);
    }
    return c;
}

bool TCanvas::BrushPaints() const
{
    return FBrush.Style() != TBrushStyle::bsClear;
}

bool TCanvas::PenPaints() const
{
    return FPen.Style() != TPenStyle::psClear;
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    if (!FTarget)
        return;
    Handle();
    const TShapes &shapes = ShapesOf(x1, y1, x2, y2);
    if (BrushPaints())
        PaintPixels(shapes.Shape, true);
    if (PenPaints()) {
        TPixelSet outline = shapes.Outline;
        if (FPen.AlternatePixels)
            outline = AlternateAround(outline, QPoint((x1 + x2) / 2, (y1 + y2) / 2));
        PaintPixels(outline, false);
    }
    Changed();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    if (!FTarget)
        return;
    Handle();
    const TWedge wedge(x1, y1, x2, y2, QPoint(x3, y3), QPoint(x4, y4));
    const TShapes &shapes = ShapesOf(x1, y1, x2, y2);
    const TPixelSet &shape = shapes.Shape;
    if (BrushPaints())
        PaintPixels(WithinWedge(shape, wedge), true);
    if (!PenPaints()) {
        Changed();
        return;
    }
    const TPixelSet &band = shapes.Outline;
    PaintPixels(ArcPixels(band, wedge, FPen.AlternatePixels), false);
    if (!wedge.Whole()) {
        // The radial edges run from the centre along the two rays to the rim.
        TPixelSet edges(band.Bounds().united(shape.Bounds()));
        const int half = (FPen.Width() - 1) / 2;
        for (const QPoint &through : {QPoint(x3, y3), QPoint(x4, y4)}) {
            const std::vector<QPoint> ray = RayPixels(wedge.Centre(), through, shape);
            for (std::size_t k = 0; k < ray.size(); ++k) {
                if (FPen.AlternatePixels && k % 2 != 0)
                    continue;
                for (int oy = -half; oy < FPen.Width() - half; ++oy)
                    for (int ox = -half; ox < FPen.Width() - half; ++ox)
                        edges.Set(ray[k].x() + ox, ray[k].y() + oy);
            }
        }
        PaintPixels(edges, false);
    }
    Changed();
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    if (!FTarget || !PenPaints())
        return;
    Handle();
    const TWedge wedge(x1, y1, x2, y2, QPoint(x3, y3), QPoint(x4, y4));
    PaintPixels(ArcPixels(EllipseOutlinePixels(x1, y1, x2, y2, FPen.Width()), wedge, FPen.AlternatePixels), false);
    Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    if (!FTarget)
        return;
    Handle();
    QPainterPath path;
    path.addRect(outlineBox(x1, y1, x2, y2));
    QPainter p(FTarget);
    Prepare(p, true, true);
    // The fill covers the whole box, edges excluded on the right and bottom.
    const QPen pen = p.pen();
    p.setPen(Qt::NoPen);
    p.drawRect(QRect(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)));
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.end();
    Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int cw, int ch)
{
    if (!FTarget)
        return;
    Handle();
    QPainterPath path;
    path.addRoundedRect(outlineBox(x1, y1, x2, y2), cw / 2.0, ch / 2.0);
    QPainter p(FTarget);
    Prepare(p, true, true);
    FillAndStroke(p, path);
    p.end();
    Changed();
}

void TCanvas::FillRect(const TRect &r)
{
    if (!FTarget || r.Width() <= 0 || r.Height() <= 0)
        return;
    Handle();
    QPainter p(FTarget);
    Prepare(p, false, true);
    p.drawRect(QRect(r.Left, r.Top, r.Width(), r.Height()));
    p.end();
    Changed();
}

void TCanvas::FrameRect(const TRect &r)
{
    if (!FTarget || r.Width() <= 0 || r.Height() <= 0)
        return;
    Handle();
    QPainter p(FTarget);
    Prepare(p, false, false);
    const QColor c = toQColor(FBrush.Color());
    p.fillRect(QRect(r.Left, r.Top, r.Width(), 1), c);
    p.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), c);
    p.fillRect(QRect(r.Left, r.Top, 1, r.Height()), c);
    p.fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), c);
    p.end();
    Changed();
}

void TCanvas::LineTo(int x, int y)
{
    if (!FTarget)
        return;
    Handle();
    if (FPen.AlternatePixels && PenPaints()) {
        // One pixel on, one off, from the start; the end point is not drawn.
        const std::vector<QPoint> line = LinePixels(FPenPos, QPoint(x, y));
        QRect bounds = QRect(FPenPos, QPoint(x, y)).normalized();
        TPixelSet dots(bounds);
        for (std::size_t k = 0; k + 1 < line.size(); k += 2)
            dots.Set(line[k].x(), line[k].y());
        PaintPixels(dots, false);
        FPenPos = QPoint(x, y);
        Changed();
        return;
    }
    QPainter p(FTarget);
    Prepare(p, true, false);
    QPen pen = p.pen();
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(FPenPos, QPoint(x, y));
    p.end();
    FPenPos = QPoint(x, y);
    Changed();
}

void TCanvas::Polygon(const std::vector<QPoint> &points)
{
    if (!FTarget || points.empty())
        return;
    Handle();
    QPainterPath path;
    path.moveTo(points.front());
    for (std::size_t i = 1; i < points.size(); ++i)
        path.lineTo(points[i]);
    path.closeSubpath();
    QPainter p(FTarget);
    Prepare(p, true, true);
    FillAndStroke(p, path);
    p.end();
    Changed();
}

void TCanvas::SetPixel(int x, int y, TColor c)
{
    if (!FTarget || !FTarget->rect().contains(x, y))
        return;
    if (FDevice.Clip && !FDevice.Clip->contains(QPoint(x, y)))
        return;
    FTarget->setPixelColor(x, y, toQColor(c));
    Changed();
}

TColor TCanvas::Pixel(int x, int y) const
{
    if (!FTarget || !FTarget->rect().contains(x, y))
        return clNone;
    return fromQColor(FTarget->pixelColor(x, y));
}

void TCanvas::TextOut(int x, int y, const QString &text)
{
    TextOutRotated(x, y, text, 0);
}

void TCanvas::TextOutRotated(int x, int y, const QString &text, int escapement)
{
    if (!FTarget)
        return;
    Handle();
    QPainter p(FTarget);
    Prepare(p, false, false);
    const QFont f = FFont.ToQFont();
    p.setFont(f);
    const QFontMetrics fm(f);
    p.translate(x, y);
    if (escapement != 0)
        p.rotate(-escapement / 10.0);
    // The reference point is placed along the text's own direction.
    const int width = fm.horizontalAdvance(text);
    const unsigned horizontal = FDevice.TextAlign & TA_CENTER;
    const unsigned vertical = FDevice.TextAlign & TA_BASELINE;
    const int left = horizontal == TA_CENTER ? -width / 2 : horizontal == TA_RIGHT ? -width : 0;
    const int top = vertical == TA_BASELINE ? -fm.ascent() : vertical == TA_BOTTOM ? -fm.height() : 0;
    if (FDevice.BkMode == TBkMode::Opaque)
        p.fillRect(QRect(left, top, width, fm.height()), toQColor(FDevice.BkColor));
    p.setPen(toQColor(FDevice.TextColor));
    p.drawText(left, top + fm.ascent(), text);
    p.end();
    Changed();
}

int TCanvas::TextWidth(const QString &text) const
{
    return QFontMetrics(FFont.ToQFont()).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString &) const
{
    return QFontMetrics(FFont.ToQFont()).height();
}

void TCanvas::Draw(int x, int y, const QImage &image, std::optional<TColor> transparentKey)
{
    if (!FTarget || image.isNull())
        return;
    QPainter p(FTarget);
    if (FDevice.Clip)
        p.setClipRegion(*FDevice.Clip);
    if (transparentKey) {
        QImage src = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = toQColor(*transparentKey).rgb() | 0xFF000000u;
        for (int row = 0; row < src.height(); ++row) {
            auto *line = reinterpret_cast<QRgb *>(src.scanLine(row));
            for (int col = 0; col < src.width(); ++col)
                line[col] = (line[col] | 0xFF000000u) == key ? 0u : (line[col] | 0xFF000000u);
        }
        p.drawImage(x, y, src);
    } else {
        p.drawImage(x, y, image.convertToFormat(QImage::Format_RGB32));
    }
    p.end();
    Changed();
}

void TCanvas::StretchDraw(const TRect &r, const QImage &image)
{
    if (!FTarget || image.isNull())
        return;
    QPainter p(FTarget);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (FDevice.Clip)
        p.setClipRegion(*FDevice.Clip);
    p.drawImage(QRect(r.Left, r.Top, r.Width(), r.Height()), image);
    p.end();
    Changed();
}

void TBitmap::SetSize(int w, int h)
{
    if (w == FImage.width() && h == FImage.height())
        return;
    QImage next(std::max(0, w), std::max(0, h), QImage::Format_RGB32);
    next.fill(Qt::white);
    FImage = next;
    FCanvas.SetTarget(&FImage);
}

void TBitmap::Assign(const QImage &image)
{
    FImage = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
    FCanvas.SetTarget(&FImage);
}

TColor TBitmap::LowerLeftColor() const
{
    if (Empty() || FImage.height() == 0)
        return clNone;
    return fromQColor(FImage.pixelColor(0, FImage.height() - 1));
}

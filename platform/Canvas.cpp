#include "platform/Canvas.h"

#include "platform/GraphicsRaster.h"

#include <QFontMetrics>
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
TRuns AlternateAround(const TRuns &outline, QPoint centre)
{
    const std::vector<QPoint> pts = PointsOf(outline);
    std::vector<std::pair<double, QPoint>> byAngle;
    byAngle.reserve(pts.size());
    for (const QPoint &q : pts)
        byAngle.emplace_back(std::atan2(double(centre.y() - q.y()), double(q.x() - centre.x())), q);
    std::stable_sort(byAngle.begin(), byAngle.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<QPoint> kept;
    kept.reserve(byAngle.size() / 2 + 1);
    for (std::size_t k = 0; k < byAngle.size(); k += 2)
        kept.push_back(byAngle[k].second);
    return RunsOfPoints(std::move(kept));
}

// A wedge's arc: its part of the outline band, every other pixel for a dotted pen.
TRuns ArcRuns(const TRuns &band, const TWedge &wedge, bool alternate)
{
    TRuns arc = wedge.Within(band);
    return alternate ? AlternateAround(arc, wedge.Centre()) : arc;
}

bool Is32Bit(const QImage &image)
{
    const QImage::Format f = image.format();
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied;
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

bool TCanvas::WriteRuns(const TRuns &runs, QColor colour)
{
    // An opaque colour copied onto a 32-bit picture without a clip region, at
    // its own scale, is the colour's value in every pixel: written straight.
    if (FDevice.Clip || !Is32Bit(*FTarget) || FTarget->devicePixelRatio() != 1 || colour.alpha() != 255)
        return false;
    const QRgb value = colour.rgba();
    const int w = FTarget->width(), h = FTarget->height();
    for (const TRun &r : runs) {
        if (r.Y < 0 || r.Y >= h)
            continue;
        auto *line = reinterpret_cast<QRgb *>(FTarget->scanLine(r.Y));
        std::fill(line + std::clamp(r.Left, 0, w), line + std::clamp(r.Right, 0, w), value);
    }
    return true;
}

void TCanvas::PaintRuns(const TRuns &runs, QColor colour)
{
    if (runs.empty() || WriteRuns(runs, colour))
        return;
    QPainter p(FTarget);
    Prepare(p, false, false);
    QRegion area = RegionOf(runs);
    if (FDevice.Clip)
        area &= *FDevice.Clip;
    p.setClipRegion(area);
    p.fillRect(BoundsOf(runs), colour);
}

void TCanvas::PaintRuns(const TRuns &runs, bool withBrush)
{
    if (runs.empty())
        return;
    const bool solid = withBrush ? FBrush.Style() == TBrushStyle::bsSolid && FBrush.Bitmap().isNull()
                                 : FPen.Mode() == TPenMode::pmCopy;
    if (solid && WriteRuns(runs, toQColor(withBrush ? FBrush.Color() : FPen.Color())))
        return;
    QPainter p(FTarget);
    Prepare(p, !withBrush, withBrush);
    QRegion area = RegionOf(runs);
    if (FDevice.Clip)
        area &= *FDevice.Clip;
    p.setClipRegion(area);
    const QRect bounds = BoundsOf(runs);
    if (withBrush) {
        p.setPen(Qt::NoPen);
        p.drawRect(bounds);
    } else {
        p.fillRect(bounds, p.pen().color());
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
        c.ShapeRuns = RunsOf(c.Shape);
        const TPixelSet outline = EllipseOutlinePixels(x1, y1, x2, y2, pen);
        c.OutlineRuns = RunsOf(outline);
        c.OutlineBox = outline.Bounds();
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
        PaintRuns(shapes.ShapeRuns, true);
    if (PenPaints())
        PaintRuns(FPen.AlternatePixels ? AlternateAround(shapes.OutlineRuns, QPoint((x1 + x2) / 2, (y1 + y2) / 2))
                                       : shapes.OutlineRuns,
                  false);
    Changed();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    if (!FTarget)
        return;
    Handle();
    // Each step works on the wedge's own rows and runs, never the whole box: a
    // pie of many slices costs about what its pixels do.
    const TWedge wedge(x1, y1, x2, y2, QPoint(x3, y3), QPoint(x4, y4));
    const TShapes &shapes = ShapesOf(x1, y1, x2, y2);
    if (BrushPaints())
        PaintRuns(wedge.Within(shapes.ShapeRuns), true);
    if (!PenPaints()) {
        Changed();
        return;
    }
    PaintRuns(ArcRuns(shapes.OutlineRuns, wedge, FPen.AlternatePixels), false);
    if (!wedge.Whole())
        PaintRuns(EdgeRuns(shapes, wedge, {QPoint(x3, y3), QPoint(x4, y4)}), false);
    Changed();
}

TRuns TCanvas::EdgeRuns(const TShapes &shapes, const TWedge &wedge, std::initializer_list<QPoint> rays) const
{
    // The radial edges run from the centre along the two rays to the rim, each
    // pixel widened to the pen's square, within the box of the shape and its band.
    const QRect within = shapes.OutlineBox.united(shapes.Shape.Bounds());
    const int width = FPen.Width(), half = (width - 1) / 2;
    std::vector<QPoint> pixels;
    for (const QPoint &through : rays) {
        const std::vector<QPoint> ray = RayPixels(wedge.Centre(), through, shapes.Shape);
        for (std::size_t k = 0; k < ray.size(); ++k) {
            if (FPen.AlternatePixels && k % 2 != 0)
                continue;
            for (int oy = -half; oy < width - half; ++oy)
                for (int ox = -half; ox < width - half; ++ox)
                    if (within.contains(ray[k].x() + ox, ray[k].y() + oy))
                        pixels.emplace_back(ray[k].x() + ox, ray[k].y() + oy);
        }
    }
    return RunsOfPoints(std::move(pixels));
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    if (!FTarget || !PenPaints())
        return;
    Handle();
    const TWedge wedge(x1, y1, x2, y2, QPoint(x3, y3), QPoint(x4, y4));
    PaintRuns(ArcRuns(ShapesOf(x1, y1, x2, y2).OutlineRuns, wedge, FPen.AlternatePixels), false);
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
        std::vector<QPoint> dots;
        for (std::size_t k = 0; k + 1 < line.size(); k += 2)
            dots.push_back(line[k]);
        PaintRuns(RunsOfPoints(std::move(dots)), false);
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
    if (!FTarget)
        return;
    Handle();
    DrawText(x, y, text, 0);
    Changed();
}

void TCanvas::TextOutRotated(int x, int y, const QString &text, int escapement)
{
    if (!FTarget)
        return;
    Handle();
    // Kept ink is in the picture's own pixels: a picture drawn on at another
    // scale takes the text through the font engine every time.
    if (FDevice.BkMode == TBkMode::Opaque || FTarget->devicePixelRatio() != 1) {
        DrawText(x, y, text, escapement);
        Changed();
        return;
    }
    const TTextInk::TPlace place{text, FFont.ToQFont(), QPoint(x, y), FDevice.TextAlign, FTarget->size()};
    const TTextInk::TInk *ink = FTextInk.Find(place, escapement);
    if (!ink)
        ink = &FTextInk.Keep(place, escapement, InkOf(place, escapement));
    if (*ink)
        PaintRuns(**ink, toQColor(FDevice.TextColor));
    else
        DrawText(x, y, text, escapement);
    Changed();
}

void TCanvas::LayText(QPainter &p, QPoint at, const QString &text, int escapement, bool opaque, QColor colour) const
{
    const QFont f = FFont.ToQFont();
    p.setFont(f);
    const QFontMetrics fm(f);
    p.translate(at);
    if (escapement != 0)
        p.rotate(-escapement / 10.0);
    // The reference point is placed along the text's own direction.
    const int width = fm.horizontalAdvance(text);
    const unsigned horizontal = FDevice.TextAlign & TA_CENTER;
    const unsigned vertical = FDevice.TextAlign & TA_BASELINE;
    const int left = horizontal == TA_CENTER ? -width / 2 : horizontal == TA_RIGHT ? -width : 0;
    const int top = vertical == TA_BASELINE ? -fm.ascent() : vertical == TA_BOTTOM ? -fm.height() : 0;
    if (opaque)
        p.fillRect(QRect(left, top, width, fm.height()), toQColor(FDevice.BkColor));
    p.setPen(colour);
    p.drawText(left, top + fm.ascent(), text);
}

void TCanvas::DrawText(int x, int y, const QString &text, int escapement)
{
    QPainter p(FTarget);
    Prepare(p, false, false);
    LayText(p, QPoint(x, y), text, escapement, FDevice.BkMode == TBkMode::Opaque, toQColor(FDevice.TextColor));
}

TTextInk::TInk TCanvas::InkOf(const TTextInk::TPlace &place, int escapement)
{
    // Drawn alone on a transparent picture of the target's size, with the
    // target's settings but no clip: the pixels it covers are its ink.
    QImage &scratch = FInkScratch;
    if (scratch.size() != place.Target)
        scratch = QImage(place.Target, QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    QPainter p(&scratch);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    LayText(p, place.At, place.Text, escapement, false, Qt::white);
    p.end();
    TRuns ink;
    const int w = scratch.width(), h = scratch.height();
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(scratch.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            // Most of the picture is empty: eight empty pixels are passed at once.
            if (x + 8 <= w && (line[x] | line[x + 1] | line[x + 2] | line[x + 3] | line[x + 4] | line[x + 5]
                               | line[x + 6] | line[x + 7]) == 0) {
                x += 7;
                continue;
            }
            const int alpha = qAlpha(line[x]);
            if (alpha == 0)
                continue;
            if (alpha != 255)
                return std::nullopt; // blended edges: only the font engine draws them
            if (!ink.empty() && ink.back().Y == y && ink.back().Right == x)
                ++ink.back().Right;
            else
                ink.push_back(TRun{y, x, x + 1});
        }
    }
    return ink;
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

#include "chart/PieSeries.h"

#include "chart/ChartCanvas.h"

#include <cmath>

namespace {
int roundEven(double v)
{
    return int(std::nearbyint(v));
}
} // namespace

TPieSeries::TPieSeries(QObject *owner)
    : TCircledSeries(owner), FPiePen([this] { RequestRepaint(); }), FOtherSlice([this] { RequestRepaint(); })
{
    XValues().Name = QString();
    YValues().Name = QStringLiteral("Sectoriel ");
    SetColorEachPointDefault(true);
    Marks.Visible = true;
    Marks.ArrowLength = 8;
}

void TPieSeries::SetDark3D(bool v)
{
    if (v != FDark3D) {
        FDark3D = v;
        RequestRepaint();
    }
}

void TPieSeries::SetExplodeBiggest(int v)
{
    if (v != FExplodeBiggest) {
        FExplodeBiggest = v;
        RequestRepaint();
    }
    ExplodeLargest();
}

void TPieSeries::SetUsePatterns(bool v)
{
    if (v != FUsePatterns) {
        FUsePatterns = v;
        RequestRepaint();
    }
}

int TPieSeries::ExplodeOf(int i) const
{
    return i >= 0 && std::size_t(i) < ExplodedSlices.size() ? ExplodedSlices[std::size_t(i)] : 0;
}

void TPieSeries::SetExplode(int i, int percent)
{
    if (i < 0)
        return;
    if (ExplodedSlices.size() <= std::size_t(i))
        ExplodedSlices.resize(std::size_t(i) + 1, 0);
    if (ExplodedSlices[std::size_t(i)] != percent) {
        ExplodedSlices[std::size_t(i)] = percent;
        RequestRepaint();
    }
}

TBrushStyle TPieSeries::PatternFor(int i)
{
    static constexpr TBrushStyle patterns[] = {TBrushStyle::bsHorizontal, TBrushStyle::bsVertical,
        TBrushStyle::bsFDiagonal, TBrushStyle::bsBDiagonal, TBrushStyle::bsCross, TBrushStyle::bsDiagCross};
    return patterns[i % 6];
}

void TPieSeries::ClearStorage()
{
    TCircledSeries::ClearStorage();
    ExplodedSlices.clear();
    // The angles were another pie's: until the next pass no slice answers.
    FSliceEnds.clear();
}

void TPieSeries::PrepareForDrawing()
{
    // This runs inside a drawing pass: the changes below must not ask for another.
    ++FSuppressRepaint;
    struct Restore {
        int &n;
        ~Restore() { --n; }
    } restore{FSuppressRepaint};

    if (PieValues().Order != TChartListOrder::loNone)
        PieValues().SortByOrder();
    for (int i = 0; i < PointCount(); ++i) {
        if (XValues().ValueAt(i) == OtherSliceX) {
            DeletePoint(i);
            break;
        }
    }
    XValues().Renumber();
    if (FOtherSlice.Style() == TPieOtherStyle::poNone || !(PieValues().AbsSum() > 0))
        return;
    const double absSum = PieValues().AbsSum();
    double s = 0;
    for (int i = 0; i < PointCount(); ++i) {
        double v = PieValues().ValueAt(i);
        if (FOtherSlice.Style() == TPieOtherStyle::poBelowPercent)
            v = v * 100.0 / absSum;
        if (v < FOtherSlice.Value()) {
            s += PieValues().ValueAt(i);
            XValues().SetValueAt(i, GroupedX);
        }
    }
    if (s != 0) {
        AddPointXY(OtherSliceX, s, FOtherSlice.Text().toStdString(), clAutoColor);
        PieValues().OverwriteAbsSum(PieValues().AbsSum() - s);
    }
}

void TPieSeries::ComputeSliceAngles()
{
    const double total = PieValues().AbsSum();
    const double step = total == 0 ? 0.0 : TwoPi / total;
    FSliceEnds.resize(std::size_t(PointCount()));
    double acc = 0, from = 0;
    for (int i = 0; i < PointCount(); ++i) {
        double to = TwoPi;
        if (total != 0) {
            if (!IsGrouped(i))
                acc += std::fabs(YValueAt(i));
            // The last counted point ends exactly at a full turn, whatever the sum's rounding.
            to = acc == total ? TwoPi : acc * step;
            if (to - from > TwoPi)
                to = from + TwoPi;
        }
        FSliceEnds[std::size_t(i)] = to;
        from = to;
    }
}

TSliceAngles TPieSeries::SliceAnglesOf(int i) const
{
    TSliceAngles a;
    a.FromAngle = i == 0 ? 0.0 : FSliceEnds[std::size_t(i - 1)];
    a.ToAngle = FSliceEnds[std::size_t(i)];
    a.CenterAngle = (a.FromAngle + a.ToAngle) * 0.5;
    return a;
}

QPoint TPieSeries::ExplodeOffset(int i) const
{
    const int e = ExplodeOf(i);
    if (!AnyExploded || e <= 0 || i >= SliceCount())
        return QPoint(0, 0);
    const double a = SliceAnglesOf(i).CenterAngle + RotationRadians();
    const double f = e * 0.01;
    return QPoint(roundEven(RadiusX * f * std::cos(a)), roundEven(RadiusY * f * std::sin(a)));
}

std::optional<QPoint> TPieSeries::SliceMiddlePoint(int i) const
{
    if (i < 0 || i >= PointCount() || i >= SliceCount())
        return std::nullopt;
    const double a = SliceAnglesOf(i).CenterAngle + RotationRadians();
    const QPoint d = ExplodeOffset(i);
    return QPoint(CenterX + roundEven(std::cos(a) * RadiusX * 0.5) + d.x(),
                  CenterY - roundEven(std::sin(a) * RadiusY * 0.5) - d.y());
}

void TPieSeries::ExplodeLargest()
{
    if (FExplodeBiggest <= 0)
        return;
    const int i = PieValues().IndexOfValue(PieValues().Maximum());
    if (i != -1)
        SetExplode(i, FExplodeBiggest);
}

void TPieSeries::DrawAllPoints()
{
    if (FExplodeBiggest > 0) {
        ++FSuppressRepaint;
        ExplodeLargest();
        --FSuppressRepaint;
    }
    int best = 0, idx = -1;
    for (int i = 0; i < PointCount(); ++i) {
        if (ExplodeOf(i) > best) {
            best = ExplodeOf(i);
            idx = i;
        }
    }
    ComputeSliceAngles();
    AnyExploded = idx != -1;
    if (AnyExploded) {
        const QPoint d = ExplodeOffset(idx);
        const int hx = std::abs(d.x()) / 2, hy = std::abs(d.y()) / 2;
        CircleBounds = TRect{CircleBounds.Left + hx, CircleBounds.Top + hy, CircleBounds.Right - hx,
                             CircleBounds.Bottom - hy};
        NormalizeBounds();
        ApplyRadii();
    }
    const QPoint start = PointOfAngle(0);
    ArcStartX = start.x();
    ArcStartY = start.y();
    for (int i = 0; i < PointCount(); ++i)
        DrawPoint(i);
}

void TPieSeries::DrawPoint(int i)
{
    if (BoundsWidth <= 4 || BoundsHeight <= 4)
        return;
    if (IsGrouped(i))
        return;
    const TBrushStyle style = FUsePatterns ? PatternFor(i) : TBrushStyle::bsSolid;
    if (ParentChart())
        ParentChart()->ApplyFillStyle(ColorAt(i), style, ResolvedBackColor());
    DrawSlice(i);
}

void TPieSeries::DrawSlice(int i)
{
    TChartCanvas3D *canvas = ParentChart() ? ParentChart()->ChartCanvas() : nullptr;
    if (!canvas)
        return;
    canvas->ApplyChartPen(FPiePen);
    const QPoint d = ExplodeOffset(i);
    const TSliceAngles a = SliceAnglesOf(i);
    const QPoint end = PointOfAngle(a.ToAngle);
    ArcEndX = end.x();
    ArcEndY = end.y();
    // A slice too thin to move the end point by a pixel is skipped rather than
    // drawn as a whole ellipse; a slice of a whole turn is drawn.
    const bool draw = ArcStartX != ArcEndX || ArcStartY != ArcEndY || PointCount() == 1
                      || (PointCount() > 1 && a.ToAngle - a.FromAngle > 1.0);
    if (!draw)
        return;
    const TRect &b = CircleBounds;
    canvas->Pie(b.Left + d.x(), b.Top - d.y(), b.Right + d.x(), b.Bottom - d.y(), ArcStartX + d.x(),
                ArcStartY - d.y(), ArcEndX + d.x(), ArcEndY - d.y());
    ArcStartX = ArcEndX;
    ArcStartY = ArcEndY;
}

int TPieSeries::LegendToValueIndex(int legendIndex) const
{
    int counted = -1;
    for (int i = 0; i < PointCount(); ++i) {
        if (!IsGrouped(i)) {
            ++counted;
            if (counted == legendIndex)
                return i;
        }
    }
    return legendIndex;
}

int TPieSeries::ValueIndexAt(int x, int y)
{
    if (const int base = TCircledSeries::ValueIndexAt(x, y); base != -1)
        return base;
    if (ParentChart() && ParentChart()->ChartCanvas())
        ParentChart()->ChartCanvas()->ToChartCoordinates(x, y, 0);
    const double a = AngleOfPoint(x, y);
    // Points added since the last drawing pass have no angles yet: not hit.
    const int n = std::min(PointCount(), SliceCount());
    for (int i = 0; i < n; ++i) {
        const QPoint d = ExplodeOffset(i);
        const TSliceAngles s = SliceAnglesOf(i);
        if (std::abs(x - CenterX) < RadiusX + d.x() && std::abs(y - CenterY) < RadiusY + d.y() && s.FromAngle <= a
            && a <= s.ToAngle)
            return i;
    }
    return -1;
}

void TPieSeries::SwapPoints(int a, int b)
{
    TCircledSeries::SwapPoints(a, b);
    if (ExplodedSlices.size() < std::size_t(PointCount()))
        ExplodedSlices.resize(std::size_t(PointCount()), 0);
    std::swap(ExplodedSlices[std::size_t(a)], ExplodedSlices[std::size_t(b)]);
}

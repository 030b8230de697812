#include "platform/GraphicsRaster.h"

#include <algorithm>
#include <cstdlib>

TPixelSet::TPixelSet(const QRect &bounds)
    : FBounds(bounds.isValid() ? bounds : QRect()), FLeft(FBounds.left()), FTop(FBounds.top()),
      FWidth(FBounds.isValid() ? FBounds.width() : 0), FHeight(FBounds.isValid() ? FBounds.height() : 0),
      FBits(std::size_t(FWidth) * std::size_t(FHeight), 0)
{
}

void TPixelSet::Set(int x, int y, bool on)
{
    const unsigned dx = unsigned(x - FLeft), dy = unsigned(y - FTop);
    if (dx < unsigned(FWidth) && dy < unsigned(FHeight))
        FBits[std::size_t(dy) * std::size_t(FWidth) + dx] = on ? 1 : 0;
}

int TPixelSet::Count() const
{
    return int(std::count(FBits.begin(), FBits.end(), std::uint8_t(1)));
}

std::vector<QPoint> TPixelSet::Points() const
{
    std::vector<QPoint> out;
    std::size_t k = 0;
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x, ++k)
            if (FBits[k])
                out.emplace_back(FLeft + x, FTop + y);
    return out;
}

QRegion TPixelSet::ToRegion() const
{
    return RegionOf(RunsOf(*this));
}

TRuns RunsOf(const TPixelSet &pixels)
{
    TRuns runs;
    const QRect &b = pixels.Bounds();
    for (int y = b.top(); y <= b.bottom(); ++y) {
        int x = b.left();
        while (x <= b.right()) {
            if (!pixels.Contains(x, y)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x <= b.right() && pixels.Contains(x, y))
                ++x;
            runs.push_back(TRun{y, start, x});
        }
    }
    return runs;
}

TRuns RunsOfPoints(std::vector<QPoint> points)
{
    std::sort(points.begin(), points.end(), [](QPoint a, QPoint b) {
        return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x();
    });
    TRuns runs;
    for (const QPoint &p : points) {
        if (!runs.empty() && runs.back().Y == p.y() && runs.back().Right >= p.x()) {
            runs.back().Right = std::max(runs.back().Right, p.x() + 1);
            continue;
        }
        runs.push_back(TRun{p.y(), p.x(), p.x() + 1});
    }
    return runs;
}

std::vector<QPoint> PointsOf(const TRuns &runs)
{
    std::vector<QPoint> out;
    for (const TRun &r : runs)
        for (int x = r.Left; x < r.Right; ++x)
            out.emplace_back(x, r.Y);
    return out;
}

QRect BoundsOf(const TRuns &runs)
{
    if (runs.empty())
        return QRect();
    int left = runs.front().Left, right = runs.front().Right;
    for (const TRun &r : runs) {
        left = std::min(left, r.Left);
        right = std::max(right, r.Right);
    }
    return QRect(left, runs.front().Y, right - left, runs.back().Y - runs.front().Y + 1);
}

QRegion RegionOf(const TRuns &runs)
{
    // Rectangles of one row each, in row order then left to right: the banded
    // order a region is built from in one step.
    std::vector<QRect> rects;
    rects.reserve(runs.size());
    for (const TRun &r : runs)
        rects.emplace_back(r.Left, r.Y, r.Right - r.Left, 1);
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    return region;
}

TPixelSet TPixelSet::Minus(const TPixelSet &other) const
{
    TPixelSet out = *this;
    std::size_t k = 0;
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x, ++k)
            if (out.FBits[k] && other.Contains(FLeft + x, FTop + y))
                out.FBits[k] = 0;
    return out;
}

TPixelSet TPixelSet::Boundary() const
{
    TPixelSet out(FBounds);
    std::size_t k = 0;
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x, ++k)
            if (FBits[k]
                && (x == 0 || !FBits[k - 1] || x == FWidth - 1 || !FBits[k + 1] || y == 0
                    || !FBits[k - std::size_t(FWidth)] || y == FHeight - 1 || !FBits[k + std::size_t(FWidth)]))
                out.FBits[k] = 1;
    return out;
}

TPixelSet EllipsePixels(int x1, int y1, int x2, int y2)
{
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    const std::int64_t w = x2 - x1, h = y2 - y1;
    if (w <= 0 || h <= 0)
        return TPixelSet();
    TPixelSet out(QRect(x1, y1, int(w), int(h)));
    // Doubled coordinates keep the test exact: the centre (x1 + x2) / 2 and the
    // pixel centres i + 0.5 are both whole numbers there.
    const std::int64_t limit = w * w * h * h;
    for (int j = y1; j < y2; ++j) {
        const std::int64_t dy = 2 * std::int64_t(j) + 1 - (y1 + y2);
        const std::int64_t rowTerm = dy * dy * w * w;
        if (rowTerm > limit)
            continue;
        for (int i = x1; i < x2; ++i) {
            const std::int64_t dx = 2 * std::int64_t(i) + 1 - (x1 + x2);
            if (dx * dx * h * h + rowTerm <= limit)
                out.Set(i, j);
        }
    }
    return out;
}

TPixelSet EllipseOutlinePixels(int x1, int y1, int x2, int y2, int penWidth)
{
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    if (penWidth <= 1)
        return EllipsePixels(x1, y1, x2, y2).Boundary();
    const int grow = penWidth / 2;
    const int ox1 = x1 - grow, oy1 = y1 - grow, ox2 = x2 + grow, oy2 = y2 + grow;
    const TPixelSet outer = EllipsePixels(ox1, oy1, ox2, oy2);
    if (ox2 - ox1 <= 2 * penWidth || oy2 - oy1 <= 2 * penWidth)
        return outer;
    return outer.Minus(EllipsePixels(ox1 + penWidth, oy1 + penWidth, ox2 - penWidth, oy2 - penWidth));
}

namespace {
std::int64_t cross(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by)
{
    return ax * by - ay * bx;
}

// Beyond any column a picture can have: stands for no bound.
constexpr std::int64_t kUnbounded = std::int64_t(1) << 40;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) // b > 0
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The whole numbers x with a + b * x >= 0, as a closed range (From > To when none).
struct TRange {
    std::int64_t From = -kUnbounded, To = kUnbounded;
};
TRange atLeastZero(std::int64_t a, std::int64_t b)
{
    if (b == 0)
        return a >= 0 ? TRange{} : TRange{1, 0};
    if (b > 0)
        return TRange{-floorDiv(a, b), kUnbounded}; // x >= ceil(-a / b)
    return TRange{-kUnbounded, floorDiv(a, -b)};
}
TRange both(TRange p, TRange q)
{
    return TRange{std::max(p.From, q.From), std::min(p.To, q.To)};
}
} // namespace

TWedge::TWedge(int x1, int y1, int x2, int y2, QPoint r3, QPoint r4)
    : FCx2(std::int64_t(x1) + x2), FCy2(std::int64_t(y1) + y2)
{
    // Screen y grows downwards; the rays are kept with y growing upwards so that
    // a positive cross product means a counter-clockwise turn on screen.
    FUx = 2 * std::int64_t(r3.x()) - FCx2;
    FUy = FCy2 - 2 * std::int64_t(r3.y());
    FWx = 2 * std::int64_t(r4.x()) - FCx2;
    FWy = FCy2 - 2 * std::int64_t(r4.y());
    const std::int64_t c = cross(FUx, FUy, FWx, FWy);
    const std::int64_t d = FUx * FWx + FUy * FWy;
    FWhole = c == 0 && d >= 0;
    FReflex = c < 0;
    FCentre = QPoint(int(FCx2 >= 0 ? FCx2 / 2 : (FCx2 - 1) / 2), int(FCy2 >= 0 ? FCy2 / 2 : (FCy2 - 1) / 2));
}

bool TWedge::Contains(int x, int y) const
{
    if (FWhole)
        return true;
    const std::int64_t qx = 2 * std::int64_t(x) - FCx2, qy = FCy2 - 2 * std::int64_t(y);
    if (qx == 0 && qy == 0)
        return true;
    if (!FReflex)
        return cross(FUx, FUy, qx, qy) >= 0 && cross(qx, qy, FWx, FWy) >= 0;
    // More than half a turn: everything but the inside of the turn from r4 on to r3.
    return !(cross(FWx, FWy, qx, qy) > 0 && cross(qx, qy, FUx, FUy) > 0);
}

TWedge::TColumns TWedge::Row(int y) const
{
    TColumns out;
    auto add = [&out](std::int64_t from, std::int64_t to) {
        if (from <= to) {
            out.From[out.Count] = from;
            out.To[out.Count] = to;
            ++out.Count;
        }
    };
    if (FWhole) {
        add(-kUnbounded, kUnbounded);
        return out;
    }
    // Along a row, with qx = 2x - cx2, cross(P, q) = Px * qy + Py * cx2 - 2 Py x:
    // each side of the wedge keeps the columns on one side of a bound.
    const std::int64_t qy = FCy2 - 2 * std::int64_t(y);
    auto side = [&](std::int64_t px, std::int64_t py, bool reversed, bool strict) {
        std::int64_t a = px * qy + py * FCx2, b = -2 * py;
        if (reversed) {
            a = -a;
            b = -b;
        }
        return atLeastZero(strict ? a - 1 : a, b);
    };
    if (!FReflex) {
        const TRange in = both(side(FUx, FUy, false, false), side(FWx, FWy, true, false));
        add(in.From, in.To);
        return out;
    }
    // Everything but the columns strictly inside the turn from r4 on to r3.
    const TRange out3 = both(side(FWx, FWy, false, true), side(FUx, FUy, true, true));
    if (out3.From > out3.To) {
        add(-kUnbounded, kUnbounded);
        return out;
    }
    add(-kUnbounded, out3.From - 1);
    add(out3.To + 1, kUnbounded);
    return out;
}

TRuns TWedge::Within(const TRuns &runs) const
{
    TRuns out;
    int rowY = 0;
    TColumns row;
    bool haveRow = false;
    for (const TRun &r : runs) {
        if (!haveRow || r.Y != rowY) {
            row = Row(r.Y);
            rowY = r.Y;
            haveRow = true;
        }
        // Disjoint runs and ranges both left to right: the pieces stay in order.
        for (int k = 0; k < row.Count; ++k) {
            const std::int64_t from = std::max<std::int64_t>(r.Left, row.From[k]);
            const std::int64_t to = std::min<std::int64_t>(r.Right - 1, row.To[k]);
            if (from <= to)
                out.push_back(TRun{r.Y, int(from), int(to) + 1});
        }
    }
    return out;
}

namespace {
// Step k of the straight line from a to b: the pixel nearest to the exact
// line there, halves away from a, each step one pixel along the longer axis.
class TLineSteps {
public:
    TLineSteps(QPoint a, QPoint b)
        : FA(a), FDx(std::abs(b.x() - a.x())), FDy(std::abs(b.y() - a.y())), FSx(b.x() >= a.x() ? 1 : -1),
          FSy(b.y() >= a.y() ? 1 : -1)
    {
    }
    int Count() const { return std::max(FDx, FDy) + 1; }
    QPoint At(int k) const
    {
        if (FDx >= FDy)
            return QPoint(FA.x() + FSx * k, FA.y() + FSy * int((2LL * k * FDy + FDx) / (2LL * std::max(FDx, 1))));
        return QPoint(FA.x() + FSx * int((2LL * k * FDx + FDy) / (2LL * FDy)), FA.y() + FSy * k);
    }

private:
    QPoint FA;
    int FDx, FDy, FSx, FSy;
};
} // namespace

std::vector<QPoint> LinePixels(QPoint a, QPoint b)
{
    const TLineSteps line(a, b);
    std::vector<QPoint> out;
    out.reserve(std::size_t(line.Count()));
    for (int k = 0; k < line.Count(); ++k)
        out.push_back(line.At(k));
    return out;
}

std::vector<QPoint> RayPixels(QPoint centre, QPoint through, const TPixelSet &shape)
{
    std::vector<QPoint> out;
    QPoint d = through - centre;
    if (d.isNull())
        return out;
    // Continue the line by whole multiples of its step so that it still passes
    // exactly through the given point, and far enough to leave the shape.
    const QRect b = shape.Bounds();
    const int reach = b.width() + b.height() + std::abs(centre.x() - b.left()) + std::abs(centre.y() - b.top()) + 2;
    const int len = std::max(std::abs(d.x()), std::abs(d.y()));
    const int k = std::max(1, (reach + len - 1) / len);
    const TLineSteps line(centre, centre + d * k);
    for (int step = 0; step < line.Count(); ++step) {
        const QPoint p = line.At(step);
        if (!shape.Contains(p))
            break;
        out.push_back(p);
    }
    return out;
}

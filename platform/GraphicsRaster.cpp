#include "GraphicsRaster.h"

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

bool TPixelSet::Empty() const
{
    return std::none_of(FBits.begin(), FBits.end(), [](std::uint8_t b) { return b != 0; });
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
    // Runs of one row each, in row order then left to right: the banded order a
    // region is built from in one step.
    std::vector<QRect> runs;
    for (int y = FBounds.top(); y <= FBounds.bottom(); ++y) {
        int x = FBounds.left();
        while (x <= FBounds.right()) {
            if (!Contains(x, y)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x <= FBounds.right() && Contains(x, y))
                ++x;
            runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion region;
    region.setRects(runs.data(), int(runs.size()));
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

std::vector<QPoint> LinePixels(QPoint a, QPoint b)
{
    std::vector<QPoint> out;
    const int dx = std::abs(b.x() - a.x()), dy = std::abs(b.y() - a.y());
    const int sx = b.x() >= a.x() ? 1 : -1, sy = b.y() >= a.y() ? 1 : -1;
    const int steps = std::max(dx, dy);
    out.reserve(std::size_t(steps) + 1);
    for (int k = 0; k <= steps; ++k) {
        // The pixel nearest to the exact line at this step, halves away from a.
        const int along = k;
        int x, y;
        if (dx >= dy) {
            x = a.x() + sx * along;
            y = a.y() + sy * int((2LL * along * dy + dx) / (2LL * std::max(dx, 1)));
        } else {
            y = a.y() + sy * along;
            x = a.x() + sx * int((2LL * along * dx + dy) / (2LL * dy));
        }
        out.emplace_back(x, y);
    }
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
    for (const QPoint &p : LinePixels(centre, centre + d * k)) {
        if (!shape.Contains(p))
            break;
        out.push_back(p);
    }
    return out;
}

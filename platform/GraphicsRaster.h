#pragma once
// Which pixels a shape covers. Filling, outlining and clip regions all take
// their pixels from here, so an elliptic region and a filled ellipse of the
// same box can never disagree by a pixel.
//
// Boxes are (x1, y1, x2, y2) with the right and bottom edges excluded. A pixel
// (i, j) belongs to an ellipse when its centre (i + 0.5, j + 0.5) lies inside
// the ellipse inscribed in the box: the box's first and last columns and rows
// are reached, and the result is symmetric about the box's middle.
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <vector>

// One row's run of pixels: columns Left to Right, Right excluded.
struct TRun {
    int Y = 0, Left = 0, Right = 0;
};
// Pixels as runs, row after row and left to right within a row, each pixel
// once: a shape kept this way costs its rows, not its whole box.
using TRuns = std::vector<TRun>;

class TPixelSet;
TRuns RunsOf(const TPixelSet &pixels);
// Runs of points given in any order; a point given twice is one pixel.
TRuns RunsOfPoints(std::vector<QPoint> points);
// Every pixel of the runs, in their order.
std::vector<QPoint> PointsOf(const TRuns &runs);
// The smallest rectangle holding every run; empty for no run.
QRect BoundsOf(const TRuns &runs);
QRegion RegionOf(const TRuns &runs);

class TPixelSet {
public:
    TPixelSet() = default;
    // An empty set that can hold the pixels of bounds.
    explicit TPixelSet(const QRect &bounds);
    const QRect &Bounds() const { return FBounds; }
    bool Contains(int x, int y) const
    {
        const unsigned dx = unsigned(x - FLeft), dy = unsigned(y - FTop);
        return dx < unsigned(FWidth) && dy < unsigned(FHeight)
               && FBits[std::size_t(dy) * std::size_t(FWidth) + dx] != 0;
    }
    bool Contains(QPoint p) const { return Contains(p.x(), p.y()); }
    // Ignored outside the bounds.
    void Set(int x, int y, bool on = true);
    int Count() const;
    // Every member, row by row, left to right.
    std::vector<QPoint> Points() const;
    // The members as a region made of row runs.
    QRegion ToRegion() const;
    // Members of this set that are not members of other.
    TPixelSet Minus(const TPixelSet &other) const;
    // Members with at least one of their four neighbours outside the set:
    // a closed outline one pixel thin.
    TPixelSet Boundary() const;

private:
    QRect FBounds;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    std::vector<std::uint8_t> FBits;
};

// The ellipse inscribed in the box; empty when the box has no width or height.
TPixelSet EllipsePixels(int x1, int y1, int x2, int y2);

// The outline of the ellipse of the box drawn with a pen of the given width,
// centred on the ellipse's edge: one pixel thin inside the fill for width 1;
// otherwise the band reaches width / 2 pixels beyond the box.
TPixelSet EllipseOutlinePixels(int x1, int y1, int x2, int y2, int penWidth);

// The wedge test of a pie: whether pixel p lies on the counter-clockwise turn
// (on screen) from the ray through r3 to the ray through r4, both rays and the
// centre of the box included. The centre is the box's middle in pixel
// coordinates, ((x1 + x2) / 2, (y1 + y2) / 2), kept exact at halves.
class TWedge {
public:
    TWedge(int x1, int y1, int x2, int y2, QPoint r3, QPoint r4);
    // Both points give the same ray: the wedge is the whole turn.
    bool Whole() const { return FWhole; }
    bool Contains(int x, int y) const;
    // The columns of row y that Contains accepts, found without testing them
    // one by one: at most two closed ranges, left to right.
    struct TColumns {
        int Count = 0;
        std::int64_t From[2] = {}, To[2] = {};
    };
    TColumns Row(int y) const;
    // The pixels of the runs that the wedge contains, in the runs' order.
    TRuns Within(const TRuns &runs) const;
    // The pixel the radial edges start from.
    QPoint Centre() const { return FCentre; }

private:
    std::int64_t FCx2 = 0, FCy2 = 0; // doubled centre
    std::int64_t FUx = 0, FUy = 0, FWx = 0, FWy = 0; // doubled rays, y up
    bool FWhole = false;
    bool FReflex = false;
    QPoint FCentre;
};

// The pixels of a straight line from a to b, both ends included, each step
// moving one pixel along the longer axis.
std::vector<QPoint> LinePixels(QPoint a, QPoint b);

// The radial edge of a pie: the line from centre towards through, continued
// until it leaves the shape; only the pixels inside the shape.
std::vector<QPoint> RayPixels(QPoint centre, QPoint through, const TPixelSet &shape);

#include "chart/CircledSeries.h"

#include "chart/ChartErrors.h"
#include "chart/View3DOptions.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {
// Rounds halves to the even neighbour, as every pixel position of the chart does.
int roundEven(double v)
{
    return int(std::nearbyint(v));
}
int uhalf(int a, int b)
{
    return int((std::uint32_t(a) + std::uint32_t(b)) >> 1);
}
} // namespace

TCircledSeries::TCircledSeries(QObject *owner) : TChartSeries(owner)
{
    XValues().Name = QStringLiteral("Angle ");
}

template <typename F> void TCircledSeries::ForSameClassSeries(F f)
{
    if (!ParentChart())
        return;
    for (int i = 0; i < ParentChart()->SeriesCount(); ++i) {
        TChartSeries *s = ParentChart()->SeriesAt(i);
        if (s != this && SharesClassWith(s))
            f(static_cast<TCircledSeries *>(s));
    }
}

bool TCircledSeries::SharesClassWith(const TChartSeries *other) const
{
    // This series' class is the other's or derives from it.
    return dynamic_cast<const TCircledSeries *>(other) != nullptr && metaObject()->inherits(other->metaObject());
}

void TCircledSeries::SetCircled(bool v)
{
    if (v != FCircled) {
        FCircled = v;
        RequestRepaint();
    }
    ForSameClassSeries([v](TCircledSeries *s) {
        if (s->FCircled != v) {
            s->FCircled = v;
            s->RequestRepaint();
        }
    });
}

void TCircledSeries::SetRotationAngle(int degrees)
{
    if (degrees < 0)
        throw PieException(QStringLiteral("L'angle %1 doit être compris entre 0 et 359 degrés").arg(QStringLiteral("Rotation")));
    degrees %= 360;
    if (degrees != FRotationAngle) {
        FRotationAngle = degrees;
        RequestRepaint();
    }
    FRotationRadians = FRotationAngle * PiStep;
}

void TCircledSeries::SetCustomXRadius(int v)
{
    if (v != FCustomXRadius) {
        FCustomXRadius = v;
        RequestRepaint();
    }
    ForSameClassSeries([v](TCircledSeries *s) {
        if (s->FCustomXRadius != v) {
            s->FCustomXRadius = v;
            s->RequestRepaint();
        }
    });
}

void TCircledSeries::SetCustomYRadius(int v)
{
    if (v != FCustomYRadius) {
        FCustomYRadius = v;
        RequestRepaint();
    }
    ForSameClassSeries([v](TCircledSeries *s) {
        if (s->FCustomYRadius != v) {
            s->FCustomYRadius = v;
            s->RequestRepaint();
        }
    });
}

void TCircledSeries::SetCircleBackColor(TColor c)
{
    if (c != FCircleBackColor) {
        FCircleBackColor = c;
        RequestRepaint();
    }
}

void TCircledSeries::SetParentChart(IChartParent *chart)
{
    TChartSeries::SetParentChart(chart);
    if (chart && !chart->IsDestroying())
        ApplyChartLook();
}

void TCircledSeries::SetActive(bool v)
{
    TChartSeries::SetActive(v);
    if (v && ParentChart() && !ParentChart()->IsDestroying())
        ApplyChartLook();
}

void TCircledSeries::ApplyChartLook()
{
    IChartParent *c = ParentChart();
    if (!c || c->IsDestroying())
        return;
    c->SetAxisVisible(false);
    c->SetClipPoints(false);
    c->SetView3DWalls(false);
    if (c->IsFullChart()) {
        c->SetFrameVisible(false);
        c->SetBackWallBrushStyle(TBrushStyle::bsClear);
        c->SetAllowZoom(false);
        c->SetAllowPanning(TPanningMode::pmNone);
    }
    TView3DOptions &o = c->View3DOptions();
    o.SetOrthogonal(false);
    o.SetRotation(360);
    o.SetElevation(315);
    o.SetPerspective(0);
    o.SetTilt(0);
}

void TCircledSeries::BeginDrawPoints()
{
    TChartSeries::BeginDrawPoints();
    CircleBounds = ParentChart() ? ParentChart()->PlotRect() : TRect{};
    NormalizeBounds();
    if (FCircled)
        AdjustCircleToScreen();
    ApplyRadii();
}

void TCircledSeries::NormalizeBounds()
{
    TRect &b = CircleBounds;
    if ((b.Right - b.Left) % 2 != 0)
        b.Right -= 1;
    if ((b.Bottom - b.Top) % 2 != 0)
        b.Bottom -= 1;
    if (b.Right - b.Left < 4)
        b.Right = b.Left + 4;
    if (b.Bottom - b.Top < 4)
        b.Bottom = b.Top + 4;
    BoundsWidth = b.Right - b.Left;
    BoundsHeight = b.Bottom - b.Top;
    CenterX = uhalf(b.Left, b.Right);
    CenterY = uhalf(b.Top, b.Bottom);
}

void TCircledSeries::ApplyRadii()
{
    if (FCustomXRadius != 0) {
        RadiusX = FCustomXRadius;
        BoundsWidth = 2 * FCustomXRadius;
    } else {
        RadiusX = int(std::uint32_t(BoundsWidth) >> 1);
    }
    if (FCustomYRadius != 0) {
        RadiusY = FCustomYRadius;
        BoundsHeight = 2 * FCustomYRadius;
    } else {
        RadiusY = int(std::uint32_t(BoundsHeight) >> 1);
    }
    CircleBounds = TRect{CenterX - RadiusX, CenterY - RadiusY, CenterX + RadiusX, CenterY + RadiusY};
}

// Makes the ellipse a circle on a screen whose pixels are not square.
void TCircledSeries::AdjustCircleToScreen()
{
    double ratio = 1.0;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize px = screen->size();
        if (px.height() > 0)
            ratio = double(px.width()) / px.height();
        const QSizeF mm = screen->physicalSize();
        if (mm.height() != 0 && mm.width() / mm.height() != 0)
            ratio = ratio / (mm.width() / mm.height());
    }
    ApplyRadii();
    TRect &b = CircleBounds;
    if (RadiusX > roundEven(RadiusY * ratio)) {
        const int d = RadiusX - roundEven(RadiusY * ratio);
        b.Left += d;
        b.Right -= d;
    } else {
        const int d = RadiusY - roundEven(RadiusX / ratio);
        b.Top += d;
        b.Bottom -= d;
    }
    NormalizeBounds();
}

QPoint TCircledSeries::PointOfAngle(double a) const
{
    return QPoint(CenterX + roundEven(std::cos(a + FRotationRadians) * RadiusX),
                  CenterY - roundEven(std::sin(a + FRotationRadians) * RadiusY));
}

double TCircledSeries::AngleOfPoint(int x, int y) const
{
    double a;
    if (x == CenterX)
        a = y > CenterY ? -HalfPi : HalfPi;
    else if (RadiusX == 0 || RadiusY == 0)
        a = 0;
    else
        a = std::atan2(double(CenterY - y) / RadiusY, double(x - CenterX) / RadiusX);
    if (a < 0)
        a += TwoPi;
    a -= FRotationRadians;
    if (a < 0)
        a += TwoPi;
    return a;
}

TColor TCircledSeries::ResolvedBackColor() const
{
    TColor c = FCircleBackColor;
    if (c == clAutoColor && ParentChart())
        c = ParentChart()->BackColor();
    if (c == clAutoColor && ParentChart())
        c = ParentChart()->Color();
    return c;
}

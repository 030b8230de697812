#pragma once
// A series drawn inside an ellipse fitted into the chart's plot rectangle; it
// keeps the centre, radii and rotation that drawing and hit testing share.
#include "chart/ChartSeries.h"

class TCircledSeries : public TChartSeries {
    Q_OBJECT
public:
    static constexpr double TwoPi = 6.283185307179586;
    static constexpr double HalfPi = 1.5707963267948966;
    static constexpr double PiStep = 0.017453292519943295;

    explicit TCircledSeries(QObject *owner = nullptr);

    bool Circled() const { return FCircled; }
    void SetCircled(bool v);
    int RotationAngle() const { return FRotationAngle; }
    // Raises PieException for a negative angle; any other is taken modulo 360.
    void SetRotationAngle(int degrees);
    double RotationRadians() const { return FRotationRadians; }
    int CustomXRadius() const { return FCustomXRadius; }
    int CustomYRadius() const { return FCustomYRadius; }
    void SetCustomXRadius(int v);
    void SetCustomYRadius(int v);
    TColor CircleBackColor() const { return FCircleBackColor; }
    void SetCircleBackColor(TColor c);

    int RadiusX = 0, RadiusY = 0;
    int BoundsWidth = 0, BoundsHeight = 0;
    int CenterX = 0, CenterY = 0;
    TRect CircleBounds;

    void SetParentChart(IChartParent *chart) override;
    void SetActive(bool v) override;
    void BeginDrawPoints() override;

    // Evens out and floors the bounds at 4 pixels, then takes size and centre.
    void NormalizeBounds();
    // Radii from the custom values or the bounds; the bounds follow the radii.
    void ApplyRadii();
    // The point of the ellipse at angle a (radians, counter-clockwise from three o'clock).
    QPoint PointOfAngle(double a) const;
    // The angle of a pixel about the centre in [0, 2 pi), rotation taken off.
    double AngleOfPoint(int x, int y) const;
    // Switches off the chart features a round series has no use for.
    void ApplyChartLook();
    // The colour behind hatched slices.
    TColor ResolvedBackColor() const;

protected:
    // True when the other series is round too and this series' class is the
    // other's class or derives from it: such series take the circle settings.
    // Classes are told apart by their meta-object, so each declares Q_OBJECT.
    bool SharesClassWith(const TChartSeries *other) const;

private:
    void AdjustCircleToScreen();
    template <typename F> void ForSameClassSeries(F f);

    bool FCircled = false;
    int FRotationAngle = 0;
    double FRotationRadians = 0.0;
    int FCustomXRadius = 0, FCustomYRadius = 0;
    TColor FCircleBackColor = clAutoColor;
};

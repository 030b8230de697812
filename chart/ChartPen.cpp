#include "chart/ChartPen.h"

TChartPen::TChartPen(std::function<void()> ownerChanged) : FOwnerChanged(std::move(ownerChanged)) {}

void TChartPen::Changed()
{
    TPen::Changed();
    if (FOwnerChanged)
        FOwnerChanged();
}

void TChartPen::SetVisible(bool v)
{
    if (v != FVisible) {
        FVisible = v;
        Changed();
    }
}

void TChartPen::SetSmallDots(bool v)
{
    if (v != FSmallDots) {
        FSmallDots = v;
        Changed();
    }
}

void TChartPen::Assign(const TChartPen &other)
{
    const bool flagsDiffer = FVisible != other.FVisible || FSmallDots != other.FSmallDots;
    FVisible = other.FVisible;
    FSmallDots = other.FSmallDots;
    const bool penDiffers = Color() != other.Color() || Mode() != other.Mode() || Style() != other.Style()
                            || Width() != other.Width();
    if (penDiffers)
        AssignPen(other);
    else if (flagsDiffer)
        Changed();
}

TChartHiddenPen::TChartHiddenPen(std::function<void()> ownerChanged)
{
    SetVisible(false);
    Listen(std::move(ownerChanged));
}

TDottedGrayPen::TDottedGrayPen(std::function<void()> ownerChanged)
{
    SetColor(clGray);
    SetStyle(TPenStyle::psDot);
    Listen(std::move(ownerChanged));
}

TDarkGrayPen::TDarkGrayPen(std::function<void()> ownerChanged)
{
    SetColor(clGray);
    Listen(std::move(ownerChanged));
}

TChartArrowPen::TChartArrowPen(std::function<void()> ownerChanged)
{
    SetColor(clWhite);
    Listen(std::move(ownerChanged));
}

TChartAxisPen::TChartAxisPen(std::function<void()> ownerChanged)
{
    SetWidth(2);
    Listen(std::move(ownerChanged));
}

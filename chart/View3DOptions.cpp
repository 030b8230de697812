#include "chart/View3DOptions.h"

void TView3DOptions::SetHorizOffset(int v)
{
    if (v == FHorizOffset)
        return;
    Set(FHorizOffset, v);
    if (OnScrolled)
        OnScrolled(true);
}

void TView3DOptions::SetVertOffset(int v)
{
    if (v == FVertOffset)
        return;
    Set(FVertOffset, v);
    if (OnScrolled)
        OnScrolled(false);
}

void TView3DOptions::SetZoom(int v)
{
    if (v == FZoom)
        return;
    if (OnZoomChanging)
        OnZoomChanging(v);
    Set(FZoom, v);
}

void TView3DOptions::Assign(const TView3DOptions &other)
{
    FElevation = other.FElevation;
    FHorizOffset = other.FHorizOffset;
    FOrthogonal = other.FOrthogonal;
    FPerspective = other.FPerspective;
    FRotation = other.FRotation;
    FTilt = other.FTilt;
    FVertOffset = other.FVertOffset;
    FZoom = other.FZoom;
    FZoomText = other.FZoomText;
}

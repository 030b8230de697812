#pragma once
// The 3D view settings of a chart panel. A flat chart never reads them, but
// they belong to its stored configuration and a change still repaints.
#include <functional>

class TView3DOptions {
public:
    // ownerInvalidate repaints the owning panel after any change.
    explicit TView3DOptions(std::function<void()> ownerInvalidate = {}) : FInvalidate(std::move(ownerInvalidate)) {}

    int Elevation() const { return FElevation; }
    int HorizOffset() const { return FHorizOffset; }
    bool Orthogonal() const { return FOrthogonal; }
    int Perspective() const { return FPerspective; }
    int Rotation() const { return FRotation; }
    int Tilt() const { return FTilt; }
    int VertOffset() const { return FVertOffset; }
    int Zoom() const { return FZoom; }
    bool ZoomText() const { return FZoomText; }

    void SetElevation(int v) { Set(FElevation, v); }
    void SetHorizOffset(int v);
    void SetOrthogonal(bool v) { Set(FOrthogonal, v); }
    void SetPerspective(int v) { Set(FPerspective, v); }
    void SetRotation(int v) { Set(FRotation, v); }
    void SetTilt(int v) { Set(FTilt, v); }
    void SetVertOffset(int v);
    void SetZoom(int v);
    void SetZoomText(bool v) { Set(FZoomText, v); }
    // Copies all nine values without notifications.
    void Assign(const TView3DOptions &other);

    // Called after HorizOffset (true) or VertOffset (false) changes.
    std::function<void(bool horizontal)> OnScrolled;
    // Called with the new value before Zoom changes.
    std::function<void(int newZoom)> OnZoomChanging;

private:
    template <typename T> void Set(T &field, T v)
    {
        if (field == v)
            return;
        field = v;
        if (FInvalidate)
            FInvalidate();
    }

    std::function<void()> FInvalidate;
    int FElevation = 345;
    int FHorizOffset = 0;
    bool FOrthogonal = true;
    int FPerspective = 15;
    int FRotation = 345;
    int FTilt = 0;
    int FVertOffset = 0;
    int FZoom = 100;
    bool FZoomText = true;
};

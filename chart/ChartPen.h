#pragma once
// Chart pens: the platform pen plus a visibility flag and the alternate-pixel
// style; setting either to a new value calls the owner's change callback.
#include "platform/Graphics.h"

#include <functional>

class TChartPen : public TPen {
public:
    explicit TChartPen(std::function<void()> ownerChanged = {});
    bool Visible() const { return FVisible; }
    bool SmallDots() const { return FSmallDots; }
    void SetVisible(bool v);
    void SetSmallDots(bool v);
    // Copies Visible and SmallDots, then the platform pen attributes.
    void Assign(const TChartPen &other);

protected:
    void Changed() override;
    // Subclasses set their defaults first, then start telling the owner.
    void Listen(std::function<void()> ownerChanged) { FOwnerChanged = std::move(ownerChanged); }

private:
    std::function<void()> FOwnerChanged;
    bool FVisible = true;
    bool FSmallDots = false;
};

class TChartHiddenPen : public TChartPen {
public:
    explicit TChartHiddenPen(std::function<void()> ownerChanged = {});
};

class TDottedGrayPen : public TChartPen {
public:
    explicit TDottedGrayPen(std::function<void()> ownerChanged = {});
};

class TDarkGrayPen : public TChartPen {
public:
    explicit TDarkGrayPen(std::function<void()> ownerChanged = {});
};

class TChartArrowPen : public TChartPen {
public:
    explicit TChartArrowPen(std::function<void()> ownerChanged = {});
};

class TChartAxisPen : public TChartPen {
public:
    explicit TChartAxisPen(std::function<void()> ownerChanged = {});
};

#pragma once
// Background gradient and back image, zoom and panning switches, and the
// after-draw event. Gradient, image, zoom and panning stay off in this program
// but keep their settings.
#include "chart/ChartPanel.h"

struct TChartGradient {
    bool Visible = false;
    TColor StartColor = clWhite;
    TColor EndColor = clYellow;
    bool Vertical = true;
};

// A zoom rubber band or a panning drag: an active flag and two corners.
struct TZoomPanningRecord {
    bool Active = false;
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    void Activate(int x, int y)
    {
        Active = true;
        X0 = X1 = x;
        Y0 = Y1 = y;
    }
};

class TCustomChartPanelExtended : public TCustomChartPanel {
    Q_OBJECT
public:
    explicit TCustomChartPanelExtended(QWidget *parent = nullptr);

    TChartGradient Gradient;
    QImage BackImage;
    bool BackImageInside = false;
    bool AllowZoom = true;
    TPanningMode AllowPanning = TPanningMode::pmBoth;
    bool AnimatedZoom = false;
    TZoomPanningRecord Zoom;
    TZoomPanningRecord Panning;

    // Raised as the last step of every frame, with the frame still the target.
    TNotifyEvent OnAfterDraw;
    TNotifyEvent OnZoom;
    TNotifyEvent OnUndoZoom;
    TNotifyEvent OnScroll;

    void SetAllowZoom(bool v) override { AllowZoom = v; }
    void SetAllowPanning(TPanningMode m) override { AllowPanning = m; }

    virtual void DrawBackImage(const TRect &rect);
    virtual void FillPanelBackground(const TRect &rect);
    virtual void DrawPanelBackground(const TRect &rect);
};

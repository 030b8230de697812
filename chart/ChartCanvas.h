#pragma once
// The one object through which everything drawn on a chart goes: frames are
// built off-screen and copied in one block; outside a frame it draws on the
// panel's window canvas. In a flat chart the 3D projection is the identity.
#include "platform/Canvas.h"
#include "chart/ChartPen.h"
#include "chart/View3DOptions.h"

#include <functional>
#include <memory>
#include <vector>

class TChartCanvas {
public:
    virtual ~TChartCanvas() = default;

    // The canvas drawn on now; not owned.
    TCanvas *TargetCanvas() const { return FTarget; }
    // The target's own pen, brush and font: changing them changes the target's.
    TPen &Pen() { return FTarget->Pen(); }
    TBrush &Brush() { return FTarget->Brush(); }
    TFont &Font() { return FTarget->Font(); }
    void AttachTarget(TCanvas *target) { FTarget = target; }
    // Loads a chart pen into the canvas pen.
    void ApplyChartPen(const TChartPen &p);

    virtual TColor GetBackgroundColor() = 0;
    virtual TBkMode GetBackgroundMode() = 0;
    virtual TDeviceContext *GetDeviceHandle() = 0;
    virtual bool GetMonochrome() const = 0;
    virtual bool GetBuffered() const = 0;
    // The device's text alignment: TA_* flags.
    virtual unsigned GetTextAlignment() = 0;
    virtual void SetTextAlignment(unsigned flags) = 0;
    virtual void SetBackgroundColor(TColor c) = 0;
    virtual void SetBackgroundMode(TBkMode m) = 0;
    virtual void SetMonochrome(bool v) = 0;
    virtual void SetPixel(int x, int y, TColor c) = 0;
    virtual void SetBuffered(bool v) = 0;
    virtual void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) = 0;
    virtual void DrawGraphic(int x, int y, const QImage &picture) = 0;
    virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
    virtual void FillRect(const TRect &r) = 0;
    virtual void BevelFrame(const TRect &r, TColor topLeft, TColor bottomRight, int width) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) = 0;
    virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
    virtual void RoundRect(int x1, int y1, int x2, int y2, int cw, int ch) = 0;
    virtual void StretchGraphic(const TRect &r, const QImage &picture) = 0;
    virtual void TextOut(int x, int y, const QString &text) = 0;
    // Width and height of the text in the current font; 0 when it cannot be measured.
    int MeasureTextWidth(const QString &text);
    int MeasureTextHeight(const QString &text);
    virtual void ClipToRect(const TRect &r) = 0;
    virtual void HorizontalLine(int x1, int x2, int y) = 0;
    virtual void DrawRect(const TRect &r) = 0;
    virtual void VerticalLine(int x, int y1, int y2) = 0;
    virtual void FillBackground(const TRect &r) = 0;
    virtual void GradientFill(const TRect &r, TColor start, TColor end, bool vertical) = 0;
    virtual void MarkDirty() = 0;
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
    virtual void Polygon(const std::vector<QPoint> &points) = 0;
    // Text turned counter-clockwise by angle degrees about its top-left corner.
    virtual void RotatedTextOut(int x, int y, const QString &text, int angle) = 0;
    virtual void RemoveClip() = 0;

private:
    TCanvas *FTarget = nullptr;
};

class TCanvas3D : public TChartCanvas {
public:
    // Never true for this canvas: panels take no free-rotation path.
    virtual bool SupportsFullRotation() const { return false; }
    virtual void ToChartCoordinates(int &x, int &y, int depth) = 0;
    virtual QPoint ToScreenCoordinates(int x, int y, int depth) = 0;
    virtual TRect BeginFrame(TCanvas *target, TView3DOptions *options, TColor backColor, bool is3D, const TRect &frame) = 0;
    virtual void SetProjection(int depth, const TRect &whole, const TRect &plot) = 0;
    virtual void EndFrame(TCanvas *destination, TCanvas *defaultCanvas, const TRect &frame) = 0;
    // Copies the kept frame to the target when it is still valid; true if it did.
    virtual bool ShowCachedFrame() = 0;

protected:
    TView3DOptions *F3DOptions = nullptr;
    bool FIsOrthogonal = false;
};

class TChartCanvas3D : public TCanvas3D {
public:
    explicit TChartCanvas3D(TCanvas *windowCanvas);
    ~TChartCanvas3D() override;

    bool Dirty() const { return FDirty; }
    bool Is3D() const { return FIs3D; }
    const TRect &FrameBounds() const { return FFrameBounds; }
    TBitmap *FrameBitmap() const { return FFrameBitmap.get(); }
    double ZoomFactor() const { return FZoomFactor; }
    bool ZoomText = true;
    QPoint ProjectionCenter() const { return QPoint(FXCenter, FYCenter); }
    // Resets pen, brush, font and background at the end of every frame.
    void RestoreDefaults();

    TColor GetBackgroundColor() override;
    TBkMode GetBackgroundMode() override;
    TDeviceContext *GetDeviceHandle() override;
    bool GetMonochrome() const override { return FMonochrome; }
    bool GetBuffered() const override { return FBuffered; }
    unsigned GetTextAlignment() override;
    void SetTextAlignment(unsigned flags) override;
    void SetBackgroundColor(TColor c) override;
    void SetBackgroundMode(TBkMode m) override;
    void SetMonochrome(bool v) override;
    void SetPixel(int x, int y, TColor c) override;
    void SetBuffered(bool v) override;
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
    void DrawGraphic(int x, int y, const QImage &picture) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void FillRect(const TRect &r) override;
    void BevelFrame(const TRect &r, TColor topLeft, TColor bottomRight, int width) override;
    void LineTo(int x, int y) override;
    void MoveTo(int x, int y) override;
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void RoundRect(int x1, int y1, int x2, int y2, int cw, int ch) override;
    void StretchGraphic(const TRect &r, const QImage &picture) override;
    void TextOut(int x, int y, const QString &text) override;
    void ClipToRect(const TRect &r) override;
    void HorizontalLine(int x1, int x2, int y) override;
    void DrawRect(const TRect &r) override;
    void VerticalLine(int x, int y1, int y2) override;
    void FillBackground(const TRect &r) override;
    void GradientFill(const TRect &r, TColor start, TColor end, bool vertical) override;
    void MarkDirty() override { FDirty = true; }
    void Line(int x1, int y1, int x2, int y2) override;
    void Polygon(const std::vector<QPoint> &points) override;
    void RotatedTextOut(int x, int y, const QString &text, int angle) override;
    void RemoveClip() override;

    void ToChartCoordinates(int &x, int &y, int depth) override;
    QPoint ToScreenCoordinates(int x, int y, int depth) override;
    TRect BeginFrame(TCanvas *target, TView3DOptions *options, TColor backColor, bool is3D, const TRect &frame) override;
    void SetProjection(int depth, const TRect &whole, const TRect &plot) override;
    void EndFrame(TCanvas *destination, TCanvas *defaultCanvas, const TRect &frame) override;
    bool ShowCachedFrame() override;
    // Asks the owning panel for a new frame (set by the panel).
    std::function<void()> OnInvalidatePanel;
    // Forgets the 3D options, as when the panel's window is re-created.
    void ForgetOptions() { F3DOptions = nullptr; }

private:
    int FXCenter = 0, FYCenter = 0, FZCenter = 0;
    int FXCenterOffset = 0, FYCenterOffset = 0;
    bool FIs3D = false;
    std::unique_ptr<TBitmap> FFrameBitmap;
    bool FBuffered = true;
    bool FMonochrome = false;
    bool FDirty = true;
    TRect FFrameBounds;
    double FZoomFactor = 1.0;
    double FPerspectiveFactor = 0.0;
};

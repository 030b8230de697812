#pragma once
// A canvas over a QImage with the behaviour of a classic device context:
// rectangles exclude their right and bottom edges, wedges are given by a box
// and two ray points, text has an escapement angle, and nothing is antialiased.
#include "platform/Graphics.h"
#include "platform/GraphicsRaster.h"
#include "platform/TextInk.h"

#include <QPoint>
#include <optional>
#include <vector>

class QPainter;

// The device state behind a canvas: what the last GetDeviceHandle applied plus
// what callers set directly. It lasts until the canvas is released or retargeted.
// Text alignment flags of the device: horizontal and vertical choices combine.
inline constexpr unsigned TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6;
inline constexpr unsigned TA_TOP = 0, TA_BOTTOM = 8, TA_BASELINE = 24;

struct TDeviceContext {
    TBkMode BkMode = TBkMode::Opaque;
    TColor BkColor = clWhite;
    TColor TextColor = clBlack;
    std::optional<QRegion> Clip;
    // Where text is placed from its reference point: TA_* flags.
    unsigned TextAlign = 0;
    void SelectClipRgn(const TRegion *region)
    {
        if (region)
            Clip = region->Region();
        else
            Clip.reset();
    }
};

class TCanvas {
public:
    explicit TCanvas(QImage *target = nullptr);
    virtual ~TCanvas() = default;
    TCanvas(const TCanvas &) = delete;
    TCanvas &operator=(const TCanvas &) = delete;

    // The image drawn on; not owned. Changing it drops the device state.
    void SetTarget(QImage *target);
    QImage *Target() const { return FTarget; }

    TPen &Pen() { return FPen; }
    TBrush &Brush() { return FBrush; }
    TFont &Font() { return FFont; }

    // Applies font, pen and brush to the device and returns it: the font colour
    // becomes the text colour, a solid brush makes the background opaque in the
    // brush colour, any other brush makes it transparent.
    TDeviceContext *Handle();
    // Forgets directly set device state (the clip region), as when the platform
    // releases a device context at the end of a message.
    void ReleaseHandle();
    TDeviceContext &Device() { return FDevice; }

    // Ellipse, Pie and Arc cover the ellipse inscribed in the box, right and
    // bottom edges excluded, the same pixels as an elliptic region of that box.
    void Ellipse(int x1, int y1, int x2, int y2);
    // The wedge turns counter-clockwise from the ray through (x3, y3) to the ray
    // through (x4, y4), both from the box's centre; the same ray twice is the whole ellipse.
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Rectangle(int x1, int y1, int x2, int y2);
    void RoundRect(int x1, int y1, int x2, int y2, int cw, int ch);
    void FillRect(const TRect &r);
    void FrameRect(const TRect &r);
    void MoveTo(int x, int y) { FPenPos = QPoint(x, y); }
    void LineTo(int x, int y);
    void Polygon(const std::vector<QPoint> &points);
    void SetPixel(int x, int y, TColor c);
    TColor Pixel(int x, int y) const;
    void TextOut(int x, int y, const QString &text);
    // Text turned counter-clockwise by escapement tenths of a degree about its
    // reference point (x, y), placed there by the device's text alignment. On a
    // transparent background the pixels it covers are kept per angle: text that
    // turns in one place goes through the font engine once per angle.
    void TextOutRotated(int x, int y, const QString &text, int escapement);
    int TextWidth(const QString &text) const;
    int TextHeight(const QString &text) const;
    // Draws an image at its own size; pixels equal to the key colour are skipped.
    void Draw(int x, int y, const QImage &image, std::optional<TColor> transparentKey = std::nullopt);
    void StretchDraw(const TRect &r, const QImage &image);

    // Called after every drawing operation: a window surface presents itself here.
    std::function<void()> OnChange;
    // Called whenever the device is obtained: a window canvas releases it once
    // the current message has been handled.
    std::function<void()> OnDeviceUsed;

protected:
    void Changed()
    {
        if (OnChange)
            OnChange();
    }

private:
    void Prepare(QPainter &p, bool withPen, bool withBrush);
    // Paints exactly these pixels with the brush or with the pen's colour
    // (in the pen's mode), or in a colour as text is drawn.
    void PaintRuns(const TRuns &runs, bool withBrush);
    void PaintRuns(const TRuns &runs, QColor colour);
    // Writes an opaque colour straight into a 32-bit target without a clip
    // region; false, having done nothing, anywhere else.
    bool WriteRuns(const TRuns &runs, QColor colour);
    // Text through the font engine, as the device places it, on p or on the target.
    void LayText(QPainter &p, QPoint at, const QString &text, int escapement, bool opaque, QColor colour) const;
    void DrawText(int x, int y, const QString &text, int escapement);
    // The pixels the text covers at this place and angle.
    TTextInk::TInk InkOf(const TTextInk::TPlace &place, int escapement);
    TTextInk FTextInk;
    QImage FInkScratch;
    bool BrushPaints() const;
    bool PenPaints() const;
    // The ellipse of a box and its outline for the current pen width, kept for
    // the next call: a pie draws every slice on the same box.
    struct TShapes {
        int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0, PenWidth = -1;
        TPixelSet Shape;
        TRuns ShapeRuns, OutlineRuns;
        QRect OutlineBox;
    };
    const TShapes &ShapesOf(int x1, int y1, int x2, int y2);
    // A pie's two radial edges in the pen's width.
    TRuns EdgeRuns(const TShapes &shapes, const TWedge &wedge, std::initializer_list<QPoint> rays) const;
    TShapes FShapes;
    void FillAndStroke(QPainter &p, const class QPainterPath &path);

    QImage *FTarget = nullptr;
    TPen FPen;
    TBrush FBrush;
    TFont FFont;
    TDeviceContext FDevice;
    QPoint FPenPos;
    // The brush changed since the device last took it.
    bool FBrushChanged = true;
};

// An image with its own canvas, owned together.
class TBitmap {
public:
    TBitmap() : FCanvas(&FImage) {}
    explicit TBitmap(const QImage &image) : FImage(image), FCanvas(&FImage) {}
    TBitmap(const TBitmap &) = delete;
    TBitmap &operator=(const TBitmap &) = delete;
    int Width() const { return FImage.width(); }
    int Height() const { return FImage.height(); }
    bool Empty() const { return FImage.isNull() || FImage.width() == 0; }
    void SetSize(int w, int h);
    // Copies the picture; the caller keeps its own.
    void Assign(const QImage &image);
    const QImage &Image() const { return FImage; }
    QImage &Image() { return FImage; }
    TCanvas &Canvas() { return FCanvas; }
    // The colour of the lower-left pixel: the automatic transparent key.
    TColor LowerLeftColor() const;

private:
    QImage FImage;
    TCanvas FCanvas;
};

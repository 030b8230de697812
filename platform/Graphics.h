#pragma once
// Pens, brushes, fonts and regions with the semantics of a classic GDI device:
// they describe what the next drawing call uses; TCanvas applies them.
#include "platform/Colors.h"

#include <QFont>
#include <QImage>
#include <QRegion>
#include <QString>
#include <functional>

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum class TPenMode { pmCopy, pmNot, pmXor, pmNotXor, pmMerge, pmMask };
enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum class TBkMode { Transparent = 1, Opaque = 2 };

// Base of the graphic objects: setters that change a value call Changed().
class TGraphicsObject {
public:
    virtual ~TGraphicsObject() = default;
    std::function<void()> OnChange;

protected:
    virtual void Changed()
    {
        if (OnChange)
            OnChange();
    }
};

class TPen : public TGraphicsObject {
public:
    TColor Color() const { return FColor; }
    int Width() const { return FWidth; }
    TPenStyle Style() const { return FStyle; }
    TPenMode Mode() const { return FMode; }
    void SetColor(TColor v) { if (v != FColor) { FColor = v; Changed(); } }
    void SetWidth(int v) { if (v != FWidth) { FWidth = v; Changed(); } }
    void SetStyle(TPenStyle v) { if (v != FStyle) { FStyle = v; Changed(); } }
    void SetMode(TPenMode v) { if (v != FMode) { FMode = v; Changed(); } }
    // Copies colour, mode, style and width; tells nobody when nothing differs.
    void AssignPen(const TPen &other);
    // An alternate-pixel pen, as drawn by a cosmetic pen on the classic device.
    bool AlternatePixels = false;

private:
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = TPenStyle::psSolid;
    TPenMode FMode = TPenMode::pmCopy;
};

class TBrush : public TGraphicsObject {
public:
    TColor Color() const { return FColor; }
    TBrushStyle Style() const { return FStyle; }
    // The pattern bitmap, tiled from the target's origin; a null image means none.
    const QImage &Bitmap() const { return FBitmap; }
    void SetColor(TColor v) { if (v != FColor) { FColor = v; Changed(); } }
    void SetStyle(TBrushStyle v) { if (v != FStyle) { FStyle = v; Changed(); } }
    // A pattern bitmap makes the brush paint again, as any new brush does.
    void SetBitmap(const QImage &bitmap)
    {
        FBitmap = bitmap;
        if (!bitmap.isNull())
            FStyle = TBrushStyle::bsSolid;
        Changed();
    }

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = TBrushStyle::bsSolid;
    QImage FBitmap;
};

class TFont : public TGraphicsObject {
public:
    static constexpr int PixelsPerInch = 96;
    QString Name() const { return FName; }
    // Negative: character height in pixels; positive: cell height.
    int Height() const { return FHeight; }
    int Size() const;
    TColor Color() const { return FColor; }
    bool Bold() const { return FBold; }
    bool Italic() const { return FItalic; }
    void SetName(const QString &v) { if (v != FName) { FName = v; Changed(); } }
    void SetHeight(int v) { if (v != FHeight) { FHeight = v; Changed(); } }
    void SetSize(int points);
    void SetColor(TColor v) { if (v != FColor) { FColor = v; Changed(); } }
    void SetBold(bool v) { if (v != FBold) { FBold = v; Changed(); } }
    void SetItalic(bool v) { if (v != FItalic) { FItalic = v; Changed(); } }
    void AssignFont(const TFont &other);
    // The toolkit font: old face names are mapped to a sans face that is installed.
    QFont ToQFont() const;

private:
    QString FName = QStringLiteral("MS Sans Serif");
    int FHeight = -11;
    TColor FColor = clWindowText;
    bool FBold = false;
    bool FItalic = false;
};

// A clip region: rectangles and ellipses in device pixels, right and bottom exclusive.
class TRegion {
public:
    TRegion() = default;
    explicit TRegion(const QRegion &r) : FRegion(r) {}
    static TRegion CreateRectRgn(int left, int top, int right, int bottom);
    // The same pixels as a filled ellipse of the same box.
    static TRegion CreateEllipticRgn(int left, int top, int right, int bottom);
    // This region minus the other.
    void Subtract(const TRegion &other) { FRegion = FRegion.subtracted(other.FRegion); }
    const QRegion &Region() const { return FRegion; }
    bool Contains(int x, int y) const { return FRegion.contains(QPoint(x, y)); }

private:
    QRegion FRegion;
};

// The rectangle type of the drawing layer: right and bottom edges exclusive.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    friend bool operator==(const TRect &, const TRect &) = default;
};

#include "platform/Graphics.h"

#include "platform/GraphicsRaster.h"

#include <QFontDatabase>
#include <cmath>

void TPen::AssignPen(const TPen &other)
{
    if (FColor == other.FColor && FMode == other.FMode && FStyle == other.FStyle && FWidth == other.FWidth
        && AlternatePixels == other.AlternatePixels)
        return;
    FColor = other.FColor;
    FMode = other.FMode;
    FStyle = other.FStyle;
    FWidth = other.FWidth;
    AlternatePixels = other.AlternatePixels;
    Changed();
}

int TFont::Size() const
{
    return -int(std::lround(FHeight * 72.0 / PixelsPerInch));
}

void TFont::SetSize(int points)
{
    SetHeight(-int(std::lround(points * double(PixelsPerInch) / 72.0)));
}

void TFont::AssignFont(const TFont &other)
{
    FName = other.FName;
    FHeight = other.FHeight;
    FColor = other.FColor;
    FBold = other.FBold;
    FItalic = other.FItalic;
    Changed();
}

QFont TFont::ToQFont() const
{
    static const QStringList families = QFontDatabase::families();
    QString family = FName;
    if (!families.contains(family))
        family = families.contains(QStringLiteral("DejaVu Sans")) ? QStringLiteral("DejaVu Sans") : QString();
    QFont f(family);
    f.setStyleHint(QFont::SansSerif);
    // A positive height is the cell height; the character height is a little smaller.
    const int px = FHeight < 0 ? -FHeight : std::max(1, int(std::lround(FHeight * 0.8)));
    f.setPixelSize(std::max(1, px));
    f.setBold(FBold);
    f.setItalic(FItalic);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

TRegion TRegion::CreateRectRgn(int left, int top, int right, int bottom)
{
    return TRegion(QRegion(left, top, right - left, bottom - top));
}

TRegion TRegion::CreateEllipticRgn(int left, int top, int right, int bottom)
{
    return TRegion(EllipsePixels(left, top, right, bottom).ToRegion());
}

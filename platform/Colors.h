#pragma once
// Colours as the drawing layer stores them: one 32-bit integer, red in the low
// byte, then green, then blue; a high byte of 0xFF marks a system colour index.
#include <QColor>
#include <cstdint>

using TColor = std::uint32_t;

constexpr TColor RGB(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int GetRValue(TColor c) { return int(c & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
// No colour given: the owner's colour applies.
constexpr TColor clAutoColor = 0x80000000;
// No colour at all.
constexpr TColor clNone = 0x1FFFFFFF;
// System colours, resolved through the toolkit's palette.
constexpr TColor clBtnFace = 0xFF00000F;
constexpr TColor clBtnHighlight = 0xFF000014;
constexpr TColor clBtnShadow = 0xFF000010;
constexpr TColor clWindow = 0xFF000005;
constexpr TColor clWindowText = 0xFF000008;

// A system colour becomes the palette's RGB; any other colour is returned as is.
TColor ColorToRGB(TColor c);
QColor toQColor(TColor c);
TColor fromQColor(const QColor &c);

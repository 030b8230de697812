#include "platform/Colors.h"

#include <QGuiApplication>
#include <QPalette>

TColor ColorToRGB(TColor c)
{
    if ((c & 0xFF000000) != 0xFF000000)
        return c & 0x00FFFFFF;
    const QPalette pal = QGuiApplication::palette();
    switch (c) {
    case clBtnFace: return fromQColor(pal.color(QPalette::Button));
    case clBtnHighlight: return fromQColor(pal.color(QPalette::Light));
    case clBtnShadow: return fromQColor(pal.color(QPalette::Dark));
    case clWindow: return fromQColor(pal.color(QPalette::Base));
    case clWindowText: return fromQColor(pal.color(QPalette::Text));
    default: return clBlack;
    }
}

QColor toQColor(TColor c)
{
    const TColor rgb = ColorToRGB(c);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor fromQColor(const QColor &c)
{
    return RGB(c.red(), c.green(), c.blue());
}

#pragma once
// The slice read-out's text: a label, "=", the size and its unit.
#include <QLocale>
#include <QString>

// The size of kilobytes in Ko, Mo or Go: above 999 the next unit is taken,
// twice at most. Six significant digits, no decimals in Ko and two otherwise,
// with the locale's decimal separator.
QString SizeText(double kilobytes, const QLocale &locale = QLocale());
// label + "=" + SizeText.
QString SliceTipText(const QString &label, double kilobytes, const QLocale &locale = QLocale());
// True when (x, y) lies inside the circle inscribed in a w x h square.
bool InsideCircle(int x, int y, int w, int h);

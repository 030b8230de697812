#pragma once
// The slice read-out's text: a label, "=", the size and its unit; and a
// path's or a name's bytes as the screen shows them.
#include <QLocale>
#include <QString>
#include <string>

// Text of a path for the screen; the bytes themselves are kept for the system.
QString DisplayPath(const std::string &path);

// The size of kilobytes in Ko, Mo or Go: above 999 the next unit is taken,
// twice at most. Six significant digits, no decimals in Ko and two otherwise,
// with the locale's decimal separator.
QString SizeText(double kilobytes, const QLocale &locale = QLocale());
// label + "=" + SizeText.
QString SliceTipText(const QString &label, double kilobytes, const QLocale &locale = QLocale());
// True when (x, y) lies inside the circle inscribed in a w x h square.
bool InsideCircle(int x, int y, int w, int h);

#include "app/SizeText.h"

#include <cmath>

QString SizeText(double kilobytes, const QLocale &locale)
{
    double v = std::nearbyint(kilobytes);
    QString unit = QStringLiteral(" Ko .");
    if (v > 999) {
        v /= 1024;
        unit = QStringLiteral(" Mo .");
    }
    if (v > 999) {
        v /= 1024;
        unit = QStringLiteral(" Go .");
    }
    const int decimals = unit == QStringLiteral(" Ko .") ? 0 : 2;
    const auto intDigits = [](double x) { return std::fabs(x) < 1 ? 1 : int(std::floor(std::log10(std::fabs(x)))) + 1; };
    // At most six significant digits: digits past them read as zeros. The
    // digit count is taken after that rounding, so 999999.7 counts seven.
    const int sigDecimals = 6 - intDigits(v);
    if (sigDecimals >= 0 && sigDecimals < decimals) {
        const double scale = std::pow(10.0, sigDecimals);
        v = std::round(v * scale) / scale;
    }
    if (intDigits(v) > 6)
        return locale.toString(v, 'E', 5) + unit;
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(v, 'f', decimals) + unit;
}

QString SliceTipText(const QString &label, double kilobytes, const QLocale &locale)
{
    return label + QStringLiteral("=") + SizeText(kilobytes, locale);
}

bool InsideCircle(int x, int y, int w, int h)
{
    const int halfW = w / 2, halfH = h / 2;
    const double dx = x - halfW, dy = y - halfH;
    const long d = std::lround(std::nearbyint(std::sqrt(dx * dx + dy * dy)));
    return d < halfW;
}

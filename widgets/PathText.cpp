#include "widgets/PathText.h"

#include "widgets/LocaleNames.h"

namespace {
constexpr char16_t kEscapeBase = 0xDC00;
} // namespace

QString PathToText(const std::string &bytes)
{
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        if (const int len = LocaleCharacter(bytes, i, cp)) {
            const char32_t one[] = {cp};
            text += QString::fromUcs4(one, 1);
            i += std::size_t(len);
        } else {
            text += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
            ++i;
        }
    }
    return text;
}

std::string TextToPath(const QString &text)
{
    std::string out;
    out.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            AppendLocaleCharacter(out, QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            out += char(c - kEscapeBase);
        } else if (QChar::isSurrogate(c)) {
            AppendLocaleCharacter(out, 0xFFFD);
        } else {
            AppendLocaleCharacter(out, c);
        }
    }
    return out;
}

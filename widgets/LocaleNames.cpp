#include "widgets/LocaleNames.h"

#include <cstring>
#include <cwchar>
#include <langinfo.h>
#include <locale.h>

namespace {

// The user's character encoding as the environment names it, read once: the
// toolkit may have set the process's own LC_CTYPE to something else since.
class TLocaleEncoding {
public:
    TLocaleEncoding() : FLocale(::newlocale(LC_CTYPE_MASK, "", locale_t(nullptr)))
    {
        if (FLocale == locale_t(nullptr))
            return;
        const char *codeset = ::nl_langinfo_l(CODESET, FLocale);
        FUtf8 = codeset == nullptr || ::strcasecmp(codeset, "UTF-8") == 0 || ::strcasecmp(codeset, "UTF8") == 0
                || std::strcmp(codeset, "ANSI_X3.4-1968") == 0;
    }
    ~TLocaleEncoding()
    {
        if (FLocale != locale_t(nullptr))
            ::freelocale(FLocale);
    }
    TLocaleEncoding(const TLocaleEncoding &) = delete;
    TLocaleEncoding &operator=(const TLocaleEncoding &) = delete;

    bool Utf8() const { return FUtf8; }
    locale_t Locale() const { return FLocale; }

private:
    locale_t FLocale;
    bool FUtf8 = true;
};

const TLocaleEncoding &Encoding()
{
    static const TLocaleEncoding encoding;
    return encoding;
}

// The C library's conversions under the user's locale, on this thread only.
class TInLocale {
public:
    TInLocale() : FPrevious(::uselocale(Encoding().Locale())) {}
    ~TInLocale() { ::uselocale(FPrevious); }
    TInLocale(const TInLocale &) = delete;
    TInLocale &operator=(const TInLocale &) = delete;

private:
    locale_t FPrevious;
};

// The UTF-8 sequence at s[i]: its length and code point; 0 when not valid
// (overlong forms and surrogates included).
int Utf8Character(const std::string &s, std::size_t i, char32_t &cp)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    int len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + std::size_t(len) > s.size())
        return 0;
    for (int k = 1; k < len; ++k) {
        const unsigned char b = byte(i + std::size_t(k));
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

bool LocaleIsUtf8()
{
    return Encoding().Utf8();
}

int LocaleCharacter(const std::string &bytes, std::size_t i, char32_t &cp)
{
    if (Encoding().Utf8())
        return Utf8Character(bytes, i, cp);
    const TInLocale in;
    std::mbstate_t state{};
    wchar_t wide = 0;
    const std::size_t len = std::mbrtowc(&wide, bytes.data() + i, bytes.size() - i, &state);
    if (len == std::size_t(-1) || len == std::size_t(-2))
        return 0;
    cp = char32_t(wide);
    return len == 0 ? 1 : int(len); // a NUL byte is one character
}

void AppendLocaleCharacter(std::string &out, char32_t cp)
{
    if (!Encoding().Utf8()) {
        const TInLocale in;
        std::mbstate_t state{};
        char encoded[MB_LEN_MAX];
        if (const std::size_t len = std::wcrtomb(encoded, wchar_t(cp), &state); len != std::size_t(-1)) {
            out.append(encoded, len);
            return;
        }
    }
    AppendUtf8(out, cp);
}

QString DisplayName(const std::string &bytes)
{
    if (Encoding().Utf8())
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        if (const int len = LocaleCharacter(bytes, i, cp)) {
            text += QString::fromUcs4(&cp, 1);
            i += std::size_t(len);
        } else {
            text += QChar::ReplacementCharacter;
            ++i;
        }
    }
    return text;
}

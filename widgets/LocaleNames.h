#pragma once
// File names are bytes in the encoding of the user's locale (LC_ALL,
// LC_CTYPE, LANG, as the C library reads them): UTF-8 on most systems, but
// not all. The toolkit takes every name for UTF-8; these read and write them
// in the locale's own encoding. A locale that names none beyond ASCII (C,
// POSIX) or that the system does not have is taken as UTF-8.
#include <QString>
#include <string>

// True when names are UTF-8.
bool LocaleIsUtf8();

// The character the locale's encoding gives at bytes[i]: its length in bytes,
// with its code point in `cp`; 0 when the bytes there do not decode.
int LocaleCharacter(const std::string &bytes, std::size_t i, char32_t &cp);

// Appends `cp` in the locale's encoding; a character the encoding lacks,
// which no name on this system holds, goes as UTF-8.
void AppendLocaleCharacter(std::string &out, char32_t cp);

// A name's or a path's bytes as the screen shows them: decoded in the
// locale's encoding, a byte that does not decode shown as U+FFFD.
QString DisplayName(const std::string &bytes);

#pragma once
// A path's bytes as text for an edit box, and back, without loss. The bytes
// are decoded in the locale's encoding (LocaleNames.h), and typed text goes
// back in it; every byte that does not decode becomes the lone surrogate
// U+DC00 + b, which no typed text holds and which encodes back to b. So a
// folder whose name is not in that encoding keeps its bytes through the box,
// even when the user adds to or cuts from the rest of the path.
#include <QString>
#include <string>

QString PathToText(const std::string &bytes);
std::string TextToPath(const QString &text);

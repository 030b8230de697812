#pragma once
// A path's bytes as text for an edit box, and back, without loss. Valid UTF-8
// is decoded as usual; every other byte b becomes the lone surrogate
// U+DC00 + b, which no typed text holds and which encodes back to b. So a
// folder whose name is not UTF-8 keeps its bytes through the box, even when
// the user adds to or cuts from the rest of the path.
#include <QString>
#include <string>

QString PathToText(const std::string &bytes);
std::string TextToPath(const QString &text);

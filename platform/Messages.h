#pragma once
// Modal message boxes that handlers show directly. Tests replace the boxes
// through the hook.
#include <QString>
#include <functional>

class QFontMetrics;
class QWidget;

namespace platform {

// A modal warning box with the caption "Avertissement" and one "OK" button,
// over the window of `parent`. A line too long for the screen is shortened in
// the middle for the display; the whole text stays the box's accessible
// description.
void WarningBox(QWidget *parent, const QString &text);
// The application's standard error box for an error raised in a handler.
void ErrorBox(QWidget *parent, const QString &text);

// Replaces the boxes (kind is "warning" or "error"); an empty function restores them.
using BoxHook = std::function<void(const QString &kind, const QString &text)>;
void SetBoxHook(BoxHook hook);

// `text` with every line (lines end at a carriage return or a line feed) that
// is wider than `maxWidth` pixels in `fm` cut in its middle and joined with an
// ellipsis, so that it is at most that wide. Cheap on lines of any length.
QString ElideLongLines(const QString &text, const QFontMetrics &fm, int maxWidth);

} // namespace platform

#pragma once
// Modal message boxes that handlers show directly. Tests replace the boxes
// through the hook.
#include <QString>
#include <functional>

class QFontMetrics;
class QWidget;

namespace platform {

// A modal warning box with the caption "Avertissement" and one "OK" button,
// over the window of `parent`, centred by its outer size and within the
// screen: its lines are cut (FitLines) so that each fits the box as the screen
// allows. The whole text stays the box's accessible description.
void WarningBox(QWidget *parent, const QString &text);
// The application's standard error box for an error raised in a handler.
void ErrorBox(QWidget *parent, const QString &text);

// Replaces the boxes (kind is "warning" or "error"); an empty function restores them.
using BoxHook = std::function<void(const QString &kind, const QString &text)>;
void SetBoxHook(BoxHook hook);

// `text` in lines at most `maxWidth` pixels wide in `fm`, `maxLines` of them
// at most (a line of the text, which ends at a carriage return or a line
// feed, counts at least one). A line too wide is broken with line feeds,
// after a slash where that keeps at least half a line, else anywhere; a line
// that would still need too many has its middle left out, marked with an
// ellipsis. Cheap on lines of any length: only what is shown is measured.
QString FitLines(const QString &text, const QFontMetrics &fm, int maxWidth, int maxLines);

} // namespace platform

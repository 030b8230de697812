#pragma once
// The services of the message loop that handlers call directly: letting pending
// messages run from inside a handler, and modal message boxes. Tests replace the
// boxes through the hooks.
#include <QString>
#include <functional>

class QWidget;

namespace platform {

// Lets pending window messages run, at most once every few milliseconds:
// serving the queue costs far more than asking the clock, and a walk calls
// this for every file.
void ProcessMessages();
// Lets pending messages run now, whatever the throttle says.
void ProcessMessagesNow();

// A modal warning box with the caption "Avertissement" and one "OK" button.
void WarningBox(QWidget *parent, const QString &text);
// The application's standard error box for an error raised in a handler.
void ErrorBox(QWidget *parent, const QString &text);

// Replaces the boxes (kind is "warning" or "error"); an empty function restores them.
using BoxHook = std::function<void(const QString &kind, const QString &text)>;
void SetBoxHook(BoxHook hook);

} // namespace platform

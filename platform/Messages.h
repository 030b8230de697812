#pragma once
// Modal message boxes that handlers show directly. Tests replace the boxes
// through the hook.
#include <QString>
#include <functional>

class QWidget;

namespace platform {

// A modal warning box with the caption "Avertissement" and one "OK" button.
void WarningBox(QWidget *parent, const QString &text);
// The application's standard error box for an error raised in a handler.
void ErrorBox(QWidget *parent, const QString &text);

// Replaces the boxes (kind is "warning" or "error"); an empty function restores them.
using BoxHook = std::function<void(const QString &kind, const QString &text)>;
void SetBoxHook(BoxHook hook);

} // namespace platform

#pragma once
// The window manager's request to close a window (X11 WM_DELETE_WINDOW, sent
// for Alt+F4 or a taskbar's close) while a modal window blocks it. The toolkit
// drops such a request, so the window would stay however often it is asked.

class QWidget;

namespace platform {

// From now on, a close request for `window` that arrives while a modal window
// blocks it closes every modal window that is open, topmost first (each one's
// exec() returns as if cancelled), and then closes `window` as a direct close
// would. The watch ends with `window`. Only under X11; elsewhere nothing changes.
void CloseEvenWhenBlocked(QWidget *window);

// Closes the modal windows that are open, topmost first, as cancelled; `keep`
// (may be null) is left open. Returns how many were closed.
int CloseModalWindows(const QWidget *keep);

} // namespace platform

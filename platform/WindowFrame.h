#pragma once
// The frame a window manager puts round a top-level window, known before the
// window is first shown, so that the window can be placed by its outer size.
#include <QMargins>

class QWidget;

namespace platform {

// The margins of the frame the window manager will give `window` (left, top,
// right, bottom in pixels). Asked of the window manager before the window is
// mapped (EWMH _NET_REQUEST_FRAME_EXTENTS); no margins where there is no X11
// display, no window manager that offers it, or no answer within a moment.
QMargins ExpectedFrameMargins(QWidget *window);

} // namespace platform

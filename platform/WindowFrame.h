#pragma once
// What the window system does to a top-level window: the frame a window manager
// puts round it, known before the window is first shown so that the window can
// be placed by its outer size, and the parts it shows again after an uncover.
#include <QMargins>
#include <QRegion>

class QExposeEvent;
class QWidget;

namespace platform {

// The margins of the frame the window manager will give `window` (left, top,
// right, bottom in pixels). Asked of the window manager before the window is
// mapped (EWMH _NET_REQUEST_FRAME_EXTENTS); no margins where there is no X11
// display, no window manager that offers it, or no answer within a moment.
QMargins ExpectedFrameMargins(QWidget *window);

// The part of a window an expose event shows again, in the window's own
// (device-independent) pixels.
QRegion ExposedRegion(const QExposeEvent &e);

} // namespace platform

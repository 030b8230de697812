#pragma once
// What the window system does to a top-level window: the frame a window manager
// puts round it, known before the window is first shown so that the window can
// be placed by its outer size, and the parts it shows again after an uncover.
#include <QMargins>
#include <QRegion>

class QExposeEvent;
class QPoint;
class QWidget;

namespace platform {

// The margins of the frame the window manager will give `window` (left, top,
// right, bottom in pixels). Asked of the window manager before the window is
// mapped (EWMH _NET_REQUEST_FRAME_EXTENTS); no margins where there is no X11
// display, no window manager that offers it, or no answer within a moment.
QMargins ExpectedFrameMargins(QWidget *window);

// Places `window`, a top-level window about to be shown (call it from its
// showEvent, before it is mapped), so that its outer rectangle, frame
// included, is centred over the outer rectangle of `owner`'s window; with
// keepOnScreen it is then pulled back inside the available part of that
// screen, right and bottom edges first. Returns the outer top-left (screen pixels).
// The toolkit hands a position given before mapping to the window manager as
// the client's, so the client's own position is what is set.
QPoint CentreOver(QWidget *window, const QWidget *owner, bool keepOnScreen);

// The part of a window an expose event shows again, in the window's own
// (device-independent) pixels.
QRegion ExposedRegion(const QExposeEvent &e);

} // namespace platform

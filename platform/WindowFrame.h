#pragma once
// What the window system does to a top-level window: the frame a window manager
// puts round it, known before the window is first shown so that the window can
// be placed by its outer size, and the parts it shows again after an uncover.
//
// Placing is done in device pixels, the unit of the X server and of the window
// manager's frame; the toolkit's positions are logical pixels, scaled by the
// screen's factor (QT_SCALE_FACTOR, high-density screens) and rounded.
#include <QMargins>
#include <QRect>
#include <QRegion>

class QExposeEvent;
class QScreen;
class QWidget;

namespace platform {

// A top-level window on the screen, in device pixels.
struct TDeviceFrame {
    // The outer rectangle, frame included.
    QRect Outer;
    // The frame round the window's own area (left, top, right, bottom).
    QMargins Frame;
};

// `window`'s outer rectangle and frame in device pixels. The frame is the one
// the window manager gave it or will give it, asked before the window is
// mapped (EWMH _NET_REQUEST_FRAME_EXTENTS); no frame where there is no X11
// display, no window manager that offers it, or no answer within a moment.
// The place and size are the X server's where there is one, else the
// toolkit's scaled.
TDeviceFrame DeviceFrame(const QWidget *window);

// `screen`'s whole rectangle, or the part of it windows may take, in device
// pixels: the X server's and the window manager's where the display is theirs
// alone, else the toolkit's scaled (within a pixel).
QRect DeviceScreen(const QScreen *screen, bool available);

// Moves `window`, a top-level window not yet mapped whose frame will be as in
// `frame`, so that its outer rectangle's top-left lands on `outerTopLeft`
// (device pixels), or where a logical position can put it nearest (the left
// or upper one of two as near).
// The toolkit hands a position given before mapping to the window manager as
// the client's, so the client's own position is what is set.
void MoveOuterTo(QWidget *window, const TDeviceFrame &frame, QPoint outerTopLeft);

// Places `window`, a top-level window about to be shown (call it from its
// showEvent, before it is mapped), so that its outer rectangle, frame
// included, is centred over the outer rectangle of `owner`'s window; with
// keepOnScreen it is then pulled back inside the available part of that
// screen, right and bottom edges first.
void CentreOver(QWidget *window, const QWidget *owner, bool keepOnScreen);

// The part of a window an expose event shows again, in the window's own
// (device-independent) pixels.
QRegion ExposedRegion(const QExposeEvent &e);

} // namespace platform

#pragma once
// How a borderless shaped top-level window takes its shape and is dragged on
// the window system the program runs on. Under X11 the mask shapes the window
// and the program moves it by the pointer's movement. A Wayland client can
// neither shape its surface nor place it: there the window is translucent, the
// mask is where it takes the pointer, the pixels outside it are cleared to
// transparent, and the compositor moves it.

class QRegion;
class QWidget;

namespace platform {

// True when windows are Wayland surfaces, placed and moved by the compositor.
bool CompositorMovesWindows();

// Call on `window`, a top-level window, before it is first shown. Under
// Wayland its surface gets an alpha channel (what lies outside the shape shows
// what is behind), and the window's own background is still painted inside
// its shape, as on X11. Elsewhere nothing changes.
void PrepareShapedWindow(QWidget *window);

// Gives `window` the shape `region` (its own pixels); an empty region gives it
// back its whole rectangle. X11: the window's shape. Wayland: where the surface
// takes the pointer, and every pixel outside it is transparent whatever the
// window's children paint there.
void SetWindowShape(QWidget *window, const QRegion &region);

// Hands the drag that the press being handled begins to the compositor. True
// when the compositor took it: it moves the window until the button is
// released, and the window sees neither the movement nor the release. False
// under X11, where the program moves the window itself.
bool StartCompositorMove(QWidget *window);

} // namespace platform

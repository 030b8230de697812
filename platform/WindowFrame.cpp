#include "platform/WindowFrame.h"

#include <QExposeEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <xcb/xcb.h>

namespace platform {

namespace {
template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, std::uint16_t(std::strlen(name)), name), nullptr), &std::free);
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// True when the window manager lists `atom` among what it supports.
bool supported(xcb_connection_t *c, xcb_window_t root, xcb_atom_t atom)
{
    const xcb_atom_t list = internAtom(c, "_NET_SUPPORTED");
    if (list == XCB_ATOM_NONE)
        return false;
    const Reply<xcb_get_property_reply_t> r(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, list, XCB_ATOM_ATOM, 0, 4096), nullptr), &std::free);
    if (!r || r->format != 32)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(r.get()));
    const int n = xcb_get_property_value_length(r.get()) / 4;
    return std::find(atoms, atoms + n, atom) != atoms + n;
}

// The frame the window manager gives or will give `win`, in device pixels.
QMargins frameExtents(xcb_connection_t *c, xcb_window_t root, xcb_window_t win)
{
    const xcb_atom_t request = internAtom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = internAtom(c, "_NET_FRAME_EXTENTS");
    if (request == XCB_ATOM_NONE || extents == XCB_ATOM_NONE || !supported(c, root, request))
        return {};
    xcb_client_message_event_t ev {};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = win;
    ev.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&ev));
    xcb_flush(c);
    // The answer is a property set on the window; a window manager that
    // offers the request sets it at once, so a short wait is enough.
    for (int tries = 0; tries < 20; ++tries) {
        const Reply<xcb_get_property_reply_t> r(
            xcb_get_property_reply(c, xcb_get_property(c, 0, win, extents, XCB_ATOM_CARDINAL, 0, 4), nullptr),
            &std::free);
        if (r && r->format == 32 && xcb_get_property_value_length(r.get()) == 16) {
            const auto *v = static_cast<const std::uint32_t *>(xcb_get_property_value(r.get()));
            return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

const QScreen *screenOf(const QWidget *w)
{
    return w->screen() ? w->screen() : QGuiApplication::primaryScreen();
}

// The toolkit puts logical coordinate x of a screen whose origin is `origin`
// on device pixel origin + round((x - origin) * scale).
int toDevice(int x, int origin, qreal scale)
{
    return origin + qRound((x - origin) * scale);
}

// The logical coordinate the toolkit puts nearest device pixel `device`; the
// lower one of two as near.
int nearestLogical(int device, int origin, qreal scale)
{
    const int guess = origin + int(std::floor((device - origin) / scale));
    int best = guess - 1;
    for (int x = guess; x <= guess + 2; ++x)
        if (std::abs(toDevice(x, origin, scale) - device) < std::abs(toDevice(best, origin, scale) - device))
            best = x;
    return best;
}
} // namespace

QRect DeviceScreen(const QScreen *screen, bool available)
{
    xcb_connection_t *c = x11Connection();
    if (c && QGuiApplication::screens().size() == 1) {
        const xcb_screen_t *root = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const QRect whole(0, 0, root->width_in_pixels, root->height_in_pixels);
        const xcb_atom_t workArea = available ? internAtom(c, "_NET_WORKAREA") : xcb_atom_t(XCB_ATOM_NONE);
        if (workArea == XCB_ATOM_NONE)
            return whole;
        const Reply<xcb_get_property_reply_t> r(
            xcb_get_property_reply(c, xcb_get_property(c, 0, root->root, workArea, XCB_ATOM_CARDINAL, 0, 4), nullptr),
            &std::free);
        if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) != 16)
            return whole;
        const auto *v = static_cast<const std::uint32_t *>(xcb_get_property_value(r.get()));
        return QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3])) & whole;
    }
    const QRect logical = available ? screen->availableGeometry() : screen->geometry();
    const QPoint o = screen->geometry().topLeft();
    const qreal s = screen->devicePixelRatio();
    return QRect(toDevice(logical.left(), o.x(), s), toDevice(logical.top(), o.y(), s), qRound(logical.width() * s),
                 qRound(logical.height() * s));
}

TDeviceFrame DeviceFrame(const QWidget *window)
{
    // The size is the toolkit's, scaled as it will hand it to the window
    // system: a window not shown yet gets its size only as it is mapped.
    const qreal s = window->devicePixelRatioF();
    const QRect inner = window->geometry();
    const QPoint o = screenOf(window) ? screenOf(window)->geometry().topLeft() : QPoint();
    QRect device(toDevice(inner.left(), o.x(), s), toDevice(inner.top(), o.y(), s), qRound(inner.width() * s),
                 qRound(inner.height() * s));
    if (xcb_connection_t *c = x11Connection()) {
        const xcb_window_t win = xcb_window_t(window->winId());
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const Reply<xcb_translate_coordinates_reply_t> at(
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, win, root, 0, 0), nullptr), &std::free);
        if (at)
            device.moveTopLeft(QPoint(at->dst_x, at->dst_y));
        const QMargins m = frameExtents(c, root, win);
        return {device.marginsAdded(m), m};
    }
    // Elsewhere the toolkit's own idea of the frame, in its units.
    const QRect outer = window->frameGeometry();
    const QMargins m(qRound((inner.left() - outer.left()) * s), qRound((inner.top() - outer.top()) * s),
                     qRound((outer.right() - inner.right()) * s), qRound((outer.bottom() - inner.bottom()) * s));
    return {device.marginsAdded(m), m};
}

void MoveOuterTo(QWidget *window, const TDeviceFrame &frame, QPoint outerTopLeft)
{
    const QScreen *screen = screenOf(window);
    const QPoint o = screen ? screen->geometry().topLeft() : QPoint();
    const qreal s = window->devicePixelRatioF();
    const QPoint client = outerTopLeft + QPoint(frame.Frame.left(), frame.Frame.top());
    window->setGeometry(QRect(QPoint(nearestLogical(client.x(), o.x(), s), nearestLogical(client.y(), o.y(), s)),
                              window->size()));
}

void CentreOver(QWidget *window, const QWidget *owner, bool keepOnScreen)
{
    const TDeviceFrame frame = DeviceFrame(window);
    const QSize outer = frame.Outer.size();
    const QWidget *o = owner->window();
    const QRect ownerRect = DeviceFrame(o).Outer;
    QPoint at(ownerRect.left() + (ownerRect.width() - outer.width()) / 2,
              ownerRect.top() + (ownerRect.height() - outer.height()) / 2);
    if (keepOnScreen) {
        if (const QScreen *screen = screenOf(o)) {
            const QRect desk = DeviceScreen(screen, true);
            if (at.x() + outer.width() > desk.left() + desk.width())
                at.setX(desk.left() + desk.width() - outer.width());
            if (at.x() < desk.left())
                at.setX(desk.left());
            if (at.y() + outer.height() > desk.top() + desk.height())
                at.setY(desk.top() + desk.height() - outer.height());
            if (at.y() < desk.top())
                at.setY(desk.top());
        }
    }
    MoveOuterTo(window, frame, at);
}

QRegion ExposedRegion(const QExposeEvent &e)
{
    // The toolkit keeps the region for the windows it paints itself and points
    // others to paint events; widgets paint through the backing store, which an
    // expose only flushes.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return e.region();
    QT_WARNING_POP
}

} // namespace platform

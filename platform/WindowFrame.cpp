#include "WindowFrame.h"

#include <QExposeEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <xcb/xcb.h>

namespace platform {

namespace {
template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

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
} // namespace

QMargins ExpectedFrameMargins(QWidget *window)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !window)
        return {};
    xcb_connection_t *c = x11->connection();
    if (!c)
        return {};
    const xcb_window_t win = xcb_window_t(window->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
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

QPoint CentreOver(QWidget *window, const QWidget *owner, bool keepOnScreen)
{
    // The frame: the one the window had, or the one the window manager will give it.
    QMargins m(window->geometry().left() - window->frameGeometry().left(),
               window->geometry().top() - window->frameGeometry().top(),
               window->frameGeometry().right() - window->geometry().right(),
               window->frameGeometry().bottom() - window->geometry().bottom());
    if (m.isNull())
        m = ExpectedFrameMargins(window);
    const QSize outer = window->size().grownBy(m);
    // A frameless owner's outer rectangle is its own; the frame the toolkit
    // works out for it under a window manager can be wrong for a while.
    const QWidget *o = owner->window();
    const QRect ownerRect = o->windowFlags() & Qt::FramelessWindowHint ? o->geometry() : o->frameGeometry();
    QPoint at(ownerRect.left() + (ownerRect.width() - outer.width()) / 2,
              ownerRect.top() + (ownerRect.height() - outer.height()) / 2);
    if (keepOnScreen) {
        const QScreen *screen = o->screen() ? o->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            const QRect desk = screen->availableGeometry();
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
    window->setGeometry(QRect(at + QPoint(m.left(), m.top()), window->size()));
    return at;
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

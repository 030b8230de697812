#include "platform/CloseRequest.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace platform {

namespace {
xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr), &std::free);
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Watches the X11 events for the close requests of one window; a child of
// that window, so that it goes with it.
class TCloseWatch : public QObject, public QAbstractNativeEventFilter {
public:
    TCloseWatch(QWidget *window, xcb_atom_t protocols, xcb_atom_t deleteWindow)
        : QObject(window), FWindow(window), FProtocols(protocols), FDelete(deleteWindow)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~TCloseWatch() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t" || !FWindow)
            return false;
        const auto *ev = static_cast<const xcb_generic_event_t *>(message);
        if ((ev->response_type & 0x7F) != XCB_CLIENT_MESSAGE)
            return false;
        const auto *cm = static_cast<const xcb_client_message_event_t *>(message);
        if (cm->format != 32 || cm->type != FProtocols || cm->data.data32[0] != FDelete
            || !FWindow->testAttribute(Qt::WA_WState_Created) || cm->window != xcb_window_t(FWindow->winId()))
            return false;
        const QWindow *modal = QGuiApplication::modalWindow();
        if (!modal || modal == FWindow->windowHandle())
            return false; // not blocked: the toolkit delivers it
        // Served once the toolkit is done with this event, from whatever loop runs.
        QMetaObject::invokeMethod(this, [this] {
            if (!FWindow)
                return;
            CloseModalWindows(FWindow);
            FWindow->close();
        }, Qt::QueuedConnection);
        return true;
    }

private:
    QPointer<QWidget> FWindow;
    xcb_atom_t FProtocols, FDelete;
};
} // namespace

void CloseEvenWhenBlocked(QWidget *window)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !window)
        return;
    xcb_connection_t *c = x11->connection();
    if (!c)
        return;
    const xcb_atom_t protocols = internAtom(c, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = internAtom(c, "WM_DELETE_WINDOW");
    if (protocols == XCB_ATOM_NONE || deleteWindow == XCB_ATOM_NONE)
        return;
    new TCloseWatch(window, protocols, deleteWindow);
}

int CloseModalWindows(const QWidget *keep)
{
    int closed = 0;
    // Bounded: a modal window that refuses to close ends the loop.
    for (int guard = 0; guard < 256; ++guard) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == keep)
            break;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        if (modal->isVisible())
            break;
        ++closed;
    }
    return closed;
}

} // namespace platform

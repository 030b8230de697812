#include "platform/WindowShape.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {
// Lies over every other child of its window and clears the pixels they paint
// outside the window's shape: a Wayland compositor shows a surface's pixels
// whatever its input region. Its own mask keeps it to those pixels; it takes
// no pointer.
class TOutsideShape : public QWidget {
public:
    explicit TOutsideShape(QWidget *window) : QWidget(window)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

    void Fit(const QRegion &shape)
    {
        setGeometry(parentWidget()->rect());
        const QRegion outside = QRegion(rect()).subtracted(shape);
        if (shape.isEmpty() || outside.isEmpty()) {
            hide();
            return;
        }
        setMask(outside);
        show();
        raise();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillRect(rect(), Qt::transparent);
    }
};
} // namespace

bool CompositorMovesWindows()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void PrepareShapedWindow(QWidget *window)
{
    if (!CompositorMovesWindows())
        return;
    window->setAttribute(Qt::WA_TranslucentBackground);
    // The translucent attribute also stops the background painting; inside the
    // shape the window looks as it does on X11, background included.
    window->setAttribute(Qt::WA_NoSystemBackground, false);
}

void SetWindowShape(QWidget *window, const QRegion &region)
{
    window->setMask(region);
    if (!CompositorMovesWindows())
        return;
    TOutsideShape *outside = nullptr;
    for (QObject *child : window->children())
        if ((outside = dynamic_cast<TOutsideShape *>(child)) != nullptr)
            break;
    if (outside == nullptr)
        outside = new TOutsideShape(window);
    outside->Fit(region);
}

bool StartCompositorMove(QWidget *window)
{
    if (!CompositorMovesWindows())
        return false;
    QWindow *handle = window->window()->windowHandle();
    const Qt::MouseButtons held = QGuiApplication::mouseButtons();
    if (handle == nullptr || held == Qt::NoButton || !handle->startSystemMove())
        return false;
    // The compositor keeps the release, so the toolkit would go on sending the
    // pointer's moves to the control pressed, none to the one below the
    // pointer; the release is given to it once the press has been handled.
    const QPointF global = QCursor::pos();
    const QPointF local = handle->mapFromGlobal(global);
    Qt::MouseButtons still = held;
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        if (!(still & button))
            continue;
        still &= ~button;
        QCoreApplication::postEvent(handle, new QMouseEvent(QEvent::MouseButtonRelease, local, local, global, button,
                                                            still, QGuiApplication::keyboardModifiers()));
    }
    return true;
}

} // namespace platform

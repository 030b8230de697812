#include "platform/HintWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QToolTip>

THintWindow::THintWindow(QWidget *owner)
    : QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setPalette(QToolTip::palette());
    setFont(QToolTip::font());
    setAutoFillBackground(true);
    // The tip is exactly as wide as its text: the text starts right inside
    // the frame, at the top, and the 4 extra pixels stay below it.
    setMargin(0);
    setIndent(0);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    hide();
}

QSize THintWindow::CalcHintRect(const QString &text) const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text), fm.height());
}

void THintWindow::ActivateHint(const QRect &rect, const QString &text)
{
    setText(text);
    QRect r(rect.left(), rect.top(), rect.width(), rect.height() + 4);
    if (const QScreen *screen = QGuiApplication::screenAt(rect.topLeft()) ? QGuiApplication::screenAt(rect.topLeft())
                                                                          : QGuiApplication::primaryScreen()) {
        const QRect desk = screen->geometry();
        if (r.right() > desk.right())
            r.moveRight(desk.right());
        if (r.left() < desk.left())
            r.moveLeft(desk.left());
        if (r.bottom() > desk.bottom())
            r.moveBottom(desk.bottom());
        if (r.top() < desk.top())
            r.moveTop(desk.top());
    }
    setGeometry(r);
    if (!isVisible())
        show();
    update();
}

void THintWindow::ReleaseHandle()
{
    hide();
}

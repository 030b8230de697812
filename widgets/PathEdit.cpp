#include "widgets/PathEdit.h"

#include "platform/Colors.h"
#include "platform/Events.h"
#include "platform/FileSystem.h"
#include "widgets/FolderBrowse.h"
#include "platform/Messages.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionFrame>
#include <utility>

namespace {
// Height of a window border line.
constexpr int kBorder = 1;
// The box's own frame: a single 3D border of two lines.
constexpr int kFrame = 2;

// The caret is as wide as the font is heavy: 2 pixels for a bold font, else 1.
// The line edit asks while it paints without naming itself, so the style
// knows the one box it serves.
class CaretStyle : public QProxyStyle {
public:
    explicit CaretStyle(const QWidget *box) : FBox(box) {}
    int pixelMetric(PixelMetric m, const QStyleOption *o, const QWidget *w) const override
    {
        if (m == PM_TextCursorWidth)
            return (w ? w : FBox)->font().bold() ? 2 : 1;
        return QProxyStyle::pixelMetric(m, o, w);
    }

private:
    const QWidget *FBox;
};

// Whether a focus change brings the focus to the box from another control. A
// window that opens gives it to its first control; a window that gets it back
// (a dialog or a menu closing, the window activated again) gives it back to the
// control that had it, which keeps its selection.
bool TakesFocusFromAnotherControl(Qt::FocusReason reason, bool windowJustShown)
{
    switch (reason) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        return true;
    case Qt::ActiveWindowFocusReason:
        return windowJustShown;
    default:
        return false;
    }
}

// The left, right and middle buttons are the three the box knows; the others
// (side buttons) do nothing: no caret move, no selection change, no focus.
bool IsOtherButtonEvent(const QEvent *e)
{
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return !toMouseButton(static_cast<const QMouseEvent *>(e)->button());
    default:
        return false;
    }
}
} // namespace

TEditButton::TEditButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    QImage img(QStringLiteral(":/images/folderglyph.png"));
    img = img.convertToFormat(QImage::Format_ARGB32);
    // The lower-left colour of the picture is see-through.
    if (!img.isNull()) {
        const QRgb key = img.pixel(0, img.height() - 1);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) == key)
                    img.setPixel(x, y, 0);
    }
    Glyph = img;
}

void TEditButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor face = toQColor(clBtnFace), light = toQColor(clBtnHighlight), dark = toQColor(clBtnShadow);
    const int w = width(), h = height();
    p.fillRect(rect(), face);
    const bool down = isDown();
    p.setPen(down ? dark : light);
    p.drawLine(0, 0, w - 1, 0);
    p.drawLine(0, 0, 0, h - 1);
    p.setPen(down ? light : QColor(Qt::black));
    p.drawLine(0, h - 1, w - 1, h - 1);
    p.drawLine(w - 1, 0, w - 1, h - 1);
    if (!down) {
        p.setPen(dark);
        p.drawLine(1, h - 2, w - 2, h - 2);
        p.drawLine(w - 2, 1, w - 2, h - 2);
        // The button joins the box's frame on its left side.
        p.setPen(face);
        p.drawLine(0, 0, 0, h - 2);
        p.setPen(light);
        p.drawLine(1, 1, 1, h - 3);
    }
    const int shift = down ? 1 : 0;
    p.drawImage((w - Glyph.width()) / 2 + shift, (h - Glyph.height()) / 2 + shift, Glyph);
}

TDirectoryEdit::TDirectoryEdit(QWidget *parent)
    : QLineEdit(parent), FButtonHolder(new QWidget(this)), FButton(new TEditButton(FButtonHolder))
{
    auto *style = new CaretStyle(this);
    style->setParent(this);
    setStyle(style);
    setFrame(true);
    FButton->installEventFilter(this);
    connect(FButton, &QAbstractButton::clicked, this, [this] {
        try {
            DoBrowse();
        } catch (const EBrowseError &e) {
            platform::ErrorBox(this, e.Message);
        }
    });
    UpdateLayout();
}

std::string TDirectoryEdit::Text() const
{
    return TextToPath(text());
}

void TDirectoryEdit::SetText(const std::string &t)
{
    setText(PathToText(t));
}

void TDirectoryEdit::SetDirectInput(bool v)
{
    FDirectInput = v;
    UpdateReadOnly();
}

void TDirectoryEdit::SetReadOnly(bool v)
{
    FReadOnly = v;
    UpdateReadOnly();
}

void TDirectoryEdit::UpdateReadOnly()
{
    setReadOnly(!FDirectInput || FReadOnly);
}

void TDirectoryEdit::SetButtonWidth(int w)
{
    FButtonWidth = w;
    UpdateLayout();
}

QRect TDirectoryEdit::ButtonRect() const
{
    return QRect(width() - FButtonWidth - 2 * kFrame, 0, FButtonWidth, height() - 2 * kFrame);
}

QRect TDirectoryEdit::TextRect() const
{
    const int clientW = width() - 2 * kFrame, clientH = height() - 2 * kFrame;
    return QRect(0, 0, clientW - FButtonWidth - 2, clientH + 1);
}

void TDirectoryEdit::UpdateLayout()
{
    // The box is never lower than its text needs.
    const int minHeight = std::min(QFontMetrics(QFont()).height(), fontMetrics().height()) + 4 * kBorder + 1;
    if (height() < minHeight)
        resize(width(), minHeight);
    const QRect b = ButtonRect();
    FButtonHolder->setGeometry(b.translated(kFrame, kFrame));
    FButton->setGeometry(0, 0, b.width(), b.height());
    FButtonHolder->setVisible(FButtonWidth > 1);
    // The style's contents rectangle need not start at the client area: the
    // margins make the text's clip exactly the text rectangle.
    setTextMargins(0, 0, 0, 0);
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &opt, this);
    const QRect text = TextRect().translated(kFrame, kFrame);
    setTextMargins(text.left() - contents.left(), 0, contents.right() - text.right(), 0);
}

void TDirectoryEdit::resizeEvent(QResizeEvent *e)
{
    QLineEdit::resizeEvent(e);
    UpdateLayout();
}

void TDirectoryEdit::changeEvent(QEvent *e)
{
    QLineEdit::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        FButton->setEnabled(isEnabled());
    else if (e->type() == QEvent::FontChange)
        UpdateLayout();
}

bool TDirectoryEdit::event(QEvent *e)
{
    if (IsOtherButtonEvent(e)) {
        e->accept();
        return true;
    }
    return QLineEdit::event(e);
}

void TDirectoryEdit::showEvent(QShowEvent *e)
{
    QLineEdit::showEvent(e);
    FWindowJustShown = true;
    // The window sees a press before the toolkit moves the focus to the control under it.
    FWindow = window()->windowHandle();
    if (FWindow)
        FWindow->installEventFilter(this);
}

bool TDirectoryEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (IsOtherButtonEvent(event)) {
        if (watched == FButton)
            return true;
        if (watched == FWindow && isVisible()) {
            const QPoint at = mapFrom(window(), static_cast<QMouseEvent *>(event)->position().toPoint());
            if (rect().contains(at))
                return true;
        }
    }
    // A press on the browse button first brings the focus to the box.
    if (watched == FButton && event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && focusPolicy() != Qt::NoFocus
        && isEnabled() && !hasFocus())
        setFocus(Qt::MouseFocusReason);
    return QLineEdit::eventFilter(watched, event);
}

void TDirectoryEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    const bool justShown = std::exchange(FWindowJustShown, false);
    if (TakesFocusFromAnotherControl(e->reason(), justShown) && AutoSelect && FDirectInput)
        selectAll();
}

void TDirectoryEdit::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
        // A dialog key: the dialog presses its default button.
        if (QWidget *w = window(); w && w != this) {
            QKeyEvent copy(e->type(), key, e->modifiers(), e->text());
            QCoreApplication::sendEvent(w, &copy);
        }
        e->accept();
        return;
    }
    if (key == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        if (QWidget *w = window(); w && w != this) {
            QKeyEvent copy(e->type(), key, e->modifiers(), e->text());
            QCoreApplication::sendEvent(w, &copy);
        }
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
    if (QKeySequence(e->keyCombination()) == ClickKey && FButtonWidth > 0) {
        e->accept();
        try {
            DoBrowse();
        } catch (const EBrowseError &err) {
            platform::ErrorBox(this, err.Message);
        }
    }
}

void TDirectoryEdit::DoBrowse()
{
    if (FReadOnly)
        return;
    std::string start = Text();
    if (start.empty())
        start = InitialDir.empty() ? std::string("/") : InitialDir;
    if (!fsys::DirectoryExists(start))
        start.assign(1, '/');
    // The system's critical-error boxes have no counterpart here: nothing to switch off.
    TBrowseFolderDlg dlg;
    dlg.FolderName = start;
    dlg.DialogText = DialogText;
    dlg.HelpContext = HelpContext;
    const bool chosen = dlg.Execute(this);
    // Given back only when another control had it: the box that had it gets it
    // back with its window, selection unchanged.
    if (focusPolicy() != Qt::NoFocus && isEnabled() && isVisible() && window()->focusWidget() != this)
        setFocus(Qt::OtherFocusReason);
    if (!chosen)
        return;
    del();
    SetText(dlg.FolderName);
    if (!dlg.FolderName.empty() && fsys::DirectoryExists(dlg.FolderName))
        InitialDir = dlg.FolderName;
}

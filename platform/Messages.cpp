#include "Messages.h"

#include "WindowFrame.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>

namespace platform {

namespace {
BoxHook &boxHook()
{
    static BoxHook hook;
    return hook;
}

constexpr QChar kEllipsis(0x2026);
// Most lines a shortened line may wrap into, and the share of the screen's
// height the box may take.
constexpr int kMaxWrappedLines = 8;
constexpr int kScreenShare = 2;

// The box a walk shows for a folder it cannot enter: over the window it
// speaks for, whatever the window manager, and never larger than the screen.
class TWarningBox : public QMessageBox {
public:
    TWarningBox(QWidget *parent, const QString &text)
        : QMessageBox(QMessageBox::Warning, QStringLiteral("Avertissement"), QString(), QMessageBox::Ok, parent),
          FText(text)
    {
        setTextFormat(Qt::PlainText);
        setAccessibleDescription(text);
        if (auto *label = findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
            label->setAccessibleName(text);
        const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
        const QRect desk = s ? s->availableGeometry() : QRect(0, 0, 800, 600);
        // Each shortened line wraps into a few lines at most at the box's width.
        const int lines = std::clamp(desk.height() / kScreenShare / std::max(1, fontMetrics().lineSpacing()), 1,
                                     kMaxWrappedLines);
        FBudget = std::max(1, std::min(desk.width() / 2, 500)) * lines;
        setText(ElideLongLines(FText, fontMetrics(), FBudget));
    }

protected:
    void showEvent(QShowEvent *e) override
    {
        QMessageBox::showEvent(e);
        if (e->spontaneous())
            return;
        // The box knows its size only now: a box still larger than the screen
        // shows its long lines shorter.
        if (const QScreen *s = screen()) {
            const QSize room = s->availableGeometry().size();
            while ((height() > room.height() || width() > room.width()) && FBudget > 1) {
                FBudget /= 2;
                setText(ElideLongLines(FText, fontMetrics(), FBudget));
                adjustSize();
            }
        }
        if (QWidget *owner = parentWidget())
            CentreOver(this, owner, true);
    }

private:
    QString FText;
    int FBudget = 0;
};

// `line` cut in the middle so that it is at most maxWidth wide with the ellipsis.
QString ElideLine(const QString &line, const QFontMetrics &fm, int maxWidth)
{
    // Only so many characters can fit, however narrow: the measuring is done
    // on both ends of a long line, never on the whole of it.
    const qsizetype keep = qsizetype(maxWidth) + 1;
    QString candidate = line;
    bool cut = false;
    if (line.size() > 2 * keep) {
        qsizetype head = keep, tail = line.size() - keep;
        if (line.at(head - 1).isHighSurrogate())
            --head;
        if (line.at(tail).isLowSurrogate())
            ++tail;
        candidate = line.left(head) + kEllipsis + line.mid(tail);
        cut = true;
    }
    QString shown = fm.elidedText(candidate, Qt::ElideMiddle, maxWidth);
    if (shown == candidate && !cut)
        return line;
    return shown;
}
} // namespace

QString ElideLongLines(const QString &text, const QFontMetrics &fm, int maxWidth)
{
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), 4 * qsizetype(maxWidth) + 64));
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n'))
            ++end;
        out += ElideLine(text.mid(start, end - start), fm, maxWidth);
        if (end < text.size())
            out += text.at(end);
        start = end + 1;
    }
    return out;
}

void WarningBox(QWidget *parent, const QString &text)
{
    if (boxHook()) {
        boxHook()(QStringLiteral("warning"), text);
        return;
    }
    TWarningBox box(parent, text);
    box.exec();
}

void ErrorBox(QWidget *parent, const QString &text)
{
    if (boxHook()) {
        boxHook()(QStringLiteral("error"), text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

void SetBoxHook(BoxHook hook)
{
    boxHook() = std::move(hook);
}

} // namespace platform

#include "platform/Messages.h"

#include "platform/WindowFrame.h"

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
// The share of the screen's height the box may take, and the widest the
// toolkit lets a box grow before it wraps the text itself, as long as the
// screen is twice as wide.
constexpr int kScreenShare = 2;
constexpr int kWidestBox = 500;

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
        if (QLabel *label = Label())
            label->setAccessibleName(text);
        // A first cut, so that the first layout never measures a text of any length.
        const QRect desk = Desk();
        setText(FitLines(FText, fontMetrics(), std::min(desk.width() / 2, kWidestBox),
                         std::max(1, desk.height() / kScreenShare / fontMetrics().lineSpacing())));
    }

protected:
    void showEvent(QShowEvent *e) override
    {
        QMessageBox::showEvent(e);
        if (e->spontaneous())
            return;
        // Laid out, the box tells what it needs beside its text. The toolkit
        // wraps a text wider than it likes on its own, anywhere and after the
        // box was placed: the lines are cut until it no longer does.
        if (QLabel *label = Label()) {
            const QRect desk = Desk();
            const QFontMetrics fm = label->fontMetrics();
            const int lines = std::max(1, (desk.height() / kScreenShare - (height() - label->height())) / fm.lineSpacing());
            int room = std::min(desk.width() / 2, kWidestBox) - (width() - label->width());
            for (int tries = 0; tries < 16; ++tries, room -= fm.averageCharWidth()) {
                setText(FitLines(FText, fm, std::max(1, room), lines));
                if (!label->wordWrap())
                    break;
            }
        }
        // By the size it ends with.
        if (QWidget *owner = parentWidget())
            CentreOver(this, owner, true);
    }

private:
    QLabel *Label() const { return findChild<QLabel *>(QStringLiteral("qt_msgbox_label")); }
    QRect Desk() const
    {
        const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
        return s ? s->availableGeometry() : QRect(0, 0, 800, 600);
    }

    QString FText;
};

// The longest piece of `line` that starts at `from` and is at most maxWidth
// wide, its length: at least one character, never half a surrogate pair.
qsizetype headLength(const QString &line, qsizetype from, const QFontMetrics &fm, int maxWidth)
{
    // Only so many characters can fit, however narrow: no more are measured.
    qsizetype fits = 1, over = std::min(line.size() - from, qsizetype(maxWidth) + 1) + 1;
    while (over - fits > 1) {
        const qsizetype mid = (fits + over) / 2;
        (fm.horizontalAdvance(line.mid(from, mid)) <= maxWidth ? fits : over) = mid;
    }
    if (from + fits < line.size() && line.at(from + fits).isLowSurrogate())
        fits += fits > 1 ? -1 : 1;
    return fits;
}

// The same for the piece that ends at `to`.
qsizetype tailLength(const QString &line, qsizetype to, const QFontMetrics &fm, int maxWidth)
{
    qsizetype fits = 1, over = std::min(to, qsizetype(maxWidth) + 1) + 1;
    while (over - fits > 1) {
        const qsizetype mid = (fits + over) / 2;
        (fm.horizontalAdvance(line.mid(to - mid, mid)) <= maxWidth ? fits : over) = mid;
    }
    if (to - fits > 0 && line.at(to - fits).isLowSurrogate())
        fits += fits > 1 ? -1 : 1;
    return fits;
}

// A line of the text in at most maxLines lines.
QStringList fitLine(const QString &line, const QFontMetrics &fm, int maxWidth, int maxLines)
{
    // From its start, broken after a slash that keeps at least half the line.
    const auto head = [&](qsizetype from, int width) {
        qsizetype n = headLength(line, from, fm, width);
        const qsizetype slash = from + n < line.size() ? line.lastIndexOf(QLatin1Char('/'), from + n - 1) : -1;
        return slash >= from + n / 2 ? slash + 1 - from : n;
    };
    QStringList out;
    qsizetype end = 0;
    for (qsizetype n = 0; end < line.size() && out.size() < maxLines; end += n)
        out << line.mid(end, n = head(end, maxWidth));
    if (end >= line.size())
        return out.isEmpty() ? QStringList{line} : out;
    if (maxLines == 1) {
        // One line: its two ends, the middle left out; only so many
        // characters can fit, so the middle is dropped before measuring.
        const qsizetype keep = qsizetype(maxWidth) + 1;
        QString candidate = line;
        if (line.size() > 2 * keep) {
            qsizetype head = keep, tail = line.size() - keep;
            if (line.at(head - 1).isHighSurrogate())
                --head;
            if (line.at(tail).isLowSurrogate())
                ++tail;
            candidate = line.left(head) + kEllipsis + line.mid(tail);
        }
        return {fm.elidedText(candidate, Qt::ElideMiddle, maxWidth)};
    }
    // The first half of the lines from the start, the last ending with the
    // ellipsis; the rest from the end, each starting with a slash where it can.
    const int firstLines = maxLines / 2;
    QStringList tail;
    qsizetype start = line.size();
    while (start > 0 && tail.size() < maxLines - firstLines) {
        qsizetype n = tailLength(line, start, fm, maxWidth);
        const qsizetype slash = line.indexOf(QLatin1Char('/'), start - n);
        if (slash >= 0 && slash < start - n / 2 && slash > start - n)
            n = start - slash;
        tail.prepend(line.mid(start - n, n));
        start -= n;
    }
    out = out.mid(0, firstLines);
    end = 0;
    for (const QString &l : out)
        end += l.size();
    const qsizetype last = end - out.last().size();
    const qsizetype n = head(last, maxWidth - fm.horizontalAdvance(kEllipsis));
    if (last + n >= start) {
        // The two ends meet: nothing is left out, the end goes on where the start stops.
        for (qsizetype at = start; const QString &l : tail) {
            if (at + l.size() > end)
                out << line.mid(std::max(at, end), at + l.size() - std::max(at, end));
            at += l.size();
        }
        return out;
    }
    out.last() = line.mid(last, n) + kEllipsis;
    return out + tail;
}
} // namespace

QString FitLines(const QString &text, const QFontMetrics &fm, int maxWidth, int maxLines)
{
    QStringList lines;
    QString separators;
    for (qsizetype start = 0, end = 0; start <= text.size(); start = end + 1) {
        for (end = start; end < text.size() && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n');)
            ++end;
        lines << text.mid(start, end - start);
        if (end < text.size())
            separators += text.at(end);
    }
    QString out;
    int used = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int room = std::max(1, maxLines - used - int(lines.size() - 1 - i));
        const QStringList shown = fitLine(lines[i], fm, maxWidth, room);
        used += int(shown.size());
        out += shown.join(QLatin1Char('\n'));
        if (i < separators.size())
            out += separators.at(i);
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

// The main window's keys: each runs its command, the arrows step through the
// slices with the hover's tip, the keys belong to an open dialog and do
// nothing during a scan, and the README and the manual page list them as the
// window takes them.
#include "dialogs/DirSelDlg.h"
#include "widgets/FolderBrowse.h"
#include "dialogs/HelpDlg.h"
#include "app/Keys.h"
#include "support/Modal.h"
#include "widgets/PathEdit.h"
#include "support/ScanWindow.h"
#include "support/TestSupport.h"

#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QtTest>

namespace {

// The window with the dialogs its commands open, active, so that keys reach it
// as the platform delivers them.
struct Keyed : ScanWindow {
    TDirSelDlg dirSelDlg{&form, form.PatternTile()};
    THelpDlg helpDlg{&form, form.PatternTile()};
    explicit Keyed(int holdTicks = 0) : ScanWindow(holdTicks)
    {
        form.SetDialogs(&dirSelDlg, &helpDlg);
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }
    // A pie of 1, 1 and 2 kilobytes, drawn: two upper quarters and the lower half.
    void Quarters()
    {
        probe.Pie().AddPoint(1, "a", RGB(0x1E, 0, 0x50));
        probe.Pie().AddPoint(1, "b", RGB(255, 255, 255));
        probe.Pie().AddPoint(2, "c", RGB(0, 0x80, 0));
        QCoreApplication::processEvents();
    }
    void Press(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(form.windowHandle(), Qt::Key(key), modifiers);
    }
};

// While it lives, cancels every modal dialog that opens; names the first.
struct ModalCloser {
    QString opened;
    QTimer timer;
    ModalCloser()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                if (opened.isEmpty())
                    opened = QString::fromLatin1(modal->metaObject()->className());
                modal->done(mrCancel);
            }
        });
        timer.start(10);
    }
};
// The keys of each row of the README's key tables (those headed "Key"), in order.
QList<QStringList> ReadmeKeys(const QString &text)
{
    QList<QStringList> rows;
    bool inTable = false;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char('|'))) {
            inTable = false;
            continue;
        }
        const QString first = line.section(QLatin1Char('|'), 1, 1).trimmed();
        if (first == QLatin1String("Key"))
            inTable = true;
        else if (inTable && !first.startsWith(QLatin1Char('-')))
            rows << first.split(QStringLiteral(", "));
    }
    return rows;
}

// The keys of each tagged paragraph of the manual page's KEYS section, in order.
QList<QStringList> ManualKeys(const QString &text)
{
    QList<QStringList> rows;
    const QStringList lines = text.split(QLatin1Char('\n'));
    const qsizetype start = lines.indexOf(QStringLiteral(".SH KEYS"));
    static const QRegularExpression word(QStringLiteral("\"([^\"]*)\"|(\\S+)"));
    for (qsizetype i = start + 1; start >= 0 && i + 1 < lines.size() && !lines[i].startsWith(QLatin1String(".SH"));
         ++i) {
        if (lines[i] != QLatin1String(".TP"))
            continue;
        QString keys;
        auto words = word.globalMatch(lines[i + 1]);
        words.next(); // the macro
        while (words.hasNext()) {
            const QRegularExpressionMatch m = words.next();
            keys += m.captured(1).isNull() ? m.captured(2) : m.captured(1);
        }
        rows << keys.split(QStringLiteral(", "));
    }
    return rows;
}
} // namespace

class TestKeys : public QObject {
    Q_OBJECT
private slots:
    void keyRunsItsCommand_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("held");
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("taken");
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << false << "parent" << true;
        QTest::newRow("Alt+Up") << int(Qt::Key_Up) << int(Qt::AltModifier) << false << "parent" << true;
        QTest::newRow("Ctrl+O") << int(Qt::Key_O) << int(Qt::ControlModifier) << false << "TDirSelDlg" << true;
        QTest::newRow("F1") << int(Qt::Key_F1) << 0 << false << "THelpDlg" << true;
        QTest::newRow("Ctrl+Q") << int(Qt::Key_Q) << int(Qt::ControlModifier) << false << "quit" << true;
        QTest::newRow("Backspace held runs once") << int(Qt::Key_Backspace) << 0 << true << "" << true;
        // Keys of the desktop and the toolkit pass on.
        QTest::newRow("Alt+Space") << int(Qt::Key_Space) << int(Qt::AltModifier) << false << "" << false;
        QTest::newRow("Alt+F9") << int(Qt::Key_F9) << int(Qt::AltModifier) << false << "" << false;
        QTest::newRow("Ctrl+Shift+O") << int(Qt::Key_O) << int(Qt::ControlModifier | Qt::ShiftModifier) << false << ""
                                      << false;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << 0 << false << "" << false;
    }

    void keyRunsItsCommand()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, held);
        QFETCH(QString, command);
        QFETCH(bool, taken);
        TempTree t;
        t.Dir("a/b");
        Keyed w;
        w.form.scan(t.Path("a/b"));
        ModalCloser closer;
        QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), QString(), held);
        QApplication::sendEvent(&w.form, &press);
        QCoreApplication::processEvents();
        QString ran = closer.opened;
        if (!w.form.isVisible())
            ran = QStringLiteral("quit");
        else if (w.form.CurrentFolder() == t.Path("a"))
            ran = QStringLiteral("parent");
        QCOMPARE(ran, command);
        QCOMPARE(press.isAccepted(), taken);
    }

    // Keys reach the window from the platform; each step shows the hover's tip
    // with its top-left corner at the slice's middle angle, halfway to the rim.
    void keysStepThroughTheSlices_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("hovered");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QPoint>("at");
        const int R = Qt::Key_Right, L = Qt::Key_Left, U = Qt::Key_Up, D = Qt::Key_Down, Esc = Qt::Key_Escape;
        const QPoint a(138, 66), b(66, 66), c(102, 153);
        QTest::newRow("Right chooses the first") << QList<int>{R} << -1 << 0 << "a=1 Ko ." << a;
        QTest::newRow("Left chooses the last") << QList<int>{L} << -1 << 2 << "c=2 Ko ." << c;
        QTest::newRow("Right steps on") << QList<int>{R, R} << -1 << 1 << "b=1 Ko ." << b;
        QTest::newRow("Right wraps round") << QList<int>{R, R, R, R} << -1 << 0 << "a=1 Ko ." << a;
        QTest::newRow("Left wraps round") << QList<int>{R, L} << -1 << 2 << "c=2 Ko ." << c;
        QTest::newRow("Down as Right") << QList<int>{D, D} << -1 << 1 << "b=1 Ko ." << b;
        QTest::newRow("Up as Left") << QList<int>{U} << -1 << 2 << "c=2 Ko ." << c;
        QTest::newRow("on from the hovered slice") << QList<int>{R} << 1 << 2 << "c=2 Ko ." << c;
        QTest::newRow("back from the hovered slice") << QList<int>{L} << 1 << 0 << "a=1 Ko ." << a;
        QTest::newRow("Escape hides") << QList<int>{R, Esc} << -1 << 0 << "" << QPoint();
        QTest::newRow("on after Escape") << QList<int>{R, Esc, R} << -1 << 1 << "b=1 Ko ." << b;
        QTest::newRow("Escape hides the hover's tip") << QList<int>{Esc} << 1 << 1 << "" << QPoint();
        // By size: c, then a and b, equal, in listing order.
        const int Home = Qt::Key_Home, End = Qt::Key_End, PgDn = Qt::Key_PageDown, PgUp = Qt::Key_PageUp;
        QTest::newRow("Home chooses the largest") << QList<int>{Home} << -1 << 2 << "c=2 Ko ." << c;
        QTest::newRow("End chooses the last of the smallest") << QList<int>{End} << -1 << 1 << "b=1 Ko ." << b;
        QTest::newRow("Page Down first chooses the largest") << QList<int>{PgDn} << -1 << 2 << "c=2 Ko ." << c;
        QTest::newRow("Page Down steps to the next smaller") << QList<int>{PgDn, PgDn} << -1 << 0 << "a=1 Ko ." << a;
        QTest::newRow("Page Down through equal sizes in listing order")
            << QList<int>{PgDn, PgDn, PgDn} << -1 << 1 << "b=1 Ko ." << b;
        QTest::newRow("Page Down stops at the smallest") << QList<int>{End, PgDn} << -1 << 1 << "b=1 Ko ." << b;
        QTest::newRow("Page Up first chooses the smallest") << QList<int>{PgUp} << -1 << 1 << "b=1 Ko ." << b;
        QTest::newRow("Page Up back through equal sizes") << QList<int>{End, PgUp} << -1 << 0 << "a=1 Ko ." << a;
        QTest::newRow("Page Up stops at the largest") << QList<int>{Home, PgUp} << -1 << 2 << "c=2 Ko ." << c;
        QTest::newRow("by size on from the hovered slice") << QList<int>{PgUp} << 1 << 0 << "a=1 Ko ." << a;
        QTest::newRow("arrows on from a slice chosen by size") << QList<int>{Home, R} << -1 << 0 << "a=1 Ko ." << a;
    }

    // The order the size keys follow.
    void slicesBySize_data()
    {
        QTest::addColumn<QList<double>>("kilobytes");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("no slice") << QList<double>{} << QList<int>{};
        QTest::newRow("one") << QList<double>{5} << QList<int>{0};
        QTest::newRow("largest first") << QList<double>{1, 3, 2} << QList<int>{1, 2, 0};
        QTest::newRow("equal sizes in listing order") << QList<double>{1, 1, 2} << QList<int>{2, 0, 1};
        QTest::newRow("all equal") << QList<double>{0, 0, 0} << QList<int>{0, 1, 2};
        QTest::newRow("equal among others") << QList<double>{3, 1, 3, 2, 1} << QList<int>{0, 2, 3, 1, 4};
    }

    void slicesBySize()
    {
        QFETCH(QList<double>, kilobytes);
        QFETCH(QList<int>, order);
        const std::vector<int> bySize = SlicesBySize(kilobytes);
        QCOMPARE(QList<int>(bySize.begin(), bySize.end()), order);
    }

    // The folder dialog takes the keys the table gives it, as the window's
    // description tells them.
    void folderDialogTakesItsKeys_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        for (const TKeyBinding &binding : KeyBindings())
            for (const QKeyCombination k : binding.Keys)
                if (binding.Place == TKeyPlace::FolderDialog && k != QKeyCombination())
                    QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QString::fromUtf8(binding.French))
                                                 .arg(QKeySequence(k).toString())))
                        << int(binding.Command) << int(k.key()) << int(k.keyboardModifiers());
    }

    void folderDialogTakesItsKeys()
    {
        QFETCH(int, command);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        TForm1 form;
        TDirSelDlg dlg(&form, form.PatternTile());
        bool browsed = false, closed = false;
        TBrowseFolderDlg::SetBrowseHook([&](TBrowseFolderDlg &) {
            browsed = true;
            return false;
        });
        whenModal([&](QWidget *) {
            QTest::keyClick(dlg.DirEdit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            closed = !dlg.isVisible();
            if (!closed)
                dlg.done(mrCancel);
        });
        const int result = dlg.ShowModal();
        TBrowseFolderDlg::SetBrowseHook({});
        const auto c = TKeyCommand(command);
        QCOMPARE(browsed, c == TKeyCommand::Browse);
        QCOMPARE(closed, c != TKeyCommand::Browse);
        QCOMPARE(result, c == TKeyCommand::Accept ? mrOk : mrCancel);
    }

    void keysStepThroughTheSlices()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, hovered);
        QFETCH(int, chosen);
        QFETCH(QString, tip);
        QFETCH(QPoint, at);
        Keyed w;
        w.Quarters();
        if (hovered >= 0) {
            w.form.FormMouseMove(&w.probe.Chart(), 0, 60, 60);
            QCOMPARE(w.probe.Hovered(), hovered);
        }
        for (int key : keys)
            w.Press(key);
        QCOMPARE(w.probe.Chosen(), chosen);
        QCOMPARE(w.probe.Tip()->isVisible(), !tip.isEmpty());
        if (tip.isEmpty())
            return;
        QCOMPARE(w.probe.Tip()->text(), tip);
        QCOMPARE(w.probe.Tip()->geometry().topLeft(), w.form.pos() + QPoint(22, 22) + at);
        // The same tip as the hover's over that point.
        const QSize size = w.probe.Tip()->size();
        w.form.FormMouseMove(&w.probe.Chart(), 0, at.x(), at.y());
        QCOMPARE(w.probe.Tip()->text(), tip);
        QCOMPARE(w.probe.Tip()->size(), size);
    }

    // A tip the keys placed stays by its slice or goes; the hover's keeps its ways.
    void keysTipGoesWithTheWindow_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<bool>("shown");
        QTest::newRow("key's tip, window moved") << true << true << false;
        QTest::newRow("key's tip, another window active") << true << false << false;
        QTest::newRow("hover's tip, window moved") << false << true << true;
    }

    void keysTipGoesWithTheWindow()
    {
        QFETCH(bool, byKey);
        QFETCH(bool, moved);
        QFETCH(bool, shown);
        Keyed w;
        w.Quarters();
        if (byKey)
            w.Press(Qt::Key_Right);
        else
            w.form.FormMouseMove(&w.probe.Chart(), 0, 150, 60);
        QVERIFY(w.probe.Tip()->isVisible());
        QWidget other;
        if (moved) {
            w.form.move(w.form.pos() + QPoint(15, 9));
        } else {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        QCoreApplication::processEvents();
        QCOMPARE(w.probe.Tip()->isVisible(), shown);
    }

    void steppingLeavesThePiesPixels()
    {
        Keyed w;
        w.Quarters();
        const QImage before = w.form.grab().toImage();
        for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left, Qt::Key_Down, Qt::Key_Escape})
            w.Press(key);
        QCoreApplication::processEvents();
        QCOMPARE(w.form.grab().toImage(), before);
    }

    void enterOpensTheChosenSlice()
    {
        TempTree t;
        t.File("f", 10 * 1024);
        t.Dir("photos/x");
        t.Dir("vide");
        Keyed w;
        w.form.scan(t.Root());
        QCoreApplication::processEvents();
        for (int i = 0; i <= w.IndexOf("photos"); ++i)
            w.Press(Qt::Key_Right);
        QCOMPARE(w.probe.Tip()->text(), QStringLiteral("photos=0 Ko ."));
        // Out of sight after Escape: Enter opens nothing.
        w.Press(Qt::Key_Escape);
        w.Press(Qt::Key_Return);
        QCOMPARE(w.form.CurrentFolder(), t.Root());
        w.Press(Qt::Key_Left);
        w.Press(Qt::Key_Right);
        w.Press(Qt::Key_Return);
        QCOMPARE(w.form.CurrentFolder(), t.Path("photos"));
        QCOMPARE(w.Label(1), std::string("x"));
        // The new pie starts with nothing chosen and no tip.
        QCOMPARE(w.probe.Chosen(), -1);
        QVERIFY(!w.probe.Tip()->isVisible());
        w.Press(Qt::Key_Right);
        QCOMPARE(w.probe.Tip()->text(), QStringLiteral("fichiers=0 Ko ."));
    }

    // While the folder dialog is open the keys are its own, the real dialog's.
    void keysBelongToAnOpenDialog()
    {
        TempTree t;
        t.Dir("a/b");
        Keyed w;
        w.form.scan(t.Path("a/b"));
        bool blocked = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() != &w.dirSelDlg)
                return;
            poll.stop();
            QTimer::singleShot(10000, &w.dirSelDlg, [&] { w.dirSelDlg.done(mrCancel); });
            w.Press(Qt::Key_Backspace);
            w.Press(Qt::Key_Q, Qt::ControlModifier);
            QTest::keyClick(w.dirSelDlg.windowHandle(), Qt::Key_Q, Qt::ControlModifier);
            blocked = w.dirSelDlg.isVisible() && w.form.isVisible();
            QTest::keyClick(w.dirSelDlg.windowHandle(), Qt::Key_Escape);
        });
        poll.start(10);
        w.Press(Qt::Key_O, Qt::ControlModifier);
        QVERIFY(blocked);
        QVERIFY(!w.dirSelDlg.isVisible());
        QVERIFY(w.form.isVisible());
        QCOMPARE(w.form.CurrentFolder(), t.Path("a/b"));
    }

    void keysDoNothingDuringAScan()
    {
        TempTree t;
        QCOMPARE(Shell("cd '" + t.Root() + "' && mkdir -p $(seq -f 'a/d%g/x' 1 40) && touch a/f"), 0);
        Keyed w(2);
        bool pressed = false;
        ModalCloser closer;
        QObject::connect(&w.probe.Timer(), &QTimer::timeout, &w.form, [&] {
            if (pressed)
                return;
            pressed = true;
            for (QKeyCombination k : {QKeyCombination(Qt::Key_Backspace), Qt::ALT | Qt::Key_Up, Qt::CTRL | Qt::Key_O,
                                      QKeyCombination(Qt::Key_F1), Qt::CTRL | Qt::Key_Q,
                                      QKeyCombination(Qt::Key_Right), QKeyCombination(Qt::Key_Return)}) {
                QKeyEvent press(QEvent::KeyPress, k.key(), k.keyboardModifiers());
                QApplication::sendEvent(&w.form, &press);
            }
        });
        w.form.scan(t.Root());
        QVERIFY(pressed);
        QCOMPARE(closer.opened, QString());
        QVERIFY(w.form.isVisible());
        QCOMPARE(w.form.CurrentFolder(), t.Root());
        QCOMPARE(w.Label(1), std::string("a"));
    }

    // The README and the manual page list the keys the window takes, as it takes them.
    void keysAsDocumented_data()
    {
        QTest::addColumn<QString>("document");
        QTest::newRow("README") << QStringLiteral("README.md");
        QTest::newRow("manual page") << QStringLiteral("packaging/quintavo.1");
    }

    void keysAsDocumented()
    {
        QFETCH(QString, document);
        QFile file(QStringLiteral(QUINTAVO_SOURCE_DIR "/") + document);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QList<QStringList> keys;
        for (const TKeyBinding &binding : KeyBindings())
            keys << EnglishKeyNames(binding);
        QCOMPARE(document.endsWith(QLatin1String(".1")) ? ManualKeys(text) : ReadmeKeys(text), keys);
    }
};

QTEST_MAIN(TestKeys)
#include "tst_keys.moc"

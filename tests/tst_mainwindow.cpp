// The round main window: its tile, mask, ring, chart corners, dragging and keys.
#include "Chart.h"
#include "DirSelDlg.h"
#include "FreeBtn.h"
#include "GraphicsRaster.h"
#include "HelpDlg.h"
#include "HintWindow.h"
#include "Image.h"
#include "Keys.h"
#include "Messages.h"
#include "PieSeries.h"
#include "ScanWindow.h"
#include "Shape.h"
#include "TestSupport.h"
#include "Unit1.h"

#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QProcess>
#include <QtTest>

namespace {

struct Shown {
    TForm1 form;
    TForm1::TProbe probe{form};
    Shown()
    {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCoreApplication::processEvents();
    }
    QImage Grab() { return form.grab().toImage(); }
};

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

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void layout()
    {
        Shown s;
        QCOMPARE(s.form.size(), QSize(250, 250));
        QVERIFY(s.form.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(s.probe.Chart().geometry(), QRect(22, 22, 205, 205));
        QCOMPARE(s.probe.BackBtn().geometry(), QRect(3, 106, 19, 44));
        QCOMPARE(s.probe.ScanBtn().geometry(), QRect(226, 106, 19, 44));
        QCOMPARE(s.probe.MinBtn().geometry(), QRect(91, 7, 17, 17));
        QCOMPARE(s.probe.CloseBtn().geometry(), QRect(146, 7, 17, 17));
        QCOMPARE(s.probe.HelpBtn().geometry(), QRect(118, 229, 17, 17));
        QCOMPARE(s.probe.HelpBtn().Hint(), QStringLiteral("Aide et dossier courant..."));
        QCOMPARE(s.probe.ScanBtn().Hint(), QStringLiteral("Choix du dossier..."));
        QCOMPARE(s.probe.BackBtn().Hint(), QStringLiteral("Dossier parent"));
        QCOMPARE(s.probe.MinBtn().Hint(), QStringLiteral("Réduire"));
        QCOMPARE(s.probe.CloseBtn().Hint(), QStringLiteral("Quitter"));
        QCOMPARE(s.probe.Pie().PointCount(), 0);
    }

    void tileIsExactlyTheStoredPattern()
    {
        TForm1 form;
        const QImage &tile = form.PatternTile();
        QCOMPARE(tile.size(), QSize(8, 8));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                QCOMPARE(Rgb(tile, x, y), kTile[y][x]);
    }

    void windowIsTheCircleOfFond()
    {
        Shown s;
        QVERIFY((s.form.mask() ^ EllipsePixels(0, 0, 250, 250).ToRegion()).isEmpty());
        QVERIFY(!s.form.mask().contains(QPoint(2, 2)));
        QVERIFY(s.form.mask().contains(QPoint(125, 125)));
        // The circle reaches the last column and row of the window.
        QVERIFY(s.form.mask().contains(QPoint(249, 124)));
        QVERIFY(s.form.mask().contains(QPoint(124, 249)));
        QVERIFY(s.form.mask().contains(QPoint(0, 125)));
    }

    // Fond's ring runs right to the edge of the window's region: every pixel the
    // window shows is drawn, none is the window's own teal, and the outermost
    // pixels round the chart are the ring's.
    void noTealAndTheRingMeetsTheRegion()
    {
        Shown s;
        s.probe.Pie().AddPoint(1, "a", clRed);
        QCoreApplication::processEvents();
        const QImage img = s.Grab();
        const TPixelSet shown = EllipsePixels(0, 0, 250, 250);
        for (const QPoint &p : shown.Points())
            QVERIFY2(Rgb(img, p.x(), p.y()) != 0x008080u, qPrintable(QStringLiteral("teal at %1,%2").arg(p.x()).arg(p.y())));
        const QRect chart = s.probe.Chart().geometry();
        for (const QPoint &p : shown.Boundary().Points())
            if (!chart.contains(p))
                QVERIFY2(Rgb(img, p.x(), p.y()) == 0x0000FFu, qPrintable(QStringLiteral("no ring at %1,%2").arg(p.x()).arg(p.y())));
    }

    // The corner region is the chart's box less its ellipse, the same pixels a
    // filled ellipse of that box covers: the pie's rim shows at the middle of every
    // side, and the corners outside that ellipse hold only tile and ring.
    void cornerTileMeetsThePieRim()
    {
        Shown s;
        s.probe.Pie().AddPoint(1, "a", clRed);
        QCoreApplication::processEvents();
        const QImage chart = s.probe.Chart().grab().toImage();
        QCOMPARE(Rgb(chart, 0, 101), 0x000000u);
        QCOMPARE(Rgb(chart, 101, 0), 0x000000u);
        QCOMPARE(Rgb(chart, 203, 101), 0x000000u);
        QCOMPARE(Rgb(chart, 101, 203), 0x000000u);
        QCOMPARE(Rgb(chart, 1, 101), 0xFF0000u);
        const TPixelSet inside = EllipsePixels(0, 0, 205, 205);
        for (int y = 0; y < 205; ++y)
            for (int x = 0; x < 205; ++x) {
                if (inside.Contains(x, y))
                    continue;
                const std::uint32_t c = Rgb(chart, x, y);
                QVERIFY2(c == kTile[y % 8][x % 8] || c == 0x0000FFu, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
    }

    void frameShowsRingTileAndNavyDisc()
    {
        Shown s;
        const QImage img = s.Grab();
        // The ring on the left edge, the tile laid from the window's corner, the navy pie area.
        QCOMPARE(Rgb(img, 1, 125), 0x0000FFu);
        QCOMPARE(Rgb(img, 11, 90), kTile[90 % 8][11 % 8]);
        QCOMPARE(Rgb(img, 125, 125), 0x000080u);
        QCOMPARE(Rgb(img, 125, 60), 0x000080u);
    }

    void chartCornersShowTileAndRing()
    {
        Shown s;
        s.probe.Chart().Invalidate();
        QCoreApplication::processEvents();
        const QImage chart = s.probe.Chart().grab().toImage();
        // Corner pixels carry the tile laid from the chart's own corner, never the navy background.
        QCOMPARE(Rgb(chart, 3, 0), kTile[0][3]);
        QCOMPARE(Rgb(chart, 0, 3), kTile[3][0]);
        QCOMPARE(Rgb(chart, 204, 200), kTile[200 % 8][204 % 8]);
        bool ring = false;
        for (int d = 8; d < 22; ++d)
            ring = ring || Rgb(chart, d, d) == 0x0000FFu;
        QVERIFY(ring);
        QCOMPARE(Rgb(chart, 102, 102), 0x000080u);
    }

    void cornersSurviveARepaintOfTheKeptFrame()
    {
        Shown s;
        s.probe.Pie().AddPoint(3, "a", RGB(0x1E, 0, 0x50));
        s.probe.Pie().AddPoint(1, "b", RGB(255, 255, 255));
        QCoreApplication::processEvents();
        s.probe.Chart().Repaint();
        QCoreApplication::processEvents();
        const QImage chart = s.probe.Chart().grab().toImage();
        QCOMPARE(Rgb(chart, 3, 0), kTile[0][3]);
        QCOMPARE(Rgb(chart, 102, 60), 0x1E0050u);
        QCOMPARE(Rgb(chart, 110, 170), 0xFFFFFFu);
        // Column 102 under the centre is the ray at six o'clock: the black edge.
        QCOMPARE(Rgb(chart, 102, 170), 0x000000u);
    }

    void drag_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("onChart");
        QTest::newRow("left on the frame") << int(Qt::LeftButton) << false;
        QTest::newRow("right on the frame") << int(Qt::RightButton) << false;
        QTest::newRow("middle on the frame") << int(Qt::MiddleButton) << false;
        QTest::newRow("left on the chart") << int(Qt::LeftButton) << true;
        QTest::newRow("right on the chart") << int(Qt::RightButton) << true;
    }

    void drag()
    {
        QFETCH(int, button);
        QFETCH(bool, onChart);
        Shown s;
        s.form.move(100, 80);
        QCoreApplication::processEvents();
        const QPoint start = s.form.pos();
        QWidget *target = onChart ? static_cast<QWidget *>(&s.probe.Chart()) : static_cast<QWidget *>(&s.probe.Frame());
        const QPoint local = onChart ? QPoint(10, 190) : QPoint(30, 125);
        const QPoint grabbed = target->mapToGlobal(local);
        QTest::mousePress(target, Qt::MouseButton(button), {}, local);
        QVERIFY(s.probe.Dragging());
        const QPoint steps[] = {QPoint(7, 3), QPoint(40, -25), QPoint(-13, 61)};
        for (const QPoint &d : steps) {
            const QPoint pointer = grabbed + d;
            QTest::mouseMove(&s.form, s.form.mapFromGlobal(pointer));
            QCOMPARE(s.form.pos(), start + d);
            // The pointer keeps its place relative to the window.
            QCOMPARE(s.form.mapFromGlobal(pointer), grabbed - start);
        }
        QTest::mouseRelease(&s.form, Qt::MouseButton(button), {}, s.form.mapFromGlobal(grabbed + steps[2]));
        QVERIFY(!s.probe.Dragging());
        QCOMPARE(s.form.pos(), start + steps[2]);
    }

    // Side buttons (X11 buttons 8 and 9) do nothing anywhere: no drag, no
    // click, no slice, on any of the window's parts.
    void otherButtonsDoNothing_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<int>("button");
        for (const char *part : {"frame", "slice", "window", "button"}) {
            QTest::newRow(qPrintable(QStringLiteral("back on the %1").arg(QLatin1String(part))))
                << QString::fromLatin1(part) << int(Qt::BackButton);
            QTest::newRow(qPrintable(QStringLiteral("forward on the %1").arg(QLatin1String(part))))
                << QString::fromLatin1(part) << int(Qt::ForwardButton);
        }
    }

    void otherButtonsDoNothing()
    {
        QFETCH(QString, part);
        QFETCH(int, button);
        Shown s;
        s.probe.Pie().AddPoint(1, "a", RGB(0x1E, 0, 0x50));
        QCoreApplication::processEvents();
        int downs = 0, clicks = 0;
        const auto drag = s.probe.Chart().OnMouseDown;
        s.probe.Chart().OnMouseDown = [&](QObject *o, TMouseButton b, TShiftState sh, int x, int y) {
            ++downs;
            drag(o, b, sh, x, y);
        };
        s.probe.Chart().OnClickSeries = [&](TCustomChart *, TChartSeries *, int, TMouseButton, TShiftState, int, int) {
            ++clicks;
        };
        s.probe.MinBtn().OnClick = [&](QObject *) { ++clicks; };
        QWidget *target = &s.probe.Frame();
        QPoint at(30, 125);
        if (part == QLatin1String("slice"))
            target = &s.probe.Chart(), at = QPoint(102, 60);
        else if (part == QLatin1String("window"))
            target = &s.form;
        else if (part == QLatin1String("button"))
            target = &s.probe.MinBtn(), at = QPoint(8, 8);
        const QPoint start = s.form.pos();
        const QImage shown = s.probe.MinBtn().CurrentImage().Image();
        const auto b = Qt::MouseButton(button);
        QTest::mousePress(target, b, {}, at);
        QVERIFY(!s.probe.Dragging());
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QTest::mouseMove(&s.form, QPoint(60, 140));
        QTest::mouseRelease(target, b, {}, at);
        QTest::mouseDClick(target, b, {}, at);
        QCOMPARE(s.form.pos(), start);
        QCOMPARE(downs, 0);
        QCOMPARE(clicks, 0);
        QCOMPARE(s.probe.MinBtn().CurrentImage().Image(), shown);
    }

    void otherButtonReleaseDoesNotEndADrag()
    {
        Shown s;
        s.form.move(100, 80);
        QCoreApplication::processEvents();
        QTest::mousePress(&s.probe.Frame(), Qt::LeftButton, {}, QPoint(30, 125));
        QTest::mousePress(&s.form, Qt::BackButton, {}, QPoint(30, 125));
        QTest::mouseRelease(&s.form, Qt::BackButton, {}, QPoint(30, 125));
        QVERIFY(s.probe.Dragging());
        QCOMPARE(QWidget::mouseGrabber(), static_cast<QWidget *>(&s.form));
        QTest::mouseRelease(&s.form, Qt::LeftButton, {}, QPoint(30, 125));
        QVERIFY(!s.probe.Dragging());
    }

    // A modal window that opens during a drag (the walk's warning box, any
    // dialog) takes the release: the drag and the capture end when it opens.
    void modalWindowEndsTheDrag_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("warning box") << QStringLiteral("warning");
        QTest::newRow("error box") << QStringLiteral("error");
        QTest::newRow("modal dialog") << QStringLiteral("dialog");
    }

    void modalWindowEndsTheDrag()
    {
        QFETCH(QString, kind);
        Shown s;
        s.form.move(100, 80);
        QCoreApplication::processEvents();
        QTest::mousePress(&s.probe.Chart(), Qt::LeftButton, {}, QPoint(10, 190));
        QVERIFY(s.probe.Dragging());
        QCOMPARE(QWidget::mouseGrabber(), static_cast<QWidget *>(&s.form));
        bool seen = false, grabbed = true, dragging = true;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
            seen = true;
            grabbed = QWidget::mouseGrabber() != nullptr;
            dragging = s.probe.Dragging();
            qobject_cast<QDialog *>(QApplication::activeModalWidget())->done(0);
        });
        if (kind == QLatin1String("warning"))
            platform::WarningBox(&s.form, QStringLiteral("Impossible d'atteindre :\r/x"));
        else if (kind == QLatin1String("error"))
            platform::ErrorBox(&s.form, QStringLiteral("x"));
        else
            QDialog(&s.form).exec();
        QVERIFY(seen);
        QVERIFY(!grabbed);
        QVERIFY(!dragging);
        // The pointer moving afterwards leaves the window where it is.
        const QPoint at = s.form.pos();
        QTest::mouseMove(&s.probe.Chart(), QPoint(40, 150));
        QCOMPARE(s.form.pos(), at);
    }

    // The tip's number follows the locale the process was started in.
    void tipFollowsTheProcessLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("tip");
        QTest::newRow("French") << QStringLiteral("fr_FR.UTF-8") << QStringLiteral("a=1,50 Mo .");
        QTest::newRow("C") << QStringLiteral("C") << QStringLiteral("a=1.50 Mo .");
    }

    void tipFollowsTheProcessLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, tip);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), locale);
        env.insert(QStringLiteral("LANG"), locale);
        env.insert(QStringLiteral("QUINTAVO_EXPECTED_TIP"), tip);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("tipInTheProcessLocale")});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray out = child.readAllStandardOutput() + child.readAllStandardError();
        QVERIFY2(child.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("PASS   : TestMainWindow::tipInTheProcessLocale()"), out.constData());
    }

    // Run by tipFollowsTheProcessLocale in a child process.
    void tipInTheProcessLocale()
    {
        const QString expected = qEnvironmentVariable("QUINTAVO_EXPECTED_TIP");
        if (expected.isEmpty())
            QSKIP("run by tipFollowsTheProcessLocale");
        Shown s;
        s.probe.Pie().AddPoint(1536, "a", RGB(0x1E, 0, 0x50));
        QCoreApplication::processEvents();
        QTest::mouseMove(&s.probe.Chart(), QPoint(102, 60));
        QCOMPARE(s.probe.Tip()->text(), expected);
    }

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

    void minimiseAndClose()
    {
        Shown s;
        s.form.MinBtnClick(nullptr);
        QVERIFY(s.form.isMinimized());
        s.form.showNormal();
        s.form.CloseBtnClick(nullptr);
        QVERIFY(!s.form.isVisible());
        QVERIFY(s.probe.EntitiesFreed());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

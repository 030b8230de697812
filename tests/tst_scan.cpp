// The folder scan on real trees, the slice read-out and the navigation commands.
#include "chart/Chart.h"
#include "support/WalkCompare.h"
#include "widgets/FreeBtn.h"
#include "platform/HintWindow.h"
#include "platform/Messages.h"
#include "chart/PieSeries.h"
#include "app/SizeText.h"
#include "support/ScanWindow.h"
#include "support/TestSupport.h"
#include "app/Unit1.h"

#include <QtTest>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

using Window = ScanWindow;

class TestScan : public QObject {
    Q_OBJECT
private slots:
    void entityColours_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<uint>("rgb");
        QTest::newRow("2") << 2 << 0x1E0050u;
        QTest::newRow("3") << 3 << 0x2D0064u;
        QTest::newRow("9") << 9 << 0x8700FFu;
        QTest::newRow("10") << 10 << 0x000032u;
        QTest::newRow("13") << 13 << 0x1E0064u;
        QTest::newRow("20") << 20 << 0x000032u;
        QTest::newRow("29") << 29 << 0x5A00FFu;
    }

    void entityColours()
    {
        QFETCH(int, count);
        QFETCH(uint, rgb);
        const TColor c = EntityColor(count);
        QCOMPARE(uint((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c)), rgb);
    }

    void folderGivesFilesFirstThenSubFolders()
    {
        TempTree t;
        for (int i = 0; i < 10; ++i)
            t.File("sub" + std::to_string(i) + "/f", 4096 * (i + 1));
        t.File("loose", 10 * 1024);
        Window w;
        w.form.scan(t.Root());
        QCOMPARE(w.Pie().PointCount(), 11);
        QCOMPARE(w.Label(0), std::string("fichiers"));
        QCOMPARE(w.Pie().ColorAt(0), RGB(255, 255, 255));
        QCOMPARE(w.Pie().YValueAt(0), 10.0);
        QCOMPARE(w.Pie().ColorAt(1), RGB(0x1E, 0, 0x50));
        QCOMPARE(w.Pie().ColorAt(9), RGB(0, 0, 0x32));
        double sum = 0;
        for (int i = 1; i < 11; ++i)
            sum += w.Pie().YValueAt(i);
        QCOMPARE(sum, 4.0 * 55);
        QCOMPARE(CurrentDir(), t.Root());
        QCOMPARE(w.probe.HelpBtn().Hint(), QString::fromLocal8Bit(t.Root().c_str()));
        QVERIFY(w.warnings.isEmpty());
        QVERIFY(w.probe.BackBtn().isEnabled());
    }

    void driveRootAddsFreeSpaceFirst()
    {
        TempTree t;
        const std::string mnt = t.Dir("mnt");
        if (::mount("quintavo", mnt.c_str(), "tmpfs", 0, "size=4m") != 0)
            QSKIP("cannot mount a tmpfs here");
        t.File("mnt/a/f", 3000);
        t.File("mnt/g", 5000);
        {
            Window w;
            w.form.scan(mnt + "/");
            QCOMPARE(w.Label(0), std::string("Espace libre"));
            QCOMPARE(w.Pie().ColorAt(0), RGB(0, 0, 0));
            QVERIFY(w.Pie().YValueAt(0) > 3000);
            QCOMPARE(w.Label(1), std::string("fichiers"));
            QCOMPARE(w.Pie().YValueAt(1), 4.0);
            QCOMPARE(w.Label(2), std::string("a"));
            QCOMPARE(w.Pie().ColorAt(2), RGB(0x2D, 0, 0x64));
        }
        ::umount(mnt.c_str());
    }

    void filesRoundDownOneByOne()
    {
        TempTree t;
        t.File("a", 1023);
        t.File("b", 2047);
        t.File("c", 1023);
        t.File("d/e", 1023);
        t.File("d/f", 2048);
        Window w;
        w.form.scan(t.Root());
        QCOMPARE(w.Size("fichiers"), 1.0);
        QCOMPARE(w.Size("d"), 2.0);
        QCOMPARE(w.form.GetDirSize(t.Path("d")), std::int64_t(2));
    }

    void hiddenFoldersOnlyAtTheTop()
    {
        TempTree t;
        t.File(".top/x", 4096);
        t.File(".top/.deeper/y", 8192);
        t.File("vis/.hidden", 2048);
        t.File("vis/.skip/z", 4096);
        t.File(".dotfile", 3072);
        Window w;
        w.form.scan(t.Root());
        QCOMPARE(w.Size(".top"), 4.0);
        QCOMPARE(w.Size("vis"), 2.0);
        QCOMPARE(w.Size("fichiers"), 3.0);
    }

    void emptyFolderHasOnlyTheFilesSlice()
    {
        TempTree t;
        Window w;
        w.form.scan(t.Root() + "/");
        QCOMPARE(w.Pie().PointCount(), 1);
        QCOMPARE(w.Size("fichiers"), 0.0);
    }

    void failedScanChangesNothing()
    {
        TempTree t;
        t.File("s/f", 1024);
        Window w;
        w.form.scan(t.Root());
        const QString tip = w.probe.HelpBtn().Hint();
        w.form.scan(t.Path("missing/"));
        w.form.scan(t.Path("s/f"));
        QCOMPARE(w.Pie().PointCount(), 2);
        QCOMPARE(w.probe.HelpBtn().Hint(), tip);
        QCOMPARE(CurrentDir(), t.Root());
        QVERIFY(w.warnings.isEmpty());
        QVERIFY(w.probe.ScanBtn().isEnabled());
    }

    void linksAreNotFollowed()
    {
        TempTree t;
        t.File("real/f", 10 * 1024);
        t.Link("real/up", "..");
        t.Link("real/self", "self");
        t.Link("real/broken", "nowhere");
        t.Link("toreal", "real");
        Window w;
        w.form.scan(t.Root());
        QCOMPARE(w.Size("real"), 10.0);
        QCOMPARE(w.IndexOf("toreal"), -1);
        QVERIFY(w.warnings.isEmpty());
    }

    void veryDeepTreeIsWalkedWhole()
    {
        TempTree t;
        std::string rel = "deep";
        for (int i = 0; i < 5000; ++i)
            rel += "/a";
        QCOMPARE(Shell("mkdir -p '" + t.Path(rel) + "'"), 0);
        // A file at the bottom, reached through a path far longer than PATH_MAX.
        int fd = ::open(t.Path("deep").c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < 5000 && fd >= 0; ++i) {
            const int next = ::openat(fd, "a", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        QVERIFY(fd >= 0);
        const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT, 0644);
        QVERIFY(file >= 0 && ::ftruncate(file, 5120) == 0);
        ::close(file);
        ::close(fd);
        t.File("deep/a/a/side", 2048);
        Window w;
        w.form.scan(t.Root());
        QCOMPARE(w.Size("deep"), 7.0);
        QVERIFY(w.warnings.isEmpty());
    }

    void hugeSparseFileDoesNotWrap()
    {
        TempTree t;
        t.File("big/three_tib", std::int64_t(3) << 40);
        t.File("big/four_g_kb", std::int64_t(1) << 42);
        Window w;
        w.form.scan(t.Root());
        QCOMPARE(w.Size("big"), double((std::int64_t(3) << 30) + (std::int64_t(1) << 32)));
    }

    void cannotEnterWarnsOncePerFolder()
    {
        if (::geteuid() != 0 && ::getuid() != 0) {
            runPermissionCase(QString());
            return;
        }
        if (Shell("command -v setpriv >/dev/null") != 0)
            QSKIP("setpriv is needed to drop root");
        TempTree t;
        t.File("a/ok/f", 1024);
        t.File("a/closed/f", 4096);
        t.File("a/noread/f", 4096);
        t.File("a/nosearch/f", 4096);
        t.File("a/zero", 2048);
        t.File("a/later/f", 1024);
        QCOMPARE(Shell("chown 65534:65534 '" + t.Path("a/later") + "'"), 0);
        QCOMPARE(Shell("chmod 000 '" + t.Path("a/closed") + "' '" + t.Path("a/zero") + "' && chmod 311 '"
                       + t.Path("a/noread") + "' && chmod 644 '" + t.Path("a/nosearch") + "'"),
                 0);
        const QByteArray failure = RunUnprivileged("TestScan", "cannotEnterWarnsOncePerFolder", t.Root());
        QVERIFY2(failure.isEmpty(), failure.constData());
    }

    void tipTexts_data()
    {
        QTest::addColumn<double>("kb");
        QTest::addColumn<QString>("text");
        QTest::newRow("512") << 512.0 << QStringLiteral("512 Ko .");
        QTest::newRow("0") << 0.0 << QStringLiteral("0 Ko .");
        QTest::newRow("999 stays in Ko") << 999.0 << QStringLiteral("999 Ko .");
        QTest::newRow("1000 is megabytes") << 1000.0 << QStringLiteral("0,98 Mo .");
        QTest::newRow("1536") << 1536.0 << QStringLiteral("1,50 Mo .");
        QTest::newRow("999.02 MB is gigabytes") << 1023000.0 << QStringLiteral("0,98 Go .");
        QTest::newRow("3 TiB") << 3221225472.0 << QStringLiteral("3072,00 Go .");
        QTest::newRow("rounds to whole kilobytes first") << 511.6 << QStringLiteral("512 Ko .");
        // Six digits are judged on the number as rounded to six significant digits.
        QTest::newRow("999999.4 Go keeps six digits") << 999999.4 * 1048576 << QStringLiteral("999999,00 Go .");
        QTest::newRow("999999.7 Go rounds to seven digits") << 999999.7 * 1048576 << QStringLiteral("1,00000E+06 Go .");
        QTest::newRow("above a million Go") << 1234567.0 * 1048576 << QStringLiteral("1,23457E+06 Go .");
    }

    void tipTexts()
    {
        QFETCH(double, kb);
        QFETCH(QString, text);
        QCOMPARE(SizeText(kb, QLocale(QLocale::French)), text);
        QCOMPARE(SliceTipText(QStringLiteral("doc"), kb, QLocale(QLocale::French)), QStringLiteral("doc=") + text);
    }

    void insideCircle_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("inside");
        QTest::newRow("centre") << QPoint(102, 102) << true;
        QTest::newRow("corner") << QPoint(2, 2) << false;
        QTest::newRow("radius 101") << QPoint(203, 102) << true;
        QTest::newRow("radius 102") << QPoint(204, 102) << false;
    }

    void insideCircle()
    {
        QFETCH(QPoint, point);
        QFETCH(bool, inside);
        QCOMPARE(InsideCircle(point.x(), point.y(), 205, 205), inside);
    }

    void hoverShowsTheTipOnlyInsideTheCircle()
    {
        TempTree t;
        t.File("only/f", 2048);
        Window w;
        w.form.scan(t.Root());
        w.probe.Chart().repaint();
        QCoreApplication::processEvents();
        w.form.FormMouseMove(&w.probe.Chart(), 0, 102, 150);
        QVERIFY(w.probe.Tip()->isVisible());
        QVERIFY(w.probe.Tip()->text().endsWith(QStringLiteral(" Ko .")));
        QCOMPARE(w.probe.Tip()->pos(), w.form.mapToGlobal(QPoint(102, 150)));
        // The text's own size, and the 4 pixels the tip window adds below.
        const QFontMetrics fm(w.probe.Tip()->font());
        const QString text = w.probe.Tip()->text();
        QCOMPARE(w.probe.Tip()->size(), QSize(fm.horizontalAdvance(text), fm.height() + 4));
        w.form.FormMouseMove(&w.probe.Chart(), 0, 2, 2);
        QVERIFY(!w.probe.Tip()->isVisible());
    }

    void slicesOpenTheirFolder()
    {
        TempTree t;
        const std::string odd("caf\xe9", 4);
        t.File(odd + "/f", 1024);
        t.File("fichiers_not/f", 1024);
        Window w;
        w.form.scan(t.Root());
        w.probe.Chart().repaint();
        // A click outside the circle does nothing.
        w.form.Chart1ClickSeries(&w.probe.Chart(), &w.probe.Pie(), w.IndexOf(odd), TMouseButton::mbLeft, 0, 2, 2);
        QCOMPARE(CurrentDir(), t.Root());
        // The files slice names no folder: nothing changes.
        w.form.Chart1ClickSeries(&w.probe.Chart(), &w.probe.Pie(), 0, TMouseButton::mbLeft, 0, 102, 102);
        QCOMPARE(CurrentDir(), t.Root());
        // A folder whose name is not valid UTF-8 still opens.
        w.form.Chart1ClickSeries(&w.probe.Chart(), &w.probe.Pie(), w.IndexOf(odd), TMouseButton::mbLeft, 0, 102, 102);
        QCOMPARE(QByteArray::fromStdString(CurrentDir()), QByteArray::fromStdString(t.Path(odd)));
        QCOMPARE(w.Pie().PointCount(), 1);
        QCOMPARE(w.Size("fichiers"), 1.0);
    }

    void filesSliceOpensARealFolderOfThatName()
    {
        TempTree t;
        t.File("fichiers/f", 2048);
        Window w;
        w.form.scan(t.Root());
        QCOMPARE(w.IndexOf("fichiers"), 0);
        w.form.Chart1ClickSeries(&w.probe.Chart(), &w.probe.Pie(), 0, TMouseButton::mbLeft, 0, 102, 102);
        QCOMPARE(CurrentDir(), t.Path("fichiers"));
    }

    void parentFolder_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("parent");
        QTest::newRow("two levels down") << QStringLiteral("/usr/share") << QStringLiteral("/usr");
        QTest::newRow("below the root") << QStringLiteral("/usr") << QStringLiteral("/");
        QTest::newRow("the root rescans the root") << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("no separator") << QStringLiteral("abc") << QString();
    }

    void parentFolder()
    {
        QFETCH(QString, current);
        QFETCH(QString, parent);
        QCOMPARE(QString::fromStdString(ParentFolder(current.toStdString())), parent);
    }

    void backButtonScansTheParent()
    {
        TempTree t;
        t.File("up/down/f", 1024);
        Window w;
        ChangeDir(t.Path("up/down"));
        w.form.Button4Click(nullptr);
        QCOMPARE(CurrentDir(), t.Path("up"));
        QCOMPARE(w.probe.HelpBtn().Hint(), QString::fromLocal8Bit((t.Path("up") + "/").c_str()));
        QCOMPARE(w.Size("down"), 1.0);
    }

    void progressTextTurnsOneDegreePerTick()
    {
        Window w;
        QCOMPARE(w.probe.Angle(), 360);
        QList<int> angles;
        for (int i = 0; i < 362; ++i) {
            w.form.ScanTimerTimer();
            angles << w.probe.Angle();
        }
        QCOMPARE(angles.first(), 359);
        QCOMPARE(angles.at(359), 0);
        QCOMPARE(angles.at(360), 360);
        QCOMPARE(angles.at(361), 359);
    }

    void buttonsAreDisabledAndTheTextTurnsDuringAScan()
    {
        TempTree t;
        QCOMPARE(Shell("mkdir -p '" + t.Path("many") + "' && cd '" + t.Path("many")
                       + "' && seq 1 300 | xargs touch && cd .. && mkdir sub && cp -r many sub/"),
                 0);
        Window w(2);
        bool disabledSeen = false;
        int ticks = 0;
        QObject::connect(&w.probe.Timer(), &QTimer::timeout, [&] {
            ++ticks;
            disabledSeen = disabledSeen || (!w.probe.BackBtn().isEnabled() && !w.probe.CloseBtn().isEnabled());
        });
        w.form.scan(t.Root());
        QVERIFY(ticks > 0);
        QVERIFY(disabledSeen);
        QVERIFY(w.probe.BackBtn().isEnabled());
        QVERIFY(!w.probe.Timer().isActive());
    }

    void closingDuringAScanWaitsForTheWalk()
    {
        TempTree t;
        QCOMPARE(Shell("cd '" + t.Root() + "' && mkdir -p $(seq -f 'a/d%g/x' 1 800) && seq 1 2000 | xargs touch"), 0);
        Window w(2);
        bool closedDuringWalk = false;
        QObject::connect(&w.probe.Timer(), &QTimer::timeout, &w.form, [&] {
            closedDuringWalk = true;
            w.form.close();
        });
        w.form.scan(t.Root());
        QVERIFY(closedDuringWalk);
        QVERIFY(!w.form.Scanning());
        QTRY_VERIFY(!w.form.isVisible());
    }

private:
    // Runs as an unprivileged user in a child process: one warning for each
    // folder that cannot be entered, none for one that only cannot be listed.
    void runPermissionCase(const QString &)
    {
        const QByteArray root = qgetenv("QUINTAVO_PERMISSION_TREE");
        if (root.isEmpty())
            QSKIP("the permission case needs a tree made by a privileged parent");
        Window w;
        w.form.scan(root.toStdString() + "/a");
        QCOMPARE(w.warnings.size(), 2);
        QVERIFY(w.warnings.contains(QStringLiteral("Impossible d'atteindre :\r") + QString::fromLocal8Bit(root + "/a/closed")));
        QVERIFY(w.warnings.contains(QStringLiteral("Impossible d'atteindre :\r") + QString::fromLocal8Bit(root + "/a/nosearch")));
        QCOMPARE(w.Size("ok"), 1.0);
        QCOMPARE(w.Size("closed"), 0.0);
        QCOMPARE(w.Size("noread"), 0.0);
        // A file nobody may read is still counted.
        QCOMPARE(w.Size("fichiers"), 2.0);
        QCOMPARE(CurrentDir(), root.toStdString() + "/a");
        // A slice whose folder became unreadable since the scan opens nothing and says nothing.
        QCOMPARE(Shell("chmod 000 '" + root.toStdString() + "/a/later'"), 0);
        const int before = w.Pie().PointCount();
        w.Click("later");
        QCOMPARE(CurrentDir(), root.toStdString() + "/a");
        QCOMPARE(w.Pie().PointCount(), before);
        QCOMPARE(w.warnings.size(), 2);
    }
};

QTEST_MAIN(TestScan)
#include "tst_scan.moc"

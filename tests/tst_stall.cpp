// A slow file system under the window: it stays alive while a mount stalls,
// closes at once, and counts past 64 bits stay at the top.
#include "widgets/FreeBtn.h"
#include "widgets/Shape.h"
#include "support/ScanWindow.h"
#include "support/SlowFs.h"
#include "support/TestSupport.h"

#include <QCloseEvent>
#include <QTimer>
#include <QWindow>
#include <QtTest>

class TestStall : public QObject {
    Q_OBJECT
private slots:
    // Free space past 64 bits of bytes, and files whose sum passes 64 bits
    // of kilobytes, stay at the largest value instead of turning negative.
    void hugeCountsSaturate()
    {
        SlowFs fs({QStringLiteral("--free-blocks=2251799813685248"), QStringLiteral("--huge=1101")});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        ScanWindow w;
        w.form.scan(fs.Root());
        QCOMPARE(w.Label(0), std::string("Espace libre"));
        QCOMPARE(w.Pie().YValueAt(0), double(INT64_MAX / 1024));
        QCOMPARE(w.Size("huge"), double(INT64_MAX));
    }

    // While a folder stalls, the timer keeps ticking, a drag moves the
    // window, and the result comes once the stall is over.
    void windowServedDuringAStall()
    {
        SlowFs fs({QStringLiteral("--stall=2")});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        ScanWindow w;
        w.form.move(100, 100);
        int ticks = 0;
        bool duringTheWalk = false;
        QPoint before, after;
        connect(&w.probe.Timer(), &QTimer::timeout, this, [&] {
            // Twenty ticks into a walk that stalls for seconds at each step.
            if (++ticks != 20)
                return;
            duringTheWalk = w.form.Scanning();
            before = w.form.pos();
            const QPoint at(5, 125);
            QTest::mousePress(&w.probe.Frame(), Qt::LeftButton, Qt::KeyboardModifiers(), at);
            QTest::mouseMove(&w.probe.Frame(), at + QPoint(30, 20));
            QTest::mouseRelease(&w.probe.Frame(), Qt::LeftButton, Qt::KeyboardModifiers(), at + QPoint(30, 20));
            after = w.form.pos();
        });
        w.form.scan(fs.Path("slow"));
        QVERIFY(duringTheWalk);
        QCOMPARE(after - before, QPoint(30, 20));
        QCOMPARE(w.Size("fichiers"), 600.0);
        QVERIFY(w.probe.CloseBtn().isEnabled());
    }

    // A close request while a worker is stuck in a stalled call ends the
    // program at once: the stuck worker is left behind, not waited for.
    void closeDuringAStallEndsTheProgram()
    {
        // Far longer than the wait below: a program that waited for it fails.
        SlowFs fs({QStringLiteral("--stall=120")});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        QProcess program;
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(QUINTAVO_SCAN_BENCH),
                      {QString::fromStdString(fs.Path("slow")), QStringLiteral("1"), QStringLiteral("--close-after=300")});
        QVERIFY(program.waitForStarted());
        QVERIFY2(program.waitForFinished(60000), "still running, as long as the stall");
        const QByteArray out = program.readAll();
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("closed during the scan"), out.constData());
    }
};

SLOWFS_TEST_MAIN(TestStall)
#include "tst_stall.moc"

// A slow file system under the window: it stays alive while a mount stalls,
// closes at once, and counts past 64 bits stay at the top.
#include "FreeBtn.h"
#include "Shape.h"
#include "ScanWindow.h"
#include "SlowFs.h"
#include "TestSupport.h"

#include <QCloseEvent>
#include <QElapsedTimer>
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
        w.form.scan("/");
    }

    // While a folder stalls for seconds, the timer keeps ticking, a drag
    // moves the window, and the result still comes.
    void windowServedDuringAStall()
    {
        SlowFs fs({QStringLiteral("--stall=2")});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        ScanWindow w;
        w.form.move(100, 100);
        QElapsedTimer tick;
        qint64 longest = 0;
        int ticks = 0;
        connect(&w.probe.Timer(), &QTimer::timeout, this, [&] {
            if (tick.isValid())
                longest = std::max(longest, tick.elapsed());
            tick.restart();
            ++ticks;
        });
        QPoint before, after;
        QTimer::singleShot(700, this, [&] {
            before = w.form.pos();
            const QPoint at(5, 125);
            QTest::mousePress(&w.probe.Frame(), Qt::LeftButton, Qt::KeyboardModifiers(), at);
            QTest::mouseMove(&w.probe.Frame(), at + QPoint(30, 20));
            QTest::mouseRelease(&w.probe.Frame(), Qt::LeftButton, Qt::KeyboardModifiers(), at + QPoint(30, 20));
            after = w.form.pos();
        });
        QElapsedTimer took;
        took.start();
        w.form.scan(fs.Path("slow"));
        QVERIFY2(took.elapsed() >= 2000, "the stall was not met");
        QVERIFY2(longest < 100, qPrintable(QStringLiteral("a gap of %1 ms between ticks").arg(longest)));
        QVERIFY(ticks > 50);
        QCOMPARE(after - before, QPoint(30, 20));
        QCOMPARE(w.Size("fichiers"), 600.0);
        QVERIFY(w.probe.CloseBtn().isEnabled());
        w.form.scan("/");
    }

    // A close request while a worker is stuck in a stalled call ends the
    // program at once: the stuck worker is left behind, not waited for.
    void closeDuringAStallEndsTheProgram()
    {
        SlowFs fs({QStringLiteral("--stall=30")});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        QProcess program;
        program.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer took;
        took.start();
        program.start(QStringLiteral(QUINTAVO_SCAN_BENCH),
                      {QString::fromStdString(fs.Path("slow")), QStringLiteral("1"), QStringLiteral("--close-after=300")});
        QVERIFY(program.waitForStarted());
        QVERIFY2(program.waitForFinished(10000), "still running 10 s after the close");
        const QByteArray out = program.readAll();
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, out.constData());
        // Started, asked to close after 0.3 s, gone within a second of that.
        QVERIFY2(took.elapsed() < 1300 + 1000, qPrintable(QStringLiteral("took %1 ms").arg(took.elapsed())));
        QVERIFY2(out.contains("closed during the scan"), out.constData());
    }
};

SLOWFS_TEST_MAIN(TestStall)
#include "tst_stall.moc"

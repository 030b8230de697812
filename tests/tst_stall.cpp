// A slow and failing file system under the walk: the window stays alive
// while a mount stalls, closes at once, and failures count 0 or warn, as the
// plain recursive walk says, without a crash.
#include "FreeBtn.h"
#include "Shape.h"
#include "ScanWindow.h"
#include "SlowFs.h"
#include "TestSupport.h"
#include "WalkCompare.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <algorithm>
#include <mutex>
#include <sched.h>

namespace {

// Keeps the calling thread, and the threads it starts, on its first core
// while it lives.
class OneCore {
public:
    OneCore()
    {
        if (::sched_getaffinity(0, sizeof FAll, &FAll) != 0)
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &FAll)) {
                CPU_SET(cpu, &one);
                break;
            }
        FPinned = ::sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~OneCore()
    {
        if (FPinned)
            ::sched_setaffinity(0, sizeof FAll, &FAll);
    }
    OneCore(const OneCore &) = delete;
    OneCore &operator=(const OneCore &) = delete;
    bool Pinned() const { return FPinned; }

private:
    cpu_set_t FAll {};
    bool FPinned = false;
};

} // namespace

class TestStall : public QObject {
    Q_OBJECT
private slots:
    // EIO from a listing and from a status, EACCES from an untyped entry after
    // thousands of typed files, entries that vanish, a folder that cannot be
    // entered, a folder met again below itself without end: the same as the
    // reference, each folder credited with its own.
    void failuresAsTheReferenceWalkSeesThem()
    {
        SlowFs fs({QStringLiteral("--stall=0.2"), QStringLiteral("--echo")});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        const std::string start = fsys::GetCurrentDir();
        const WalkReport reference = ReferenceScan(fs.Root());
        fsys::SetCurrentDir(start);
        for (int workers : {1, 8}) {
            TWalkOptions options;
            options.Workers = workers;
            const WalkReport engine = EngineWalk({TWalkRequest::TKind::Scan, fs.Root()}, options);
            fsys::SetCurrentDir(start);
            QVERIFY2(engine == reference, (Describe(engine) + "reference\n" + Describe(reference)).c_str());
        }
        auto kb = [&](const std::string &name) {
            for (const auto &f : reference.Folders)
                if (f.Name == name)
                    return f.Kb;
            return std::int64_t(-1);
        };
        QCOMPARE(kb("many"), std::int64_t(3000));
        QCOMPARE(kb("next"), std::int64_t(4));
        QCOMPARE(kb("echo"), std::int64_t(1));
        QCOMPARE(kb("eio_list"), std::int64_t(0));
        QCOMPARE(kb("eio_stat"), std::int64_t(30));
        QCOMPARE(kb("slow"), std::int64_t(600));
        QCOMPARE(kb("locked"), std::int64_t(0));
        QCOMPARE(reference.Warnings,
                 (std::vector<std::string>{fs.Path("locked"), fs.Path("vanish/gonedir")}));
    }

    // On one core the walk starts with one worker at a time; when that worker
    // sits in a stalled folder, the others go on with the rest of the tree
    // instead of waiting for it.
    void aStalledFolderHoldsNothingElse()
    {
        SlowFs fs({QStringLiteral("--stall=0.5")});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        OneCore oneCore;
        QVERIFY(oneCore.Pinned());
        std::mutex m;
        std::vector<std::string> read;
        TWalkOptions options;
        options.BeforeStatus = [&](const char *name) {
            std::lock_guard lock(m);
            read.emplace_back(name);
        };
        const WalkReport engine = EngineWalk({TWalkRequest::TKind::FullSize, fs.Root()}, options);
        QCOMPARE(engine.Kb, ReferenceFullSize(fs.Root()).Kb);
        auto at = [&](const std::string &name) { return std::find(read.begin(), read.end(), name) - read.begin(); };
        QVERIFY(at("s1") < std::ssize(read));
        for (const char *other : {"m0", "m2999", "ok2", "g"})
            QVERIFY2(at(other) < at("s1"), other);
    }

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
        connect(w.form.ScanTimer, &QTimer::timeout, this, [&] {
            if (tick.isValid())
                longest = std::max(longest, tick.elapsed());
            tick.restart();
            ++ticks;
        });
        QPoint before, after;
        QTimer::singleShot(700, this, [&] {
            before = w.form.pos();
            const QPoint at(5, 125);
            QTest::mousePress(w.form.Fond, Qt::LeftButton, Qt::KeyboardModifiers(), at);
            QTest::mouseMove(w.form.Fond, at + QPoint(30, 20));
            QTest::mouseRelease(w.form.Fond, Qt::LeftButton, Qt::KeyboardModifiers(), at + QPoint(30, 20));
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
        QVERIFY(w.form.CloseBtn->isEnabled());
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

// What a file system can hold must neither crash nor hang the walk, nor change
// its totals: odd names, huge folders, vanishing entries, few descriptors,
// mount loops and links.
#include "WalkCompare.h"
#include "FileSystem.h"
#include "Messages.h"
#include "PieSeries.h"
#include "ScanWindow.h"
#include "TestSupport.h"
#include "Unit1.h"

#include <QtTest>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using Window = ScanWindow;

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void oddNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("newline") << QByteArray("two\nlines");
        QTest::newRow("leading space") << QByteArray(" spaced");
        QTest::newRow("leading dash") << QByteArray("-rf");
        QTest::newRow("invalid byte") << QByteArray("x\xff");
        QTest::newRow("latin-1") << QByteArray("caf\xe9");
    }

    void oddNames()
    {
        QFETCH(QByteArray, name);
        TempTree t;
        const std::string n = name.toStdString();
        t.File(n + "/f", 3072);
        t.File("x\xfe/f", 1024); // differs from "x\xff" by one invalid byte only
        Window w;
        w.form.scan(t.Root());
        QCOMPARE(w.Size(n), 3.0);
        QCOMPARE(w.Size("x\xfe"), 1.0);
        QVERIFY(w.warnings.isEmpty());
        // Its slice opens it.
        w.Click(n);
        QCOMPARE(QByteArray::fromStdString(fsys::GetCurrentDir()), QByteArray::fromStdString(t.Path(n)));
    }

    void twoHundredThousandFilesInOneFolder()
    {
        TempTree t;
        const std::string big = t.Dir("big");
        // Creating this many files in one folder on disk can take minutes; a
        // memory file system makes the fixture fast where one can be mounted.
        const bool mounted = ::mount("quintavo", big.c_str(), "tmpfs", 0, "size=64m,nr_inodes=300000") == 0;
        QCOMPARE(Shell("cd '" + big + "' && seq 1 200000 | xargs truncate -s 1024"), 0);
        const std::int64_t kb = EngineWalk({TWalkRequest::TKind::FullSize, big}).Kb;
        if (mounted)
            ::umount2(big.c_str(), MNT_DETACH);
        QCOMPARE(kb, std::int64_t(200000));
    }

    void entriesVanishingDuringTheWalk()
    {
        TempTree t;
        t.File("w/keep", 2048);
        t.File("w/gone", 4096);
        t.File("w/sub/f", 1024);
        t.File("w/lost/f", 1024);
        TWalkOptions options;
        options.Workers = 1;
        // Runs on the worker: only plain calls here.
        options.BeforeStatus = [&](const char *name) {
            if (std::string(name) == "gone")
                ::unlink(t.Path("w/gone").c_str());
            if (std::string(name) == "keep")
                Shell("rm -rf '" + t.Path("w/lost") + "'");
        };
        const WalkReport r = EngineWalk({TWalkRequest::TKind::FullSize, t.Path("w")}, options);
        QVERIFY2(r.Kb == 3 || r.Kb == 4, Describe(r).c_str());
        // A folder that went away before it was entered is reported like any
        // folder that cannot be entered.
        QVERIFY(r.Warnings.size() <= 1);
    }

    // The whole program under tight limits: the same total, no warning.
    void tightLimits_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::newRow("64 descriptors") << QStringLiteral("ulimit -n 64");
        QTest::newRow("150 MB of address space") << QStringLiteral("ulimit -v 150000");
    }

    void tightLimits()
    {
        QFETCH(QString, limit);
        TempTree t;
        QCOMPARE(Shell("cd '" + t.Root() + "' && for i in $(seq 1 40); do mkdir -p w/$i/a/b/c/d/e/f/g/h/i/j && truncate -s 2048 w/$i/a/b/c/d/e/f/g/h/i/j/f; done"), 0);
        const std::string cmd = limit.toStdString() + " && QT_QPA_PLATFORM=offscreen '" + std::string(QUINTAVO_SCAN_BENCH)
                                + "' '" + t.Path("w") + "' 1 | tr '\\n' ' ' | grep -q 'scan_total_kb: 80 warnings: 0 '";
        QCOMPARE(Shell("bash -c \"" + cmd + "\""), 0);
    }

    void bindMountLoopEnds()
    {
        TempTree t;
        t.File("a/f", 1024);
        const std::string inner = t.Dir("a/b/c");
        if (::mount(t.Path("a").c_str(), inner.c_str(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("cannot bind-mount here");
        const WalkReport engine = EngineWalk({TWalkRequest::TKind::FullSize, t.Path("a")});
        const WalkReport reference = ReferenceFullSize(t.Path("a"));
        ::umount(inner.c_str());
        QCOMPARE(engine.Kb, std::int64_t(1));
        QVERIFY2(engine == reference, (Describe(engine) + Describe(reference)).c_str());
    }

    void linkChainsAreFilesOfTheirOwnSize()
    {
        TempTree t;
        t.File("target/f", 8192);
        t.Link("l1", "l2");
        t.Link("l2", "l3");
        t.Link("l3", "target");
        t.Link("target/loop", "../l1");
        Window w;
        w.form.scan(t.Root());
        QCOMPARE(w.Size("target"), 8.0);
        QCOMPARE(w.form.Series1->PointCount(), 2);
    }

    void sliceOfAFolderDeletedSinceTheScan()
    {
        TempTree t;
        t.File("soon_gone/f", 1024);
        t.File("stays/f", 1024);
        Window w;
        w.form.scan(t.Root());
        const int count = w.form.Series1->PointCount();
        QCOMPARE(Shell("rm -rf '" + t.Path("soon_gone") + "'"), 0);
        w.Click("soon_gone");
        QCOMPARE(fsys::GetCurrentDir(), t.Root());
        QCOMPARE(w.form.Series1->PointCount(), count);
        QVERIFY(w.warnings.isEmpty());
    }

    void anyWorkerCountGivesTheSameTotals()
    {
        TempTree t;
        std::int64_t expected = 0;
        for (int d = 0; d < 40; ++d)
            for (int f = 0; f < 300; f += 1 + d) {
                const std::int64_t bytes = 1000 + 997 * d + 1531 * f;
                t.File("s/" + std::to_string(d % 7) + "/" + std::to_string(d) + "/f" + std::to_string(f), bytes);
                expected += bytes / 1024;
            }
        const WalkReport reference = ReferenceFullSize(t.Path("s"));
        QCOMPARE(reference.Kb, expected);
        for (int workers : {1, 2, 8, 32}) {
            TWalkOptions options;
            options.Workers = workers;
            const WalkReport r = EngineWalk({TWalkRequest::TKind::FullSize, t.Path("s")}, options);
            QVERIFY2(r == reference, Describe(r).c_str());
        }
    }

    // A start folder deeper than the system takes in one path: its parent is
    // shown and the slice of the folder itself opens it again.
    void slicesOpenAtAnyPathLength()
    {
        TempTree t;
        const std::string name(200, 'n');
        std::string deepest = t.Root();
        int fd = ::open(t.Root().c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < 22 && fd >= 0; ++i) {
            ::mkdirat(fd, name.c_str(), 0755);
            const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
            deepest += "/" + name;
        }
        QVERIFY(fd >= 0);
        const int file = ::openat(fd, "f", O_WRONLY | O_CREAT, 0644);
        QVERIFY(file >= 0 && ::ftruncate(file, 3072) == 0);
        ::close(file);
        ::close(fd);
        QVERIFY(deepest.size() > 4201);
        Window w;
        QVERIFY(fsys::SetCurrentDir(deepest));
        w.form.Button4Click(nullptr);
        QCOMPARE(w.Size(name), 3.0);
        QCOMPARE(fsys::GetCurrentDir(), ParentFolder(deepest));
        w.Click(name);
        QCOMPARE(fsys::GetCurrentDir(), deepest);
        QCOMPARE(w.Size("fichiers"), 3.0);
    }

    // Another program deletes the folder on show: the commands go on from its
    // last known path.
    void currentFolderDeletedByAnotherProgram()
    {
        TempTree t;
        t.File("up/gone/f", 1024);
        t.File("up/other/f", 2048);
        Window w;
        w.form.scan(t.Path("up/gone"));
        QCOMPARE(Shell("rm -rf '" + t.Path("up/gone") + "'"), 0);
        QCOMPARE(fsys::GetCurrentDir(), std::string());
        QCOMPARE(w.form.CurrentFolder(), t.Path("up/gone"));
        w.form.Button4Click(nullptr);
        QCOMPARE(fsys::GetCurrentDir(), t.Path("up"));
        QCOMPARE(w.Size("other"), 2.0);
        QCOMPARE(w.IndexOf("gone"), -1);
    }

    void sizesAtTheThirtyTwoBitBoundaries()
    {
        TempTree t;
        t.File("b/two_g_kb", std::int64_t(1) << 41);       // 2^31 KiB
        t.File("b/four_g_kb", (std::int64_t(1) << 42) + 1023); // 2^32 KiB and a bit
        QCOMPARE(EngineWalk({TWalkRequest::TKind::FullSize, t.Path("b")}).Kb,
                 (std::int64_t(1) << 31) + (std::int64_t(1) << 32));
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

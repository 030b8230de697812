// What a file system or the system's limits hold must neither crash nor hang
// the window's scan: odd names, links, tight limits, folders deleted or
// reached through paths longer than the system takes at once.
#include "support/WalkCompare.h"
#include "platform/Messages.h"
#include "chart/PieSeries.h"
#include "support/ScanWindow.h"
#include "support/TestSupport.h"
#include "app/Unit1.h"

#include <QProcess>
#include <QtTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using Window = ScanWindow;

namespace {
// Runs what follows as a user of its own, whose processes nothing else counts.
const std::string kOwnUser = "setpriv --reuid=65530 --regid=65530 --clear-groups ";
} // namespace

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
        QCOMPARE(QByteArray::fromStdString(CurrentDir()), QByteArray::fromStdString(t.Path(n)));
    }

    // The whole program under tight limits: the same total, no warning.
    // Threads are counted per user, and root is not held to the count: that
    // limit is tried as a user of its own, whom no other test's processes use.
    void tightLimits_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<bool>("ownUser");
        QTest::newRow("64 descriptors") << QStringLiteral("ulimit -n 64") << false;
        QTest::newRow("150 MB of address space") << QStringLiteral("ulimit -v 150000") << false;
        QTest::newRow("two threads: the window's and one to draw with") << QStringLiteral("ulimit -u 2") << true;
    }

    void tightLimits()
    {
        QFETCH(QString, limit);
        QFETCH(bool, ownUser);
        if (ownUser && (::geteuid() != 0 || Shell("command -v setpriv >/dev/null") != 0))
            QSKIP("needs root and setpriv to run as a user of its own");
        TempTree t;
        QCOMPARE(Shell("cd '" + t.Root() + "' && for i in $(seq 1 40); do mkdir -p w/$i/a/b/c/d/e/f/g/h/i/j && truncate -s 2048 w/$i/a/b/c/d/e/f/g/h/i/j/f; done && chmod 755 ."), 0);
        // Only the program runs under the limit: the shell is replaced by it;
        // one that hangs fails instead of holding the run.
        const std::string run = "timeout 120 " + (ownUser ? kOwnUser : std::string()) + "bash -c \"" + limit.toStdString()
                                + " && QT_QPA_PLATFORM=offscreen exec '" + std::string(QUINTAVO_SCAN_BENCH) + "' '"
                                + t.Path("w") + "' 1\"";
        QCOMPARE(Shell(run + " | tr '\\n' ' ' | grep -q 'scan_total_kb: 80 warnings: 0 '"), 0);
    }

    // With no thread to draw with, the program says so in one line and stops.
    void noThreadToDrawWith()
    {
        if (::geteuid() != 0 || Shell("command -v setpriv >/dev/null") != 0)
            QSKIP("needs root and setpriv to run as a user of its own");
        QProcess program;
        program.start(QStringLiteral("sh"),
                      {QStringLiteral("-c"), QString::fromStdString(kOwnUser)
                                                 + QStringLiteral("bash -c 'ulimit -u 1 && QT_QPA_PLATFORM=offscreen exec "
                                                                  QUINTAVO_EXE "'")});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 1);
        QCOMPARE(program.readAllStandardOutput(), QByteArray());
        QCOMPARE(QString::fromUtf8(program.readAllStandardError()),
                 QStringLiteral("quintavo : le système refuse le fil d'exécution dont la fenêtre a besoin pour se "
                                "dessiner (ulimit -u)\n"));
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
        QCOMPARE(w.probe.Pie().PointCount(), 2);
    }

    void sliceOfAFolderDeletedSinceTheScan()
    {
        TempTree t;
        t.File("soon_gone/f", 1024);
        t.File("stays/f", 1024);
        Window w;
        w.form.scan(t.Root());
        const int count = w.probe.Pie().PointCount();
        QCOMPARE(Shell("rm -rf '" + t.Path("soon_gone") + "'"), 0);
        w.Click("soon_gone");
        QCOMPARE(CurrentDir(), t.Root());
        QCOMPARE(w.probe.Pie().PointCount(), count);
        QVERIFY(w.warnings.isEmpty());
    }

    // The system refuses every thread to an unprivileged user: the walk runs
    // on the window's thread, between its events, with the reference's sizes.
    void scanWithoutWorkerThreads()
    {
        const QByteArray given = qgetenv("QUINTAVO_PERMISSION_TREE");
        if (given.isEmpty()) {
            if (::geteuid() != 0 || Shell("command -v setpriv >/dev/null") != 0)
                QSKIP("needs root and setpriv to run as an unprivileged user");
            TempTree t;
            t.File("a/b/f", 3072);
            t.File("a/.h/f", 1024);
            t.File("loose", 2048);
            t.File("c/f", 5000);
            const QByteArray failure = RunUnprivileged("TestFaults", "scanWithoutWorkerThreads", t.Root());
            QVERIFY2(failure.isEmpty(), failure.constData());
            return;
        }
        const std::string root = given.toStdString();
        // Shown first: the toolkit draws with threads of its own, made now.
        Window w;
        struct rlimit none {};
        ::getrlimit(RLIMIT_NPROC, &none);
        none.rlim_cur = 0;
        QCOMPARE(::setrlimit(RLIMIT_NPROC, &none), 0);
        const WalkReport reference = ReferenceScan(root);
        w.form.scan(root);
        for (const auto &folder : reference.Folders)
            QCOMPARE(w.Size(folder.Name), double(folder.Kb));
        QCOMPARE(w.Size("fichiers"), double(reference.Kb));
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
        QVERIFY(ChangeDir(deepest));
        w.form.Button4Click(nullptr);
        QCOMPARE(w.Size(name), 3.0);
        QCOMPARE(CurrentDir(), ParentFolder(deepest));
        w.Click(name);
        QCOMPARE(CurrentDir(), deepest);
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
        QCOMPARE(CurrentDir(), std::string());
        QCOMPARE(w.form.CurrentFolder(), t.Path("up/gone"));
        w.form.Button4Click(nullptr);
        QCOMPARE(CurrentDir(), t.Path("up"));
        QCOMPARE(w.Size("other"), 2.0);
        QCOMPARE(w.IndexOf("gone"), -1);
    }

};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

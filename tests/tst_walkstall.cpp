// The walk over a slow and failing file system: failures count 0 or warn as
// the plain recursive walk says, and a stalled folder holds nothing else.
#include "support/SlowFs.h"
#include "support/TestSupport.h"
#include "support/WalkCompare.h"

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

class TestWalkStall : public QObject {
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
        const std::string start = CurrentDir();
        const WalkReport reference = ReferenceScan(fs.Root());
        ChangeDir(start);
        for (int workers : {1, 8}) {
            walk::TOptions options;
            options.Workers = workers;
            const WalkReport engine = EngineWalk({walk::TRequest::TKind::Scan, fs.Root()}, options);
            ChangeDir(start);
            QVERIFY2(engine == reference, (Describe(engine) + "reference\n" + Describe(reference)).c_str());
            // eio_list's listing is broken off: it counts what it gave, and the outcome says so.
            QCOMPARE(engine.BrokenListings, std::int64_t(1));
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
        walk::TOptions options;
        options.BeforeStatus = [&](const char *name) {
            std::lock_guard lock(m);
            read.emplace_back(name);
        };
        const WalkReport engine = EngineWalk({walk::TRequest::TKind::FullSize, fs.Root()}, options);
        QCOMPARE(engine.Kb, ReferenceFullSize(fs.Root()).Kb);
        auto at = [&](const std::string &name) { return std::find(read.begin(), read.end(), name) - read.begin(); };
        QVERIFY(at("s1") < std::ssize(read));
        for (const char *other : {"m0", "m2999", "ok2", "g"})
            QVERIFY2(at(other) < at("s1"), other);
    }
};

SLOWFS_TEST_MAIN_WITH(QCoreApplication, TestWalkStall)
#include "tst_walkstall.moc"

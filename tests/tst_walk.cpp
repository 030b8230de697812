// The walk engine against a plain recursive one-thread walk on trees made to
// break it: the same entries, totals and warnings, in the same order.
#include "support/TestSupport.h"
#include "support/WalkCompare.h"
#include "walk/src/Linux.h"
#include "walk/src/Pace.h"

#include <QtTest>
#include <condition_variable>
#include <mutex>
#include <fcntl.h>
#include <algorithm>
#include <array>
#include <optional>
#include <random>
#include <thread>
#include <fstream>
#include <functional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using Builder = std::function<void(const TempTree &)>;
Q_DECLARE_METATYPE(Builder)

namespace {

void mixedTree(const TempTree &t)
{
    t.File("loose", 5000);
    t.File(".hiddenfile", 3000);
    t.File("a/f1", 1023);
    t.File("a/f2", 2048);
    t.File("a/b/c/f", 70000);
    t.File("a/.skipped/f", 9000);
    t.File(".top/f", 4096);
    t.File(".top/.deeper/f", 4096);
    t.File("odd\xff name/\xfe", 8192);
    t.Dir("empty");
    t.Link("a/up", "..");
    t.Link("tolink", "a");
    t.Link("a/broken", "nowhere");
    t.File("a/b/linked/f", 1024);
    t.Link("a/b/c/back", "../linked");
}

void wideTree(const TempTree &t)
{
    for (int i = 0; i < 1500; ++i)
        t.File("w/" + std::to_string(i) + "/f", 1024 * (i % 7) + 100);
    for (int i = 0; i < 300; ++i)
        t.File("w/many/" + std::to_string(i), 1500 + i);
}

void deepTree(const TempTree &t)
{
    std::string rel = "d";
    for (int i = 0; i < 300; ++i) {
        rel += "/l";
        t.File(rel + "/side" + std::to_string(i % 3) + "/f", 1024 * (i % 5));
    }
    t.File(rel + "/bottom", 7777);
}

// A chain `levels` deep whose every level holds a 4 KiB file, the next level
// and a side folder with a 4 KiB file: 8 KiB a level. Made through
// descriptors, since the paths outgrow what the system takes at once.
void chainTree(const std::string &root, int levels)
{
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        ::mkdirat(fd, "next", 0755);
        ::mkdirat(fd, "side", 0755);
        for (const char *file : {"f", "side/f"}) {
            const int f = ::openat(fd, file, O_WRONLY | O_CREAT, 0644);
            if (f >= 0 && ::ftruncate(f, 4096) == 0)
                ::close(f);
        }
        const int next = ::openat(fd, "next", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    if (fd >= 0)
        ::close(fd);
}

// A tree drawn from `seed`: folders a few levels deep, some hidden, some
// empty, some closed in each way an unprivileged user meets (no right to
// read, to search, or either), links to folders above and beside, files
// with several names. Closed folders are closed last, deepest first.
void randomTree(const std::string &root, unsigned seed)
{
    std::mt19937 random(seed);
    auto chance = [&](int percent) { return int(random() % 100) < percent; };
    std::vector<std::pair<std::string, int>> closing;
    std::vector<std::string> files;
    std::vector<std::string> level{root};
    for (int depth = 0; depth < 5 && !level.empty(); ++depth) {
        std::vector<std::string> next;
        for (const std::string &folder : level) {
            const int width = int(random() % 6);
            for (int i = 0; i < width; ++i) {
                const std::string sub = folder + (chance(15) ? "/.h" : "/d") + std::to_string(i);
                ::mkdir(sub.c_str(), 0755);
                next.push_back(sub);
                if (chance(20))
                    closing.emplace_back(sub, std::array{0, 0311, 0644, 0700}[random() % 4]);
            }
            for (int f = int(random() % 4); f > 0; --f) {
                const std::string file = folder + "/f" + std::to_string(f);
                const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
                if (fd >= 0 && ::ftruncate(fd, off_t(random() % 9000)) == 0)
                    files.push_back(file);
                ::close(fd);
            }
            if (chance(15) && ::symlink(chance(50) ? ".." : "d0", (folder + "/l").c_str()) != 0)
                QFAIL("cannot make a link");
            if (!files.empty() && chance(15) && ::link(files[random() % files.size()].c_str(), (folder + "/n").c_str()) != 0)
                QFAIL("cannot give a file a second name");
        }
        level = std::move(next);
    }
    for (auto it = closing.rbegin(); it != closing.rend(); ++it)
        ::chmod(it->first.c_str(), mode_t(it->second));
}

// Whether the thread of this process is asleep, waiting on something.
bool Sleeping(pid_t tid)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    const std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S';
}

// Runs `undo` when it goes, however the test ends.
template <class Undo> struct Finally {
    Undo undo;
    ~Finally() { undo(); }
};

// While it lives, the descriptor limit leaves `spare` numbers free below it.
class DescriptorsLeft {
public:
    explicit DescriptorsLeft(int spare)
    {
        ::getrlimit(RLIMIT_NOFILE, &FSaved);
        struct rlimit lowered = FSaved;
        lowered.rlim_cur = 0;
        for (int free = 0; free < spare || ::fcntl(int(lowered.rlim_cur), F_GETFD) != -1; ++lowered.rlim_cur)
            if (::fcntl(int(lowered.rlim_cur), F_GETFD) == -1)
                ++free;
        FLowered = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~DescriptorsLeft() { ::setrlimit(RLIMIT_NOFILE, &FSaved); }
    bool Lowered() const { return FLowered; }

private:
    struct rlimit FSaved {};
    bool FLowered = false;
};

bool isRoot()
{
    return ::geteuid() == 0;
}

// Compares both walks of the folder, as a scan and as a tree size, with one
// worker and with the usual pool; the current folder is put back.
void compareWalks(const std::string &path, const char *what, std::initializer_list<int> workerCounts = {1, 8})
{
    const std::string start = CurrentDir();
    const WalkReport scanRef = ReferenceScan(path);
    const WalkReport fullRef = ReferenceFullSize(path);
    for (int workers : workerCounts) {
        walk::TOptions options;
        options.Workers = workers;
        const WalkReport scan = EngineWalk({walk::TRequest::TKind::Scan, path}, options);
        ChangeDir(start);
        QVERIFY2(scan == scanRef, (std::string(what) + ": engine\n" + Describe(scan) + "reference\n"
                                   + Describe(scanRef)).c_str());
        const WalkReport full = EngineWalk({walk::TRequest::TKind::FullSize, path}, options);
        QVERIFY2(full == fullRef, (std::string(what) + ": engine\n" + Describe(full) + "reference\n"
                                   + Describe(fullRef)).c_str());
    }
}

} // namespace

class TestWalk : public QObject {
    Q_OBJECT
private slots:
    void sameAsReference_data()
    {
        QTest::addColumn<Builder>("build");
        QTest::newRow("hidden folders, links, odd names") << Builder(mixedTree);
        QTest::newRow("wide") << Builder(wideTree);
        QTest::newRow("deep") << Builder(deepTree);
    }

    void sameAsReference()
    {
        QFETCH(Builder, build);
        TempTree t;
        build(t);
        compareWalks(t.Root(), QTest::currentDataTag());
    }

    // A file with several names counts once: in the first slice, in walk
    // order, that holds one of them ("fichiers" standing where its loose
    // files stand), once within a slice, and names outside the folder or in
    // hidden folders below the top add nothing.
    void hardLinksCountOnce()
    {
        TempTree t;
        auto name = [&](const std::string &file, const std::string &other) {
            t.Dir(other.substr(0, other.rfind('/')));
            QCOMPARE(::link(t.Path(file).c_str(), t.Path(other).c_str()), 0);
        };
        t.File("out/elsewhere", 10240);
        t.File("in/a/f", 8192);
        t.File("in/loose", 4096);
        t.File("in/d/twice", 2048);
        name("in/a/f", "in/b/f");
        name("in/a/f", "in/a/sub/g");
        name("in/a/f", "in/.top/f");
        name("in/loose", "in/c/l");
        name("out/elsewhere", "in/c/o");
        name("in/d/twice", "in/d/.hidden/x");
        constexpr std::int64_t kHugeKb = std::int64_t(1) << 33; // 8 TiB, past 32 bits of kilobytes
        t.File("in/e/huge", kHugeKb * 1024);
        name("in/e/huge", "in/e/again");
        compareWalks(t.Path("in"), "hard links");
        const std::string start = CurrentDir();
        const WalkReport scan = EngineWalk({walk::TRequest::TKind::Scan, t.Path("in")});
        ChangeDir(start);
        std::int64_t total = scan.Kb;
        for (const auto &f : scan.Folders)
            total += f.Kb;
        QCOMPARE(total, 8 + 4 + 10 + 2 + kHugeKb);
        QCOMPARE(EngineWalk({walk::TRequest::TKind::FullSize, t.Path("in")}).Kb, 8 + 4 + 10 + 2 + kHugeKb);
    }

    // Folders closed in every way an unprivileged user meets, at several
    // depths: warnings come in the order of a depth-first walk.
    void permissionsAsAnUnprivilegedUser()
    {
        const QByteArray given = qgetenv("QUINTAVO_PERMISSION_TREE");
        if (!given.isEmpty()) {
            const std::string root = given.toStdString();
            compareWalks(root + "/p", "permissions");
            const WalkReport scan = EngineWalk({walk::TRequest::TKind::Scan, root + "/p"});
            const std::vector<std::string> expected{root + "/p/closed",          root + "/p/nosearch",
                                                    root + "/p/deep/a/closed",   root + "/p/deep/b/nosearch",
                                                    root + "/p/acl/closed",      root + "/p/last/closed"};
            std::vector<std::string> sorted = scan.Warnings;
            std::sort(sorted.begin(), sorted.end());
            std::vector<std::string> wanted = expected;
            std::sort(wanted.begin(), wanted.end());
            QVERIFY2(sorted == wanted, Describe(scan).c_str());
            // Granted by an access list only: walked, without a warning.
            for (const auto &f : scan.Folders)
                if (f.Name == "acl")
                    QCOMPARE(f.Kb, std::int64_t(6));
            return;
        }
        if (!isRoot())
            QSKIP("making the tree needs root; the walk itself runs unprivileged");
        if (Shell("command -v setpriv >/dev/null && command -v setfacl >/dev/null") != 0)
            QSKIP("setpriv and setfacl are needed");
        TempTree t;
        t.File("p/ok/f", 1024);
        t.File("p/closed/f", 4096);
        t.File("p/noread/f", 4096);
        t.File("p/nosearch/f", 4096);
        t.File("p/zero", 2048);
        t.File("p/deep/a/closed/f", 4096);
        t.File("p/deep/a/b/f", 3072);
        t.File("p/deep/b/nosearch/f", 4096);
        t.File("p/deep/c/f", 1024);
        t.File("p/acl/f", 6144);
        t.File("p/acl/closed/f", 1024);
        t.File("p/last/closed/f", 1024);
        const std::string p = t.Path("p/");
        QCOMPARE(Shell("cd '" + p + "' && chmod 000 closed zero deep/a/closed last/closed acl/closed && chmod 311 noread"
                       " && chmod 644 nosearch deep/b/nosearch && chmod 700 acl && setfacl -m u:65534:rx acl"),
                 0);
        const QByteArray failure = RunUnprivileged("TestWalk", "permissionsAsAnUnprivilegedUser", t.Root());
        QVERIFY2(failure.isEmpty(), failure.constData());
    }

    // Trees drawn at random, walked as an unprivileged user at 1 to 32
    // workers, again and again: every total, slice and warning the same, in
    // the same order, as the plain walk's.
    void generatedTreesAsTheReference()
    {
        constexpr unsigned kTrees = 16;
        const QByteArray given = qgetenv("QUINTAVO_PERMISSION_TREE");
        if (!given.isEmpty()) {
            for (unsigned seed = 0; seed < kTrees && !QTest::currentTestFailed(); ++seed)
                for (int round = 0; round < 3 && !QTest::currentTestFailed(); ++round)
                    compareWalks(given.toStdString() + "/t" + std::to_string(seed),
                                 ("seed " + std::to_string(seed)).c_str(), {1, 2, 3, 8, 32});
            return;
        }
        if (!isRoot() || Shell("command -v setpriv >/dev/null") != 0)
            QSKIP("needs root and setpriv to run as an unprivileged user");
        TempTree t;
        for (unsigned seed = 0; seed < kTrees; ++seed)
            randomTree(t.Dir("t" + std::to_string(seed)), seed);
        const QByteArray failure = RunUnprivileged("TestWalk", "generatedTreesAsTheReference", t.Root());
        QVERIFY2(failure.isEmpty(), failure.constData());
    }

    // The notify function runs outside the walk's lock: it may take the
    // events itself.
    void notifyMayTakeEvents()
    {
        TempTree t;
        mixedTree(t);
        walk::TEngine engine;
        const std::shared_ptr<walk::TJob> job = engine.Start({walk::TRequest::TKind::FullSize, t.Root()});
        std::atomic<bool> done{false};
        job->SetNotify([&] {
            walk::TEvent e;
            while (job->TakeEvent(e))
                done = done || e.Kind == walk::TEvent::TKind::Done;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 20000);
        job->SetNotify({});
    }

    // A task that waits for a permit while the only one is held in a call
    // that does not return (a stalled mount) is let go when the walk is
    // cancelled, so the thread serves the next walk.
    void cancelEndsAPermitWait()
    {
        TempTree t;
        t.File("w/f", 1024);
        t.Dir("w/a");
        t.Dir("w/b");
        std::mutex m;
        std::condition_variable changed;
        bool held = false;
        bool open = false;
        walk::TOptions options;
        options.Workers = 1;
        options.MaxOpenDirs = 2; // one permit
        options.BeforeStatus = [&](const char *) {
            std::unique_lock lock(m);
            held = true;
            changed.notify_all();
            changed.wait(lock, [&] { return open; });
        };
        walk::TEngine engine(options);
        const std::shared_ptr<walk::TJob> job = engine.Start({walk::TRequest::TKind::FullSize, t.Path("w")});
        std::atomic<pid_t> waiting{0};
        std::atomic<bool> returned{false};
        std::thread waiter;
        const Finally end{[&] {
            {
                std::lock_guard lock(m);
                open = true;
            }
            changed.notify_all();
            if (waiter.joinable())
                waiter.join();
        }};
        {
            std::unique_lock lock(m);
            QVERIFY(changed.wait_for(lock, std::chrono::seconds(20), [&] { return held; }));
        }
        // The worker holds the permit, inside the listing of w; this thread
        // takes the next task, the entering of a, and waits for the permit.
        waiter = std::thread([&] {
            waiting = ::gettid();
            engine.RunPending(std::chrono::milliseconds(1));
            returned = true;
        });
        QTRY_VERIFY(waiting != 0 && Sleeping(waiting));
        job->Cancel();
        QTRY_VERIFY_WITH_TIMEOUT(returned, 5000);
    }

    // With one descriptor left a folder opens by its path from the walk's
    // folder: a folder on that path swapped for a link meanwhile leads
    // nowhere, instead of into what the link points at.
    void linkSwappedInWithOneDescriptor()
    {
        TempTree t;
        t.File("top/a/b/trigger", 1024);
        t.File("top/a/b/c/f", 2048);
        t.File("elsewhere/b/c/big", 8 << 20);
        walk::TOptions options;
        options.Workers = 1;
        // Read in b, after its sub-folder c was handed out and before it is entered.
        options.BeforeStatus = [&](const char *name) {
            if (std::string(name) == "trigger" && ::rename(t.Path("top/a").c_str(), t.Path("top/moved").c_str()) == 0)
                QCOMPARE(::symlink(t.Path("elsewhere").c_str(), t.Path("top/a").c_str()), 0);
        };
        std::optional<DescriptorsLeft> one(std::in_place, 1);
        QVERIFY(one->Lowered());
        const WalkReport r = EngineWalk({walk::TRequest::TKind::FullSize, t.Path("top")}, options);
        one.reset();
        QCOMPARE(r.Kb, std::int64_t(1));
        QCOMPARE(r.Warnings, std::vector<std::string>{t.Path("top/a/b/c")});
    }

    // Every level opens its folders once or twice, whatever the descriptor
    // limit: closing and reopening folders must not grow with the depth, nor
    // ever be taken for a folder that cannot be entered. With few descriptors
    // left, fewer workers open folders side by side, down to one; with one,
    // folders open by their path; with none, one warning and 0.
    void deepChainWithinAnyDescriptorLimit_data()
    {
        QTest::addColumn<int>("spare");
        QTest::addColumn<int>("levels");
        QTest::addColumn<bool>("reached");
        QTest::newRow("none left") << 0 << 3 << false;
        QTest::newRow("one left") << 1 << 3000 << true;
        QTest::newRow("two left") << 2 << 3000 << true;
        QTest::newRow("five left") << 5 << 3000 << true;
        QTest::newRow("fifty left") << 50 << 3000 << true;
        QTest::newRow("a thousand left") << 1000 << 3000 << true;
    }

    void deepChainWithinAnyDescriptorLimit()
    {
        QFETCH(int, spare);
        QFETCH(int, levels);
        QFETCH(bool, reached);
        TempTree t;
        const std::string top = t.Dir("chain");
        chainTree(top, levels);
        walk::TOptions single;
        single.Workers = 1;
        std::optional<DescriptorsLeft> left(std::in_place, spare);
        QVERIFY(left->Lowered());
        QCOMPARE(walk::os::AvailableDescriptors(), spare);
        const WalkReport full = EngineWalk({walk::TRequest::TKind::FullSize, top});
        const WalkReport one = EngineWalk({walk::TRequest::TKind::FullSize, top}, single);
        left.reset();
        const std::vector<std::string> warnings = reached ? std::vector<std::string>{} : std::vector{top};
        for (const WalkReport &r : {full, one}) {
            QCOMPARE(r.Kb, reached ? std::int64_t(8) * levels : 0);
            QVERIFY2(r.Warnings == warnings, Describe(r).substr(0, 2000).c_str());
        }
    }

    // With few descriptors the walk closes folders and opens them again; each
    // is reopened from a near folder, so the opens stay in proportion to the
    // folders, not to the folders times the depth.
    void reopeningStaysLinear()
    {
        constexpr int kLevels = 3000;
        constexpr std::int64_t kFolders = 2 * kLevels + 1;
        TempTree t;
        const std::string top = t.Dir("chain");
        chainTree(top, kLevels);
        for (int workers : {1, 8}) {
            walk::TOptions few;
            few.Workers = workers;
            few.MaxOpenDirs = 8;
            const WalkReport r = EngineWalk({walk::TRequest::TKind::FullSize, top}, few);
            QCOMPARE(r.Kb, std::int64_t(8) * kLevels);
            QVERIFY(r.Warnings.empty());
            QVERIFY2(r.FolderOpens < 3 * kFolders, std::to_string(r.FolderOpens).c_str());
        }
    }

    void twoHundredThousandFilesInOneFolder()
    {
        TempTree t;
        const std::string big = t.Dir("big");
        // Creating this many files in one folder on disk can take minutes; a
        // memory file system makes the fixture fast where one can be mounted.
        const bool mounted = ::mount("quintavo", big.c_str(), "tmpfs", 0, "size=64m,nr_inodes=300000") == 0;
        QCOMPARE(Shell("cd '" + big + "' && seq 1 200000 | xargs truncate -s 1024"), 0);
        const std::int64_t kb = EngineWalk({walk::TRequest::TKind::FullSize, big}).Kb;
        if (mounted)
            ::umount2(big.c_str(), MNT_DETACH);
        QCOMPARE(kb, std::int64_t(200000));
    }

    // Entries that go away between the listing and their turn: a file counts
    // 0, a folder is reported like any folder that cannot be entered. One
    // worker reads the folder's files before it enters its sub-folders.
    void entriesVanishingDuringTheWalk()
    {
        TempTree t;
        t.File("w/keep", 2048);
        t.File("w/gone", 4096);
        t.File("w/sub/f", 1024);
        t.File("w/lost/f", 1024);
        walk::TOptions options;
        options.Workers = 1;
        options.BeforeStatus = [&](const char *name) {
            if (std::string(name) == "gone")
                ::unlink(t.Path("w/gone").c_str());
            if (std::string(name) == "keep" && ::unlink(t.Path("w/lost/f").c_str()) == 0)
                ::rmdir(t.Path("w/lost").c_str());
        };
        const WalkReport r = EngineWalk({walk::TRequest::TKind::FullSize, t.Path("w")}, options);
        QCOMPARE(r.Kb, std::int64_t(3));
        QCOMPARE(r.Warnings, std::vector<std::string>{t.Path("w/lost")});
    }

    void bindMountLoopEnds()
    {
        TempTree t;
        t.File("a/f", 1024);
        const std::string inner = t.Dir("a/b/c");
        if (::mount(t.Path("a").c_str(), inner.c_str(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("cannot bind-mount here");
        const WalkReport engine = EngineWalk({walk::TRequest::TKind::FullSize, t.Path("a")});
        const WalkReport reference = ReferenceFullSize(t.Path("a"));
        ::umount(inner.c_str());
        QCOMPARE(engine.Kb, std::int64_t(1));
        QVERIFY2(engine == reference, (Describe(engine) + Describe(reference)).c_str());
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
            walk::TOptions options;
            options.Workers = workers;
            const WalkReport r = EngineWalk({walk::TRequest::TKind::FullSize, t.Path("s")}, options);
            QVERIFY2(r == reference, Describe(r).c_str());
        }
    }

    void sizesAtTheThirtyTwoBitBoundaries()
    {
        TempTree t;
        t.File("b/two_g_kb", std::int64_t(1) << 41);       // 2^31 KiB
        t.File("b/four_g_kb", (std::int64_t(1) << 42) + 1023); // 2^32 KiB and a bit
        QCOMPARE(EngineWalk({walk::TRequest::TKind::FullSize, t.Path("b")}).Kb,
                 (std::int64_t(1) << 31) + (std::int64_t(1) << 32));
    }

    void fewDescriptorsStillWalkAWideDeepTree()
    {
        TempTree t;
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 6; ++j)
                t.File("w/" + std::to_string(i) + "/" + std::to_string(j) + "/k/l/m/n/f", 1024);
        walk::TOptions few;
        few.Workers = 1;
        few.MaxOpenDirs = 2;
        QCOMPARE(EngineWalk({walk::TRequest::TKind::FullSize, t.Path("w")}, few).Kb, std::int64_t(36));
    }

    // The system refuses every thread (a limit on an unprivileged user's
    // threads, a container's pids limit): the walk runs on the caller's thread.
    void withoutWorkerThreads()
    {
        const QByteArray given = qgetenv("QUINTAVO_PERMISSION_TREE");
        if (given.isEmpty()) {
            if (!isRoot() || Shell("command -v setpriv >/dev/null") != 0)
                QSKIP("needs root and setpriv to run as an unprivileged user");
            TempTree t;
            mixedTree(t);
            deepTree(t);
            const QByteArray failure = RunUnprivileged("TestWalk", "withoutWorkerThreads", t.Root());
            QVERIFY2(failure.isEmpty(), failure.constData());
            return;
        }
        struct rlimit none {};
        ::getrlimit(RLIMIT_NPROC, &none);
        none.rlim_cur = 0;
        QCOMPARE(::setrlimit(RLIMIT_NPROC, &none), 0);
        walk::TEngine engine;
        engine.Start({walk::TRequest::TKind::FilesSize, "/"})->Cancel();
        QVERIFY(!engine.HasWorkers());
        compareWalks(given.toStdString(), "no threads");
    }

    // Memory runs out in a worker: the walk says it failed, and ends.
    void memoryRunningOut()
    {
        TempTree t;
        wideTree(t);
        for (int workers : {1, 8}) {
            walk::TOptions options;
            options.Workers = workers;
            std::atomic<int> statuses{0};
            options.BeforeStatus = [&](const char *) {
                if (++statuses == 500)
                    throw std::bad_alloc();
            };
            const WalkReport r = EngineWalk({walk::TRequest::TKind::FullSize, t.Path("w")}, options);
            QVERIFY2(r.Failed, Describe(r).c_str());
        }
    }

    // A folder's sub-folders wait as names until their turn: the folders
    // held at once follow the walk's frontier, not the folder's width.
    void wideFolderWaitsAsNames()
    {
        TempTree t;
        const int fd = ::open(t.Dir("top/wide").c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < 20000; ++i)
            ::mkdirat(fd, std::to_string(i).c_str(), 0755);
        ::close(fd);
        for (int i = 0; i < 20000; i += 999)
            t.File("top/wide/" + std::to_string(i) + "/f", 2048);
        const std::string start = CurrentDir();
        const WalkReport scan = EngineWalk({walk::TRequest::TKind::Scan, t.Path("top/wide")});
        ChangeDir(start);
        const WalkReport full = EngineWalk({walk::TRequest::TKind::FullSize, t.Path("top")});
        QCOMPARE(scan.Folders.size(), std::size_t(20000));
        QCOMPARE(full.Kb, std::int64_t(2 * 21));
        for (const WalkReport &r : {scan, full})
            QVERIFY2(r.PeakFolders < 200, std::to_string(r.PeakFolders).c_str());
    }

    // Sums past 64 bits stay at the largest value instead of wrapping.
    void sumsSaturate()
    {
        TempTree t;
        QCOMPARE(Shell("cd '" + t.Dir("huge") + "' && seq 1 1101 | xargs truncate -s 9223372036854775807"), 0);
        t.File("huge/sub/one", 9223372036854775807LL);
        const WalkReport full = EngineWalk({walk::TRequest::TKind::FullSize, t.Path("huge")});
        QCOMPARE(full.Kb, INT64_MAX);
        const std::string start = CurrentDir();
        const WalkReport scan = EngineWalk({walk::TRequest::TKind::Scan, t.Path("huge")});
        ChangeDir(start);
        QCOMPARE(scan.Kb, INT64_MAX);
        QCOMPARE(scan.Folders.size(), std::size_t(1));
        QCOMPARE(scan.Folders[0].Kb, std::int64_t(9223372036854775807LL / 1024));
        compareWalks(t.Path("huge"), "saturating");
    }

    // devtmpfs shares tmpfs's magic number: only the mount table tells them apart.
    void pseudoFileSystemsCountZero()
    {
        if (!isRoot())
            QSKIP("mounting needs root");
        TempTree t;
        const std::string dev = t.Dir("m/dev");
        const std::string shm = t.Dir("m/shm");
        const std::string proc = t.Dir("m/proc");
        if (::mount("devtmpfs", dev.c_str(), "devtmpfs", 0, nullptr) != 0
            || ::mount("quintavo", shm.c_str(), "tmpfs", 0, "size=4m") != 0
            || ::mount("proc", proc.c_str(), "proc", 0, nullptr) != 0) {
            ::umount2(dev.c_str(), MNT_DETACH);
            ::umount2(shm.c_str(), MNT_DETACH);
            QSKIP("cannot mount here");
        }
        t.File("m/shm/f", 10240);
        const WalkReport scan = EngineWalk({walk::TRequest::TKind::Scan, t.Path("m")});
        ChangeDir("/");
        compareWalks(t.Path("m"), "pseudo");
        const WalkReport devOnly = EngineWalk({walk::TRequest::TKind::FullSize, dev});
        // Chosen as the folder itself, or a folder inside one: nothing is listed.
        std::vector<WalkReport> asTheFolder;
        for (const std::string &inside : {proc, proc + "/sys", dev})
            asTheFolder.push_back(EngineWalk({walk::TRequest::TKind::Scan, inside}));
        ChangeDir("/");
        compareWalks(proc, "pseudo itself");
        ::umount2(proc.c_str(), MNT_DETACH);
        ::umount2(shm.c_str(), MNT_DETACH);
        ::umount2(dev.c_str(), MNT_DETACH);
        QCOMPARE(scan.Folders.size(), std::size_t(3));
        for (const auto &f : scan.Folders)
            QCOMPARE(f.Kb, f.Name == "shm" ? std::int64_t(10) : std::int64_t(0));
        QVERIFY(scan.Warnings.empty());
        QCOMPARE(devOnly.Kb, std::int64_t(0));
        for (const WalkReport &r : asTheFolder)
            QVERIFY2(r.Entered && r.Kb == 0 && r.Folders.empty() && r.Warnings.empty(), Describe(r).c_str());
    }

    // Cores kept busy: one worker a core; cores left idle while work waits:
    // every worker; between the marks the count stays, so it does not swing.
    void paceFollowsTheCoresUse_data()
    {
        QTest::addColumn<double>("share");
        QTest::addColumn<int>("allowed");
        QTest::addColumn<int>("cores");
        QTest::addColumn<int>("expected");
        QTest::newRow("all busy") << 1.0 << 8 << 2 << 2;
        QTest::newRow("at the busy mark") << 0.85 << 8 << 2 << 2;
        QTest::newRow("just below it, from few") << 0.84 << 2 << 2 << 2;
        QTest::newRow("just below it, from all") << 0.84 << 8 << 2 << 8;
        QTest::newRow("at the waiting mark, from few") << 0.75 << 2 << 2 << 2;
        QTest::newRow("just below the waiting mark") << 0.7499 << 2 << 2 << 8;
        QTest::newRow("idle") << 0.0 << 2 << 2 << 8;
        QTest::newRow("more cores than workers") << 1.0 << 8 << 16 << 8;
        QTest::newRow("one core") << 0.95 << 8 << 1 << 1;
    }

    void paceFollowsTheCoresUse()
    {
        QFETCH(double, share);
        QFETCH(int, allowed);
        QFETCH(int, cores);
        QFETCH(int, expected);
        QCOMPARE(walk::TPace::NextAllowed(share, allowed, cores, 8), expected);
    }

    // The pace over time: a walk starts with a worker a core, looks once a
    // period, measures the processor time over the period just ended.
    void paceLooksOncePerPeriod()
    {
        using namespace std::chrono_literals;
        walk::TPace pace(2, 8);
        const walk::TPace::TClock::time_point t0{};
        constexpr std::int64_t kMs = 1'000'000;
        pace.Restart(t0, 500 * kMs);
        QCOMPARE(pace.Allowed(), 2);
        QVERIFY(!pace.Due(t0 + 24ms));
        QVERIFY(pace.Due(t0 + 25ms));
        // 25 ms on two cores is 50 ms of processor time: 10 ms of it is waiting.
        pace.Retune(t0 + 25ms, 510 * kMs);
        QCOMPARE(pace.Allowed(), 8);
        QVERIFY(!pace.Due(t0 + 40ms));
        pace.Retune(t0 + 50ms, 558 * kMs); // 48 of 50: busy
        QCOMPARE(pace.Allowed(), 2);
        pace.Retune(t0 + 75ms, 598 * kMs); // 40 of 50: between the marks
        QCOMPARE(pace.Allowed(), 2);
        pace.Restart(t0 + 10s, 0);
        QCOMPARE(pace.Allowed(), 2);
        QVERIFY(walk::os::Cores() >= 1);
        const std::int64_t before = walk::os::ProcessCpuNs();
        volatile double spin = 0;
        for (int i = 0; i < 2'000'000; ++i)
            spin = spin + i;
        QVERIFY(walk::os::ProcessCpuNs() > before);
    }
};

QTEST_GUILESS_MAIN(TestWalk)
#include "tst_walk.moc"

// The test file system itself: its tree and totals, its faults, its stall, and
// that neither a stalled request nor slowfs's own end can hang a test.
#include "support/SlowFs.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <map>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// errno of a status of `path` (0: it succeeded).
int StatErrno(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? 0 : errno;
}

// A folder's entries in listing order, dot entries left out, with their d_type;
// `error` gets the errno that ended the listing early (0: none).
std::vector<std::pair<std::string, int>> List(const std::string &path, int &error)
{
    std::vector<std::pair<std::string, int>> out;
    error = 0;
    DIR *d = ::opendir(path.c_str());
    if (!d) {
        error = errno;
        return out;
    }
    for (;;) {
        errno = 0;
        const dirent *e = ::readdir(d);
        if (!e) {
            error = errno;
            break;
        }
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            out.emplace_back(name, e->d_type);
    }
    ::closedir(d);
    return out;
}

// du's total of a folder, in kilobytes of apparent size.
long long Du(const std::string &path)
{
    QProcess du;
    du.start(QStringLiteral("du"), {"-sk", "--apparent-size", QString::fromStdString(path)});
    du.waitForFinished(60000);
    return du.readAllStandardOutput().split('\t').value(0).toLongLong();
}
} // namespace

class TestSlowFs : public QObject {
    Q_OBJECT

private slots:
    // The totals the tests rely on, counted by du, which shares no code with us.
    void totals_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<long long>("kb");
        QTest::newRow("whole tree") << "" << 3690LL;
        QTest::newRow("fast") << "fast" << 7LL;
        QTest::newRow("slow") << "slow" << 600LL;
        QTest::newRow("eio_list") << "eio_list" << 0LL;
        QTest::newRow("eio_stat") << "eio_stat" << 30LL;
        QTest::newRow("locked") << "locked" << 0LL;
        QTest::newRow("granted") << "granted" << 8LL;
        QTest::newRow("vanish") << "vanish" << 40LL;
        QTest::newRow("many") << "many" << 3000LL;
        QTest::newRow("next") << "next" << 4LL;
    }
    void totals()
    {
        QFETCH(QString, folder);
        QFETCH(long long, kb);
        QCOMPARE(Du(fast->Path(folder.toStdString())), kb);
    }

    void listingOrderAndTypes()
    {
        int error = 0;
        const auto top = List(fast->Root(), error);
        QCOMPARE(error, 0);
        std::vector<std::string> names;
        for (const auto &[name, type] : top)
            names.push_back(name);
        const std::vector<std::string> expected{"top", "fast", "slow", "eio_list", "eio_stat", "locked",
                                                "granted", "vanish", "many", "next"};
        QCOMPARE(names, expected);
        QCOMPARE(top[0].second, int(DT_REG));
        QCOMPARE(top[1].second, int(DT_DIR));

        // many: 3,000 typed files, then the untyped entry whose status is refused.
        const auto many = List(fast->Path("many"), error);
        QCOMPARE(error, 0);
        QCOMPARE(many.size(), std::size_t(3001));
        QCOMPARE(many.front().second, int(DT_REG));
        QCOMPARE(many[2999].second, int(DT_REG));
        QCOMPARE(many.back(), std::make_pair(std::string("untyped"), int(DT_UNKNOWN)));
        QCOMPARE(StatErrno(fast->Path("many/untyped")), EACCES);
        QCOMPARE(StatErrno(fast->Path("many/m2999")), 0);
    }

    void faults()
    {
        int error = 0;
        QVERIFY(List(fast->Path("eio_list"), error).empty());
        QCOMPARE(error, EIO);
        QCOMPARE(StatErrno(fast->Path("eio_list")), 0);

        QCOMPARE(List(fast->Path("eio_stat"), error).size(), std::size_t(3));
        QCOMPARE(StatErrno(fast->Path("eio_stat/bad")), EIO);
        QCOMPARE(StatErrno(fast->Path("eio_stat/ok2")), 0);

        // locked refuses even root, whatever its mode says.
        struct stat st {};
        QCOMPARE(::stat(fast->Path("locked").c_str(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0755));
        QVERIFY(List(fast->Path("locked"), error).empty());
        QCOMPARE(error, EACCES);
        QCOMPARE(::faccessat(AT_FDCWD, fast->Path("locked").c_str(), X_OK, AT_EACCESS), -1);
        QCOMPARE(errno, EACCES);
        QCOMPARE(::chdir(fast->Path("locked").c_str()), -1);

        // granted: the mode bits say no to others, the kernel's answer says yes.
        QCOMPARE(::stat(fast->Path("granted").c_str(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0700));
        QCOMPARE(st.st_uid, uid_t(0));
        QCOMPARE(::faccessat(AT_FDCWD, fast->Path("granted").c_str(), X_OK, AT_EACCESS), 0);

        // vanish: listed, then gone.
        QCOMPARE(List(fast->Path("vanish"), error).size(), std::size_t(4));
        for (const char *gone : {"vanish/gone1", "vanish/gone2", "vanish/gonedir"})
            QCOMPARE(StatErrno(fast->Path(gone)), ENOENT);
        QCOMPARE(::open(fast->Path("vanish/gonedir").c_str(), O_RDONLY | O_DIRECTORY), -1);
        QCOMPARE(errno, ENOENT);
    }

    void freeSpaceAndHugeFiles()
    {
        struct statvfs sv {};
        QCOMPARE(::statvfs(fast->Root().c_str(), &sv), 0);
        QCOMPARE(std::uint64_t(sv.f_bavail) * sv.f_frsize, std::uint64_t(4096000000));

        // 2^51 blocks of 4 KiB: 2^63 bytes, one past the largest signed 64-bit value.
        SlowFs big({"--stall=0", "--many=0", "--huge=1101", "--free-blocks=2251799813685248"});
        QVERIFY2(big.Mounted(), qPrintable(big.Why()));
        QCOMPARE(::statvfs(big.Root().c_str(), &sv), 0);
        QCOMPARE(std::uint64_t(sv.f_bavail), std::uint64_t(1) << 51);
        QCOMPARE(sv.f_frsize, 4096UL);
        int error = 0;
        QCOMPARE(List(big.Path("huge"), error).size(), std::size_t(1101));
        struct stat st {};
        QCOMPARE(::stat(big.Path("huge/h1100").c_str(), &st), 0);
        QCOMPARE(std::int64_t(st.st_size), std::numeric_limits<std::int64_t>::max());
        QCOMPARE(std::int64_t(st.st_blocks), std::int64_t(8)); // 4 KB really used
        QCOMPARE(List(big.Path("many"), error).size(), std::size_t(1)); // only `untyped`
    }

    // A status of `slow` waits as long as asked, and the rest answers meanwhile.
    void stall()
    {
        SlowFs fs({"--stall=1"});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        std::atomic<bool> done = false;
        int slowErrno = -1;
        const auto start = Clock::now();
        double slowSeconds = 0;
        std::thread slow([&] {
            slowErrno = StatErrno(fs.Path("slow"));
            slowSeconds = SecondsSince(start);
            done = true;
        });
        QTest::qWait(200);
        int error = 0;
        const bool answeredDuringStall = List(fs.Path("fast"), error).size() == 3 && !done;
        slow.join();
        QVERIFY(answeredDuringStall);
        QCOMPARE(slowErrno, 0);
        QVERIFY2(slowSeconds >= 0.95 && slowSeconds < 10, qPrintable(QString::number(slowSeconds)));

        // The listing stalls too, besides the lookup of `slow` on the way to it.
        const auto listStart = Clock::now();
        QCOMPARE(List(fs.Path("slow"), error).size(), std::size_t(3));
        QVERIFY(SecondsSince(listStart) >= 2 * 0.95);
    }

    // Killing a program stuck in a stalled call ends it: slowfs answers the
    // kernel's interrupt. Without that the caller would stay unkillable for the
    // whole stall.
    void killedCallerEnds()
    {
        SlowFs fs({"--stall=120"});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        QProcess caller;
        caller.start(QStringLiteral("stat"), {QString::fromStdString(fs.Path("slow"))});
        QVERIFY(caller.waitForStarted());
        QTest::qWait(300);
        QCOMPARE(caller.state(), QProcess::Running);
        caller.kill();
        QVERIFY(caller.waitForFinished(10000));
        QVERIFY(fs.Mounted());
        QCOMPARE(StatErrno(fs.Path("fast")), 0);
    }

    // Ending slowfs while a request stalls: it unmounts at once and the stalled
    // caller gets an error instead of waiting out the stall.
    void unmountWhileStalled()
    {
        SlowFs fs({"--stall=120"});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        const std::string root = fs.Root();
        QProcess caller;
        caller.start(QStringLiteral("ls"), {QString::fromStdString(fs.Path("slow"))});
        QVERIFY(caller.waitForStarted());
        QTest::qWait(300);
        QVERIFY(fs.Unmount());
        QVERIFY(caller.waitForFinished(10000));
        QVERIFY(caller.exitCode() != 0);
        QCOMPARE(fs.Pid(), qint64(0));
        QVERIFY(::access(root.c_str(), F_OK) != 0); // the mount point is removed too
    }

    // slowfs killed outright leaves a dead mount; Unmount still clears it.
    void killedSlowFsIsCleared()
    {
        SlowFs fs({"--stall=0"});
        QVERIFY2(fs.Mounted(), qPrintable(fs.Why()));
        const std::string root = fs.Root();
        QCOMPARE(::kill(pid_t(fs.Pid()), SIGKILL), 0);
        QTRY_COMPARE(StatErrno(fs.Path("fast")), ENOTCONN);
        QVERIFY(fs.Unmount());
        QVERIFY(::access(root.c_str(), F_OK) != 0);
    }

    void initTestCase()
    {
        fast = std::make_unique<SlowFs>(QStringList{"--stall=0"});
        QVERIFY2(fast->Mounted(), qPrintable(fast->Why()));
    }
    void cleanupTestCase() { fast.reset(); }

private:
    std::unique_ptr<SlowFs> fast; // the default tree without a stall
};

SLOWFS_TEST_MAIN(TestSlowFs)
#include "tst_slowfs.moc"

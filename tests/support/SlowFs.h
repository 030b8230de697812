#pragma once
// A slowfs mount for a test (tests/fuse/slowfs.cpp; `slowfs --help` shows its
// tree): mounted in a fresh temporary folder by the constructor, unmounted and
// its process ended by the destructor, even while a request of it stalls.
//
//   SlowFs fs({"--stall=2"});
//   if (!fs.Mounted())
//       QSKIP(qPrintable(fs.Why()));
//   window.form.scan(fs.Path("slow"));
//
// Declare it before anything that may keep the mount busy (a window that made
// a folder inside it current), so that it is destroyed after them.
#include <QApplication>
#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <cstdio>
#include <memory>
#include <string>

class SlowFs {
public:
    // `options` follow the mount point on slowfs's command line.
    explicit SlowFs(const QStringList &options = {});
    ~SlowFs();
    SlowFs(const SlowFs &) = delete;
    SlowFs &operator=(const SlowFs &) = delete;

    // True when the file system is mounted and answering.
    bool Mounted() const { return FMounted; }
    // Why it is not mounted (empty when it is).
    QString Why() const { return FWhy; }
    // The mount point, without a trailing separator.
    std::string Root() const { return FRoot; }
    std::string Path(const std::string &relative) const { return FRoot + "/" + relative; }
    // slowfs's process id, 0 when it is not running.
    qint64 Pid() const;
    // Ends slowfs (SIGTERM, then SIGKILL) and removes the mount, lazily when
    // it is busy. True when the mount point is no longer a mount. Idempotent.
    bool Unmount();

    // Empty when a slowfs can be mounted on this machine, else why not (no
    // /dev/fuse, no right to mount, slowfs not built). Tried once per process.
    static QString Unusable();

private:
    std::unique_ptr<QProcess> FProcess;
    std::string FRoot;
    QString FWhy;
    bool FMounted = false;
    bool FRemoved = false; // the mount point is gone
};

// Like QTEST_MAIN for a test executable whose every case needs slowfs: exits
// with 77 (registered as SKIP_RETURN_CODE) and a message when FUSE cannot be
// used here, so that CTest reports the test as skipped. `App` is the
// application class the cases need: QApplication for a window.
#define SLOWFS_TEST_MAIN_WITH(App, TestObject)                                                    \
    int main(int argc, char **argv)                                                               \
    {                                                                                             \
        App app(argc, argv);                                                                      \
        if (const QString why = SlowFs::Unusable(); !why.isEmpty()) {                             \
            std::printf("SKIP: %s\n", qPrintable(why));                                           \
            return 77;                                                                            \
        }                                                                                         \
        TestObject test;                                                                          \
        return QTest::qExec(&test, argc, argv);                                                   \
    }
#define SLOWFS_TEST_MAIN(TestObject) SLOWFS_TEST_MAIN_WITH(QApplication, TestObject)

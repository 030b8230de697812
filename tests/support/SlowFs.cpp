#include "support/SlowFs.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstdlib>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QUINTAVO_SLOWFS
#define QUINTAVO_SLOWFS ""
#endif

namespace {
constexpr int SkipExit = 77;
constexpr int MountWaitMs = 10000;
constexpr int EndWaitMs = 5000;

// True when `path` is the root of a mount: listed in this process's mount table.
bool IsMountPoint(const std::string &path)
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    // Field 5 is the mount point, with blanks and backslashes escaped as \ooo;
    // our temporary folders have neither.
    const QByteArray wanted = QByteArray::fromStdString(path);
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4 && fields[4] == wanted)
            return true;
    }
    return false;
}

int Run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(EndWaitMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
} // namespace

SlowFs::SlowFs(const QStringList &options)
{
    const QString program = QStringLiteral(QUINTAVO_SLOWFS);
    if (program.isEmpty() || !QFile::exists(program)) {
        FWhy = QStringLiteral("slowfs was not built (libfuse3-dev missing when configured)");
        return;
    }
    QByteArray dir = QDir::tempPath().toLocal8Bit() + "/slowfs-XXXXXX";
    if (!::mkdtemp(dir.data())) {
        FWhy = QStringLiteral("cannot make a mount point: %1").arg(qt_error_string(errno));
        return;
    }
    FRoot = dir.toStdString();
    ::chmod(FRoot.c_str(), 0755); // reachable by an unprivileged user with --allow-other

    FProcess = std::make_unique<QProcess>();
    FProcess->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess->start(program, QStringList{QString::fromStdString(FRoot), QStringLiteral("-f")} + options);
    // slowfs says "mounted" once the mount is in place; a status of the root
    // then proves that it answers.
    QDeadlineTimer deadline(MountWaitMs);
    QByteArray said;
    while (!said.contains('\n') && FProcess->state() != QProcess::NotRunning && !deadline.hasExpired())
        if (FProcess->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            said += FProcess->readAll();
    struct stat root {}, parent {};
    if (said.startsWith("mounted") && ::stat(FRoot.c_str(), &root) == 0 &&
        ::stat((FRoot + "/..").c_str(), &parent) == 0 && root.st_dev != parent.st_dev) {
        FMounted = true;
        return;
    }
    if (FProcess->state() == QProcess::NotRunning && FProcess->exitCode() == SkipExit)
        FWhy = QStringLiteral("FUSE cannot be used here (/dev/fuse missing or mounting not allowed)");
    else
        FWhy = QStringLiteral("slowfs did not mount on %1").arg(QString::fromStdString(FRoot));
    Unmount();
}

SlowFs::~SlowFs()
{
    Unmount();
}

qint64 SlowFs::Pid() const
{
    return FProcess && FProcess->state() != QProcess::NotRunning ? FProcess->processId() : 0;
}

bool SlowFs::Unmount()
{
    FMounted = false;
    if (FProcess && FProcess->state() != QProcess::NotRunning) {
        // SIGTERM: slowfs ends its stalls, unmounts and exits.
        FProcess->terminate();
        if (!FProcess->waitForFinished(EndWaitMs)) {
            FProcess->kill();
            FProcess->waitForFinished(EndWaitMs);
        }
    }
    FProcess.reset();
    if (FRoot.empty() || FRemoved)
        return true;
    // Killed, or unmounting failed: a dead mount ("transport endpoint is not
    // connected") is left, which only a lazy unmount removes when it is busy.
    if (IsMountPoint(FRoot) && Run(QStringLiteral("fusermount3"), {"-u", "-z", QString::fromStdString(FRoot)}) != 0)
        Run(QStringLiteral("umount"), {"-l", QString::fromStdString(FRoot)});
    if (IsMountPoint(FRoot))
        return false;
    ::rmdir(FRoot.c_str()); // never a recursive removal: it could reach into a mount
    FRemoved = true;
    return true;
}

QString SlowFs::Unusable()
{
    static const QString why = [] {
        SlowFs trial({QStringLiteral("--many=0"), QStringLiteral("--stall=0")});
        return trial.Mounted() ? QString() : trial.Why();
    }();
    return why;
}

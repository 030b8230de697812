#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
QString treeTemplate()
{
    if (::access("/dev/shm", W_OK | X_OK) == 0)
        return QStringLiteral("/dev/shm/quintavo-test-XXXXXX");
    return QDir::tempPath() + QStringLiteral("/quintavo-test-XXXXXX");
}
} // namespace

TempTree::TempTree() : FDir(treeTemplate()), FRoot(FDir.path().toLocal8Bit().toStdString())
{
    // Reachable by an unprivileged user too: the permission cases run as one.
    ::chmod(FRoot.c_str(), 0755);
}

const std::uint32_t kTile[8][8] = {
    {0x000080, 0x000080, 0x000080, 0x937DE6, 0x937DE6, 0x694DDB, 0x4D2BD5, 0x4D2BD5},
    {0x000080, 0x000080, 0x937DE6, 0x694DDB, 0x694DDB, 0x4D2BD5, 0x39209F, 0x39209F},
    {0x000080, 0x937DE6, 0x694DDB, 0x4D2BD5, 0x4D2BD5, 0x4D2BD5, 0x39209F, 0x301B83},
    {0x937DE6, 0x694DDB, 0x4D2BD5, 0x4D2BD5, 0x39209F, 0x39209F, 0x301B83, 0x000080},
    {0x694DDB, 0x4D2BD5, 0x4D2BD5, 0x39209F, 0x301B83, 0x301B83, 0x000080, 0x000080},
    {0x4D2BD5, 0x4D2BD5, 0x39209F, 0x301B83, 0x000080, 0x000080, 0x000080, 0x000080},
    {0x4D2BD5, 0x39209F, 0x301B83, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080},
    {0x39209F, 0x301B83, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080},
};

TempTree::~TempTree()
{
    Shell("chmod -R u+rwx '" + FRoot + "' 2>/dev/null; rm -rf '" + FRoot + "'");
}

namespace {
// mkdir -p on the bytes of the path: names need not be valid text.
void makePath(const std::string &p)
{
    for (std::size_t i = 1; i <= p.size(); ++i)
        if (i == p.size() || p[i] == '/')
            ::mkdir(p.substr(0, i).c_str(), 0755);
}
} // namespace

std::string TempTree::Dir(const std::string &relative) const
{
    const std::string p = Path(relative);
    makePath(p);
    return p;
}

std::string TempTree::File(const std::string &relative, std::int64_t bytes) const
{
    const std::string p = Path(relative);
    const auto slash = p.rfind('/');
    makePath(p.substr(0, slash));
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        if (::ftruncate(fd, bytes) != 0) {
        }
        ::close(fd);
    }
    return p;
}

std::string TempTree::Link(const std::string &relative, const std::string &target) const
{
    const std::string p = Path(relative);
    if (::symlink(target.c_str(), p.c_str()) != 0) {
    }
    return p;
}

std::uint32_t Rgb(const QImage &image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

QByteArray ImageDigest(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const QByteArray size = QByteArray::number(rgb.width()) + 'x' + QByteArray::number(rgb.height());
    hash.addData(size);
    std::vector<std::uint32_t> row(std::size_t(rgb.width()));
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            row[std::size_t(x)] = line[x] & 0xFFFFFFu;
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(row.data()), qsizetype(row.size() * 4)));
    }
    return hash.result().toHex().left(16);
}

int Shell(const std::string &command)
{
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

QByteArray RunUnprivileged(const char *testClass, const char *function, const std::string &root)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUINTAVO_PERMISSION_TREE"), QString::fromLocal8Bit(root.c_str()));
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(QStringLiteral("/"));
    child.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                            QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                                            QString::fromLatin1(function)});
    if (!child.waitForFinished(120000))
        return "the unprivileged run did not finish";
    const QByteArray out = child.readAllStandardOutput() + child.readAllStandardError();
    const QByteArray passed = QByteArray("PASS   : ") + testClass + "::" + function + "()";
    if (child.exitCode() != 0 || !out.contains(passed))
        return out;
    return {};
}

QByteArray RunWithScreenReader(const char *testClass, const char *function, QString *skip)
{
    for (const char *tool : {"dbus-run-session", "dbus-send", "xvfb-run"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            *skip = QStringLiteral("%1 is missing (make deps installs it)").arg(QLatin1String(tool));
            return {};
        }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUINTAVO_SCREEN_READER"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(env);
    // The accessibility bus starts on demand; telling it that a reader is on
    // is what a screen reader does when it starts.
    const QString script = QStringLiteral(
        "dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set "
        "string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null || exit 3; "
        "exec xvfb-run -a -s '-screen 0 800x600x24' \"$0\" \"$1\"");
    child.start(QStringLiteral("dbus-run-session"), {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
                                                     script, QCoreApplication::applicationFilePath(),
                                                     QString::fromLatin1(function)});
    if (!child.waitForFinished(120000))
        return "the run with a screen reader's bus did not finish";
    const QByteArray out = child.readAllStandardOutput() + child.readAllStandardError();
    if (child.exitCode() == 3) {
        *skip = QStringLiteral("no accessibility bus (make deps installs at-spi2-core)");
        return {};
    }
    const QByteArray passed = QByteArray("PASS   : ") + testClass + "::" + function + "()";
    if (child.exitCode() != 0 || !out.contains(passed))
        return out;
    return {};
}

std::string CurrentDir()
{
    std::string path(4096, '\0');
    while (!::getcwd(path.data(), path.size())) {
        if (errno != ERANGE)
            return {};
        path.resize(path.size() * 2);
    }
    path.resize(std::strlen(path.c_str()));
    return path;
}

bool ChangeDir(const std::string &path)
{
    if (::chdir(path.c_str()) == 0)
        return true;
    if (errno != ENAMETOOLONG)
        return false;
    // Longer than the system takes at once: a folder at a time.
    if (path[0] == '/' && ::chdir("/") != 0)
        return false;
    for (std::size_t pos = 0; pos < path.size();) {
        const std::size_t end = std::min(path.find('/', pos), path.size());
        if (end > pos && ::chdir(path.substr(pos, end - pos).c_str()) != 0)
            return false;
        pos = end + 1;
    }
    return true;
}

#include "app/Startup.h"

#include "resources/Resources.h"
#include "resources/TextCatalogue.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QSemaphore>
#include <QSettings>
#include <QThreadPool>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <vector>

namespace {
// A device file: not a folder, and no folder can be made below it, whoever asks.
constexpr const char *kNowhere = "/dev/null";

std::optional<QByteArray> envValue(const char *name)
{
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void restoreEnv(const char *name, const std::optional<QByteArray> &value)
{
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

// Hands a log line to handler, or prints it as Qt would when there is none.
void passOn(QtMessageHandler handler, QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (handler != nullptr)
        handler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

QtMessageHandler &previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

// The runtime-folder lookup complains that it found none; that is what we asked for.
void quietRuntimeLookup(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    passOn(previousHandler(), type, context, message);
}

// A log line of the toolkit held while the application starts; the context's
// strings are copied, since they need not outlive the call.
struct THeldMessage {
    QtMsgType Type;
    std::string File, Function, Category;
    int Line;
    QString Text;
};

struct THeldMessages {
    QtMessageHandler Previous = nullptr;
    std::vector<THeldMessage> Lines;
};

THeldMessages &heldMessages()
{
    static THeldMessages held;
    return held;
}

const char *envText(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

// True when a held line says that Qt has no Wayland plugin: it comes in a
// package of its own, which an install without recommended packages leaves out.
bool waylandPluginMissing()
{
    for (const THeldMessage &m : heldMessages().Lines)
        if (m.Text.startsWith(QLatin1String("Could not find the Qt platform plugin \"wayland")))
            return true;
    return false;
}

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    // Qt ends a process whose display cannot be opened with an abort; the
    // lines that led to it (which plugin was tried) say nothing to the user,
    // except that the Wayland one is not installed.
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "quintavo : impossible d'ouvrir la session graphique (DISPLAY=%s, WAYLAND_DISPLAY=%s)%s\n",
                     envText("DISPLAY"), envText("WAYLAND_DISPLAY"),
                     waylandPluginMissing() ? " : le greffon Wayland de Qt manque (paquet qt6-wayland)" : "");
        std::_Exit(1);
    }
    heldMessages().Lines.push_back({type, context.file ? context.file : "", context.function ? context.function : "",
                                    context.category ? context.category : "", context.line, text});
}
} // namespace

THeldStartupMessages::THeldStartupMessages()
{
    heldMessages().Lines.clear();
    heldMessages().Previous = qInstallMessageHandler(holdMessage);
}

THeldStartupMessages::~THeldStartupMessages()
{
    THeldMessages &held = heldMessages();
    qInstallMessageHandler(held.Previous);
    for (const THeldMessage &m : held.Lines) {
        const QMessageLogContext context(m.File.empty() ? nullptr : m.File.c_str(), m.Line,
                                         m.Function.empty() ? nullptr : m.Function.c_str(),
                                         m.Category.empty() ? nullptr : m.Category.c_str());
        passOn(held.Previous, m.Type, context, m.Text);
    }
    held.Lines.clear();
}

TNoRuntimeFolder::TNoRuntimeFolder()
{
    // A runtime folder that exists is only looked into: nothing to do.
    const QByteArray current = qgetenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!current.isEmpty() && ::stat(current.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return;
    FActive = true;
    FRuntimeDir = envValue("XDG_RUNTIME_DIR");
    FTmpDir = envValue("TMPDIR");
    // The fallback is TMPDIR/runtime-USER (or /runtime-USER when TMPDIR does not
    // exist), so both must lead to a place that exists and holds no folder.
    qputenv("XDG_RUNTIME_DIR", kNowhere);
    qputenv("TMPDIR", kNowhere);
    previousHandler() = qInstallMessageHandler(quietRuntimeLookup);
}

TNoRuntimeFolder::~TNoRuntimeFolder()
{
    if (!FActive)
        return;
    qInstallMessageHandler(previousHandler());
    restoreEnv("XDG_RUNTIME_DIR", FRuntimeDir);
    restoreEnv("TMPDIR", FTmpDir);
}

bool LoadQtTranslations(QCoreApplication &app)
{
    auto *qt = new QTranslator(&app);
    const bool found = qt->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (found)
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    // Installed last, so asked first: it holds only what Qt's catalogue lacks.
    InitQuintavoResources();
    auto *own = new TTextCatalogue(&app);
    if (own->LoadTs(QStringLiteral(":/i18n/qt_extra_fr.ts")))
        QCoreApplication::installTranslator(own);
    else
        delete own;
    return found;
}

void KeepQtSettingsOffDisk()
{
    // No folder can exist below a device file, so every user settings file Qt
    // would open there (QtProject.conf for the file dialog) can be neither read
    // nor created; the system-wide files are still only read.
    const QString nowhere = QStringLiteral("/dev/null");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
}

namespace {
// How many of `wanted` threads the system grants at once, held together and
// then let go.
int GrantedThreads(int wanted)
{
    QSemaphore release;
    std::vector<std::thread> held;
    try {
        while (int(held.size()) < wanted)
            held.emplace_back([&release] { release.acquire(); });
    } catch (const std::system_error &) {
        // Refused: the ones made so far are what there is.
    }
    release.release(int(held.size()));
    for (std::thread &t : held)
        t.join();
    return int(held.size());
}
} // namespace

int KeepDrawingThreads()
{
    // On a display server the accessibility bridge talks D-Bus through a
    // thread of its own, started on first use, and a refused one blocks the
    // window for ever too: it is started first, when the system can spare it
    // and one more thread to draw with.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"))) {
        if (GrantedThreads(2) < 2)
            return 0;
        QAccessible::isActive();
    }
    QThreadPool *pool = QThreadPool::globalInstance();
    const int granted = GrantedThreads(std::max(1, pool->maxThreadCount()));
    if (granted == 0)
        return 0;
    pool->setExpiryTimeout(-1);
    pool->setMaxThreadCount(granted);
    // Each task waits for all the others, so that each starts a thread of its own.
    QSemaphore arrived, go, left;
    for (int i = 0; i < granted; ++i)
        pool->start([&] {
            arrived.release();
            go.acquire();
            left.release();
        });
    // A thread refused in between never runs its task: the pool would wait on it.
    const bool all = arrived.tryAcquire(granted, 10000);
    go.release(granted);
    if (!all)
        return 0;
    // Not the pool's waitForDone(), which ends its threads.
    left.acquire(granted);
    return granted;
}

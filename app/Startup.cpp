#include "Startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>
#include <cstdio>
#include <sys/stat.h>

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
    if (previousHandler())
        previousHandler()(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}
} // namespace

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
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
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

// Start-up: the main window first (the dialogs take its pattern tile), then the
// folder dialog, then the help dialog; the message loop runs until the main
// window closes. No arguments, no settings: nothing is scanned before the
// user's first command.
#include "app/Accessibility.h"
#include "dialogs/DirSelDlg.h"
#include "dialogs/HelpDlg.h"
#include "app/Startup.h"
#include "app/Unit1.h"
#include "walk/Walk.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

constexpr const char *kNoDisplay =
    "quintavo : il faut une session graphique (ni DISPLAY ni WAYLAND_DISPLAY n'est défini)\n";
constexpr const char *kNoDrawingThread =
    "quintavo : le système refuse le fil d'exécution dont la fenêtre a besoin pour se dessiner (ulimit -u)\n";

bool Set(const char *name)
{
    const char *v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

// True when the platform plugin Qt will pick needs a display server and there
// is none to talk to; other plugins (offscreen, linuxfb, vnc...) need none.
bool DisplayMissing()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') {
        const std::string_view p(platform);
        if (!p.starts_with("xcb") && !p.starts_with("wayland"))
            return false;
    }
    return !Set("DISPLAY") && !Set("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char **argv)
{
    if (DisplayMissing()) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
    // A Wayland client places neither its window nor its dialogs (the
    // compositor does, and moves the window when it is dragged), so the X11
    // plugin is preferred where there is one.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && Set("WAYLAND_DISPLAY") && Set("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    walk::ShareOneArenaUnderAMemoryLimit();
    std::optional<THeldStartupMessages> heldMessages(std::in_place);
    std::optional<TNoRuntimeFolder> noRuntimeFolder(std::in_place);
    QApplication app(argc, argv);
    noRuntimeFolder.reset();
    heldMessages.reset();
    QApplication::setApplicationName(QStringLiteral("Quintavo"));
    // Lets the desktop match the window to its menu entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("org.quintavo.quintavo"));
    if (KeepDrawingThreads() == 0) {
        std::fputs(kNoDrawingThread, stderr);
        std::_Exit(1);
    }
    KeepQtSettingsOffDisk();
    LoadQtTranslations(app);
    TForm1 form;
    TDirSelDlg dirSelDlg(&form, form.PatternTile());
    THelpDlg helpDlg(&form, form.PatternTile());
    NameForScreenReaders(&dirSelDlg);
    NameForScreenReaders(&helpDlg);
    form.SetDialogs(&dirSelDlg, &helpDlg);
    form.show();
    return app.exec();
}

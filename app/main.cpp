// Start-up: the main window first (the dialogs take its pattern tile), then the
// folder dialog, then the help dialog; the message loop runs until the main
// window closes. No arguments, no settings: nothing is scanned before the
// user's first command.
#include "DirSelDlg.h"
#include "HelpDlg.h"
#include "Startup.h"
#include "Unit1.h"

#include <QApplication>
#include <cstdlib>

int main(int argc, char **argv)
{
    // A Wayland client cannot place its own window; the round window is dragged
    // by moving it, so the X11 plugin is preferred where there is one.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("WAYLAND_DISPLAY") != nullptr
        && std::getenv("DISPLAY") != nullptr)
        qputenv("QT_QPA_PLATFORM", "xcb");
    std::optional<TNoRuntimeFolder> noRuntimeFolder(std::in_place);
    QApplication app(argc, argv);
    noRuntimeFolder.reset();
    QApplication::setApplicationName(QStringLiteral("Quintavo"));
    KeepQtSettingsOffDisk();
    LoadQtTranslations(app);
    TForm1 form;
    TDirSelDlg dirSelDlg(&form, form.PatternTile());
    THelpDlg helpDlg(&form, form.PatternTile());
    form.DirSelDlg = &dirSelDlg;
    form.HelpDlg = &helpDlg;
    form.show();
    return app.exec();
}

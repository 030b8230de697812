#pragma once
// What the program sets up around the toolkit at start-up, so that Qt's own
// parts speak French and keep nothing on disk.
#include <QByteArray>
#include <QtGlobal>
#include <optional>

class QCoreApplication;

// Held while the application object is constructed. Qt's start-up looks for a
// sandbox marker in the runtime folder and creates that folder when
// XDG_RUNTIME_DIR is unset or names a missing one (/tmp/runtime-USER, or the
// named path). The program needs no runtime folder: while the guard lives,
// such a lookup finds none and creates none; the environment is restored after.
class TNoRuntimeFolder {
public:
    TNoRuntimeFolder();
    ~TNoRuntimeFolder();
    TNoRuntimeFolder(const TNoRuntimeFolder &) = delete;
    TNoRuntimeFolder &operator=(const TNoRuntimeFolder &) = delete;

private:
    bool FActive = false;
    std::optional<QByteArray> FRuntimeDir, FTmpDir;
};

// Held while the application object is constructed. The toolkit's log lines
// wait until it is built: when the display cannot be opened the toolkit ends
// the process, and then the program's own French line is the only thing
// printed (status 1). Otherwise the held lines go on, in order, to the handler
// that was in place, when the guard ends. One guard at a time.
class THeldStartupMessages {
public:
    THeldStartupMessages();
    ~THeldStartupMessages();
    THeldStartupMessages(const THeldStartupMessages &) = delete;
    THeldStartupMessages &operator=(const THeldStartupMessages &) = delete;
};

// Qt's own texts (the folder browser, standard buttons) in French: Qt's
// catalogue, then the program's own for the few texts that one lacks (which
// is asked first). True when Qt's catalogue was found; the program's is
// always installed. Both translators belong to app.
bool LoadQtTranslations(QCoreApplication &app);
// Qt facilities that keep state between runs (the file dialog's history and
// last folder) neither read nor write it.
void KeepQtSettingsOffDisk();

// The toolkit waits for ever on threads of its own that the system refuses:
// its raster engine hands large fills and image conversions to the global
// thread pool and waits for them, and on a display server its accessibility
// bridge waits for its D-Bus thread. So, once the application object exists
// (the display's own thread is then running) and before anything is drawn or
// walked, the D-Bus thread is started and the pool's threads too, while the
// system still grants them; the pool keeps them for the whole run and asks
// for no more. Returns how many threads the pool has: 0 when the window cannot
// be drawn, and then a thread may be left waiting: end the process with _Exit.
int KeepDrawingThreads();

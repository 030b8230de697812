// Times the main window's real scan of a folder, window shown off-screen and
// its timer running, and reports the total, the time, the peak memory and the
// longest gap between two served timer ticks.
//   scan_bench PATH [ROUNDS] [--close-after=MS]
// With --close-after, the scan runs from the event loop, as a command does,
// and the window gets a close request, as from the window manager, MS
// milliseconds after the start.
#include "FileSystem.h"
#include "Messages.h"
#include "PieSeries.h"
#include "Unit1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QCloseEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: scan_bench PATH [ROUNDS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const std::string path = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const QByteArray closeOption = argc > 3 ? QByteArray(argv[3]) : QByteArray();
    int warnings = 0;
    platform::SetBoxHook([&](const QString &, const QString &) { ++warnings; });
    TForm1 form;
    form.show();
    QElapsedTimer tick;
    qint64 longestGap = 0;
    QObject::connect(form.ScanTimer, &QTimer::timeout, [&] {
        if (tick.isValid())
            longestGap = std::max(longestGap, tick.nsecsElapsed());
        tick.restart();
    });
    if (closeOption.startsWith("--close-after=")) {
        const int ms = closeOption.mid(int(std::strlen("--close-after="))).toInt();
        QTimer::singleShot(0, &form, [&] { form.scan(path); });
        QTimer::singleShot(ms, &form, [&] {
            std::printf(form.Scanning() ? "closed during the scan\n" : "closed after the scan\n");
            std::fflush(stdout);
            QCoreApplication::postEvent(form.windowHandle(), new QCloseEvent);
        });
        return app.exec();
    }
    for (int r = 0; r < rounds; ++r) {
        // A stall before the first tick or after the last one counts too.
        tick.start();
        QElapsedTimer t;
        t.start();
        form.scan(path);
        const double seconds = t.nsecsElapsed() / 1e9;
        longestGap = std::max(longestGap, tick.nsecsElapsed());
        double total = 0;
        for (int i = 0; i < form.Series1->PointCount(); ++i)
            if (form.Series1->LabelAt(i) != "Espace libre")
                total += form.Series1->YValueAt(i);
        std::printf("scan_seconds: %.4f\n", seconds);
        std::printf("scan_total_kb: %.0f\n", total);
        std::fflush(stdout);
    }
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("warnings: %d\n", warnings);
    std::printf("peak_rss_mb: %.1f\n", ru.ru_maxrss / 1024.0);
    std::printf("longest_tick_gap_ms: %.1f\n", longestGap / 1e6);
    return 0;
}

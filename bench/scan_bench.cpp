// Times the main window's real scan of a folder, window shown off-screen and
// its timer running, and reports the total, the time, the peak memory, the
// longest gap between two served timer ticks and how long after the scan's
// start the first tick came.
//   scan_bench PATH [ROUNDS] [--close-after=MS | --gaps]
// With --close-after, the scan runs from the event loop, as a command does,
// and the window gets a close request, as from the window manager, MS
// milliseconds after the start. With --gaps, every gap over 11 ms is listed
// on the error output, with its time from the scan's start.
#include "chart/Chart.h"
#include "chart/ChartSeries.h"
#include "platform/Messages.h"
#include "app/Startup.h"
#include "app/Unit1.h"
#include "walk/Walk.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

// The ticks of the scan timer as the window's thread serves them.
class TTickWatch {
public:
    explicit TTickWatch(bool listGaps) : FListGaps(listGaps) {}
    void ScanStarts()
    {
        FSinceScan.start();
        FLast = -1;
    }
    void Tick()
    {
        const qint64 now = FSinceScan.nsecsElapsed();
        if (FLast < 0) {
            FFirst = std::max(FFirst, now);
        } else {
            FLongest = std::max(FLongest, now - FLast);
            if (FListGaps && now - FLast > 11'000'000)
                std::fprintf(stderr, "gap %.1f ms at %.1f ms\n", (now - FLast) / 1e6, now / 1e6);
        }
        FLast = now;
    }
    double LongestMs() const { return FLongest / 1e6; }
    double FirstMs() const { return FFirst / 1e6; }

private:
    const bool FListGaps;
    QElapsedTimer FSinceScan;
    qint64 FLast = -1;
    qint64 FLongest = 0;
    qint64 FFirst = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: scan_bench PATH [ROUNDS] [--close-after=MS | --gaps]\n");
        return 2;
    }
    walk::ShareOneArenaUnderAMemoryLimit();
    QApplication app(argc, argv);
    // As the program does: the drawing threads first, then the walk's.
    if (KeepDrawingThreads() == 0) {
        std::fprintf(stderr, "no thread to draw the window\n");
        std::_Exit(1);
    }
    const std::string path = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const QByteArray option = argc > 3 ? QByteArray(argv[3]) : QByteArray();
    int warnings = 0;
    platform::SetBoxHook([&](const QString &, const QString &) { ++warnings; });
    TForm1 form;
    form.show();
    TTickWatch ticks(option == "--gaps");
    // The window's timer and pie, found as any tool finds a window's parts.
    QObject::connect(form.findChild<QTimer *>(QStringLiteral("ScanTimer")), &QTimer::timeout, [&] { ticks.Tick(); });
    const TChartSeries &pie = *form.findChild<TChart *>(QStringLiteral("Chart1"))->SeriesAt(0);
    if (option.startsWith("--close-after=")) {
        const int ms = option.mid(int(std::strlen("--close-after="))).toInt();
        QTimer::singleShot(0, &form, [&] { form.scan(path); });
        QTimer::singleShot(ms, &form, [&] {
            std::printf(form.Scanning() ? "closed during the scan\n" : "closed after the scan\n");
            std::fflush(stdout);
            QCoreApplication::postEvent(form.windowHandle(), new QCloseEvent);
        });
        return app.exec();
    }
    // A user's first command comes after the window has been drawn.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int r = 0; r < rounds; ++r) {
        ticks.ScanStarts();
        QElapsedTimer t;
        t.start();
        form.scan(path);
        const double seconds = t.nsecsElapsed() / 1e9;
        double total = 0;
        for (int i = 0; i < pie.PointCount(); ++i)
            if (pie.LabelAt(i) != "Espace libre")
                total += pie.YValueAt(i);
        std::printf("scan_seconds: %.4f\n", seconds);
        std::printf("scan_total_kb: %.0f\n", total);
        std::fflush(stdout);
    }
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("warnings: %d\n", warnings);
    std::printf("peak_rss_mb: %.1f\n", ru.ru_maxrss / 1024.0);
    std::printf("longest_tick_gap_ms: %.1f\n", ticks.LongestMs());
    std::printf("first_tick_ms: %.1f\n", ticks.FirstMs());
    return 0;
}

// Times what the window draws, off-screen, in a chart of the window's size
// (205 x 205) set up as the window's own:
//   pie_bench pie N [ROUNDS]  the first frame of a pie of N slices (a folder's
//                             files and N - 1 sub-folders of spread sizes) and
//                             filling the series before it, median of ROUNDS,
//                             and the peak memory once the first was drawn;
//   pie_bench text [TICKS]    one tick of the turning progress text: the last
//                             text erased in the background colour, the next
//                             drawn a degree further, as the scan's timer does.
// Run one case per process, so that each peak is its own.
#include "chart/Chart.h"
#include "chart/PieSeries.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kChartSize = 205;
constexpr TColor kNavy = RGB(0, 0, 0x80);
constexpr TColor kYellow = RGB(0xFF, 0xFF, 0);

// The window's chart and pie, as its stored form and its constructor set them.
struct TBenchChart {
    TChart Chart;
    TPieSeries *Series = nullptr;

    TBenchChart()
    {
        Chart.resize(kChartSize, kChartSize);
        Chart.SetColor(kNavy);
        Chart.SetBackColor(kNavy);
        Chart.SetBevelOuter(TPanelBevel::bvNone);
        Chart.SetMargins(0, 0, 0, 0);
        Chart.SetView3D(false);
        Chart.PutView3DWalls(false);
        Chart.PutAxisVisible(false);
        Chart.PutLeftAxisVisible(false);
        Chart.PutClipPoints(false);
        Chart.PutAllowZoom(false);
        Chart.PutAllowPanning(false);
        Chart.PutFrameVisible(false);
        Chart.PutLegendVisible(false);
        Chart.PutTitleVisible(false);
        Chart.PutFootVisible(false);
        Series = new TPieSeries(&Chart);
        Series->Marks.Visible = false;
        Series->SetSeriesColor(clRed);
        Series->SetCircleBackColor(clBlue);
        Series->SetDark3D(false);
        Series->PieValues().Order = TChartListOrder::loNone;
        Series->SetParentChart(&Chart);
        // Shown, as in the window: a change then asks for a repaint.
        Chart.show();
        QCoreApplication::processEvents();
    }

    // One frame as a paint request draws it, the kept frame forgotten.
    QImage Frame()
    {
        Chart.Invalidate();
        return Chart.grab().toImage();
    }
};

// Shades from dark to bright violet in listing order, the files white.
TColor ShadeOf(int index)
{
    static constexpr int kBlue[10] = {50, 70, 80, 100, 125, 150, 175, 200, 225, 255};
    const int m = index % 10;
    return RGB((index < 10 ? 15 : 10) * m, 0, kBlue[m]);
}

// The sizes of a folder's files and sub-folders: spread over five orders of
// magnitude, most of them small, as in a folder of shared data.
std::vector<double> FolderSizes(int n)
{
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> exponent(0.0, 12.0);
    std::vector<double> sizes(std::size_t(std::max(n, 0)));
    for (double &s : sizes)
        s = std::floor(std::exp(exponent(random))) + 4;
    return sizes;
}

void Fill(TPieSeries &series, const std::vector<double> &sizes)
{
    for (std::size_t i = 0; i < sizes.size(); ++i)
        series.AddPoint(sizes[i], i == 0 ? std::string("fichiers") : "dossier-" + std::to_string(i),
                        i == 0 ? clWhite : ShadeOf(int(i)));
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double PeakMb()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024.0;
}

double Ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

int BenchPie(int n, int rounds)
{
    const std::vector<double> sizes = FolderSizes(n);
    std::vector<double> fill, frame;
    double firstPeak = 0;
    for (int r = 0; r < rounds; ++r) {
        // A new chart each round: nothing of an earlier pie is kept.
        TBenchChart bench;
        bench.Frame(); // the empty pie the window shows before a scan
        QElapsedTimer t;
        t.start();
        Fill(*bench.Series, sizes);
        fill.push_back(Ms(t));
        t.start();
        const QImage shot = bench.Frame();
        frame.push_back(Ms(t));
        if (shot.size() != QSize(kChartSize, kChartSize)) {
            std::fprintf(stderr, "no frame drawn\n");
            return 1;
        }
        if (r == 0)
            firstPeak = PeakMb();
    }
    std::printf("pie_%d_fill_ms: %.2f\n", n, Median(fill));
    std::printf("pie_%d_first_frame_ms: %.2f\n", n, Median(frame));
    std::printf("pie_%d_peak_rss_mb: %.1f\n", n, firstPeak);
    return 0;
}

int BenchText(int ticks)
{
    TBenchChart bench;
    Fill(*bench.Series, FolderSizes(0));
    bench.Frame();
    TChartCanvas3D *canvas = bench.Chart.ChartCanvas();
    const QString text = QStringLiteral("-----analyse---->");
    const int cx = kChartSize / 2, cy = kChartSize / 2;
    int angle = 360;
    std::vector<double> perTick;
    perTick.reserve(std::size_t(ticks));
    for (int k = 0; k < ticks; ++k) {
        QElapsedTimer t;
        t.start();
        canvas->Font().SetColor(kNavy);
        canvas->RotatedTextOut(cx, cy, text, angle);
        if (--angle < 0)
            angle = 360;
        canvas->Font().SetColor(kYellow);
        canvas->RotatedTextOut(cx, cy, text, angle);
        perTick.push_back(t.nsecsElapsed() / 1e3);
    }
    // The first turn meets every angle once; later turns meet them again.
    const std::size_t turn = std::min<std::size_t>(361, perTick.size());
    double first = 0, later = 0;
    for (std::size_t k = 0; k < perTick.size(); ++k)
        (k < turn ? first : later) += perTick[k];
    std::printf("text_tick_first_turn_us: %.1f\n", first / double(turn));
    if (perTick.size() > turn)
        std::printf("text_tick_later_turns_us: %.1f\n", later / double(perTick.size() - turn));
    std::printf("text_tick_median_us: %.1f\n", Median(perTick));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("pie"))
        return BenchPie(args[2].toInt(), args.size() > 3 ? std::max(1, args[3].toInt()) : 5);
    if (args.size() >= 2 && args[1] == QLatin1String("text"))
        return BenchText(args.size() > 2 ? std::max(1, args[2].toInt()) : 1083);
    std::fprintf(stderr, "usage: pie_bench pie N [ROUNDS] | pie_bench text [TICKS]\n");
    return 2;
}

// The chart panel: plot rectangle, frame cache, drawing events, series list and
// the dispatch of presses.
#include "Chart.h"
#include "ChartErrors.h"
#include "PieSeries.h"
#include "TestSupport.h"

#include <QtTest>

namespace {
// A panel configured like the main window's chart, shown off-screen.
struct Panel {
    TChart chart;
    TPieSeries *pie;
    int afterDraw = 0;
    explicit Panel(bool zeroMargins = true)
    {
        chart.resize(205, 205);
        chart.SetColor(RGB(0, 0, 0x80));
        chart.BevelOuter = TPanelBevel::bvNone;
        if (zeroMargins)
            chart.SetMargins(0, 0, 0, 0);
        chart.SetView3D(false);
        pie = new TPieSeries(&chart);
        pie->SetParentChart(&chart);
        chart.OnAfterDraw = [this](QObject *) { ++afterDraw; };
        chart.show();
    }
    void Paint()
    {
        chart.repaint();
        QCoreApplication::processEvents();
    }
};
} // namespace

class TestChartPanel : public QObject {
    Q_OBJECT
private slots:
    void plotRect_data()
    {
        QTest::addColumn<bool>("zeroMargins");
        QTest::addColumn<QRect>("expected"); // left, top, right, bottom in x, y, width, height
        QTest::newRow("default margins") << false << QRect(6, 8, 199, 197);
        QTest::newRow("no margins") << true << QRect(0, 0, 205, 205);
    }

    void plotRect()
    {
        QFETCH(bool, zeroMargins);
        QFETCH(QRect, expected);
        Panel p(zeroMargins);
        p.Paint();
        const TRect r = p.chart.PlotRect();
        QCOMPARE(QRect(r.Left, r.Top, r.Right, r.Bottom), expected);
        if (zeroMargins) {
            QCOMPARE(p.chart.PlotXCenter, 102);
            QCOMPARE(p.chart.PlotWidth, 205);
        }
    }

    void repaintWithoutChangeCopiesTheKeptFrame()
    {
        Panel p;
        p.Paint();
        const int frames = p.afterDraw;
        QVERIFY(frames >= 1);
        p.chart.Repaint();
        p.Paint();
        QCOMPARE(p.afterDraw, frames);
        p.pie->AddPoint(1, "a", clRed);
        p.Paint();
        QCOMPARE(p.afterDraw, frames + 1);
    }

    void frameShowsNavyBackgroundAndSlices()
    {
        Panel p;
        p.pie->AddPoint(1, "a", clRed);
        p.pie->AddPoint(1, "b", clLime);
        p.Paint();
        const QImage img = p.chart.grab().toImage();
        QCOMPARE(Rgb(img, 1, 1), 0x000080u);
        QCOMPARE(Rgb(img, 102, 40), 0xFF0000u);
        QCOMPARE(Rgb(img, 102, 160), 0x00FF00u);
    }

    void beforeDrawAxesNeverRaisedWithAxesHidden()
    {
        Panel p;
        int axes = 0, series = 0;
        p.chart.OnBeforeDrawAxes = [&](QObject *) { ++axes; };
        p.chart.OnBeforeDrawSeries = [&](QObject *) { ++series; };
        QVERIFY(!p.chart.AxisVisible()); // the pie switched them off
        p.chart.Invalidate();
        p.Paint();
        QCOMPARE(axes, 0);
        QVERIFY(series >= 1);
    }

    void paletteExhaustionGivesRed()
    {
        TChart chart;
        for (TColor c : DefaultPalette) {
            auto *s = new TChartSeries(&chart);
            s->SetSeriesColor(c);
            s->SetParentChart(&chart);
        }
        auto *extra = new TChartSeries(&chart);
        extra->SetParentChart(&chart);
        QCOMPARE(extra->SeriesColor(), clRed);
        auto *first = new TChart;
        auto *free = new TChartSeries(first);
        first->SetColor(clRed);
        free->SetParentChart(first);
        QCOMPARE(free->SeriesColor(), clGreen);
        delete first;
    }

    void chartExceptions()
    {
        TChart chart;
        QVERIFY_THROWS_EXCEPTION(ChartException, chart.SetChart3DPercent(101));
        QCOMPARE(chart.Chart3DPercent(), 15);
        try {
            chart.SetMaxPointsPerPage(-1);
            QFAIL("no error");
        } catch (const ChartException &e) {
            QCOMPARE(e.Message(), QStringLiteral("MaxPointsPerPage doit être >= 0"));
        }
    }

    void pressOnASliceRaisesMouseDownThenClickSeries()
    {
        Panel p;
        p.pie->AddPoint(1, "a");
        p.pie->AddPoint(1, "b");
        p.Paint();
        QStringList events;
        p.chart.OnMouseDown = [&](QObject *, TMouseButton, TShiftState, int, int) { events << QStringLiteral("down"); };
        p.chart.OnClickSeries = [&](TCustomChart *, TChartSeries *, int index, TMouseButton, TShiftState, int, int) {
            events << QStringLiteral("series %1").arg(index);
        };
        QTest::mouseClick(&p.chart, Qt::LeftButton, {}, QPoint(102, 150));
        QCOMPARE(events, QStringList({QStringLiteral("down"), QStringLiteral("series 1")}));
        events.clear();
        // Outside every slice only the mouse-down event comes, and no zoom starts.
        QTest::mouseClick(&p.chart, Qt::RightButton, {}, QPoint(204, 204));
        QCOMPARE(events, QStringList({QStringLiteral("down")}));
        QVERIFY(!p.chart.Zoom.Active && !p.chart.Panning.Active);
    }

    void nestedPressDuringAClickHandlerIsSwallowed()
    {
        Panel p;
        p.pie->AddPoint(1, "a");
        p.Paint();
        int clicks = 0, downs = 0;
        p.chart.OnMouseDown = [&](QObject *, TMouseButton, TShiftState, int, int) { ++downs; };
        p.chart.OnClickSeries = [&](TCustomChart *, TChartSeries *, int, TMouseButton, TShiftState, int, int) {
            ++clicks;
            if (clicks == 1) // a press arrives while this handler still runs
                p.chart.ChartMouseDown(TMouseButton::mbLeft, 0, 102, 50);
        };
        p.chart.ChartMouseDown(TMouseButton::mbLeft, 0, 102, 50);
        QCOMPARE(clicks, 1);
        QVERIFY(!p.chart.ClickConsumed);
        p.chart.ChartMouseDown(TMouseButton::mbLeft, 0, 102, 50);
        QCOMPARE(clicks, 2);
    }

    void theLastSeriesInTheListWins()
    {
        Panel p;
        auto *second = new TPieSeries(&p.chart);
        second->SetParentChart(&p.chart);
        p.pie->AddPoint(1);
        second->AddPoint(1);
        p.Paint();
        const TClickedPart part = p.chart.FindClickedPart(102, 50);
        QCOMPARE(part.Part, TClickedPartKind::cpSeries);
        QCOMPARE(part.Series, static_cast<TChartSeries *>(second));
        second->SetActive(false);
        p.pie->SetActive(false);
        QCOMPARE(p.chart.FindClickedPart(102, 50).Part, TClickedPartKind::cpNone);
    }

    void doubleClickComesAsASecondPressWithTheFlag()
    {
        Panel p;
        p.pie->AddPoint(1);
        p.Paint();
        QList<bool> flags;
        p.chart.OnClickSeries = [&](TCustomChart *, TChartSeries *, int, TMouseButton, TShiftState shift, int, int) {
            flags << bool(shift & ssDouble);
        };
        QTest::mouseClick(&p.chart, Qt::LeftButton, {}, QPoint(102, 50));
        QTest::mouseDClick(&p.chart, Qt::LeftButton, {}, QPoint(102, 50));
        QCOMPARE(flags, QList<bool>({false, true}));
    }
};

QTEST_MAIN(TestChartPanel)
#include "tst_chartpanel.moc"

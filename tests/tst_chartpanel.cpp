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
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
    }
    // Serves what is pending, then a paint request as the toolkit makes one.
    void Paint()
    {
        QCoreApplication::processEvents();
        chart.grab();
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

    void pressDuringTheSeriesOwnClickIsSwallowed()
    {
        Panel p;
        p.pie->AddPoint(1, "a");
        p.Paint();
        int clicks = 0;
        p.pie->OnClick = [&](TChartSeries *, int, TMouseButton, TShiftState, int, int) {
            ++clicks;
            if (clicks == 1)
                p.chart.ChartMouseDown(TMouseButton::mbLeft, 0, 102, 50);
        };
        p.chart.ChartMouseDown(TMouseButton::mbLeft, 0, 102, 50);
        QCOMPARE(clicks, 1);
        QVERIFY(!p.chart.ClickConsumed);
    }

    void wheelTurnDrawsANewFrame()
    {
        Panel p;
        p.Paint();
        const int frames = p.afterDraw;
        QWheelEvent wheel(QPointF(100, 100), p.chart.mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&p.chart, &wheel);
        p.Paint();
        QCOMPARE(p.afterDraw, frames + 1);
    }

    void unchangedSettingsDrawNoNewFrame_data()
    {
        QTest::addColumn<int>("setting");
        const char *names[] = {"margins", "margin left", "margin bottom", "bevel", "left axis", "legend",
                               "title", "foot", "back colour", "monochrome", "inner bevel", "border width"};
        for (int i = 0; i < int(std::size(names)); ++i)
            QTest::newRow(names[i]) << i;
    }

    // Setting what is already there draws nothing new; a new value does.
    void unchangedSettingsDrawNoNewFrame()
    {
        QFETCH(int, setting);
        Panel p;
        p.chart.PutLegendVisible(false);
        p.chart.SetBackColor(RGB(0, 0, 0x80));
        p.Paint();
        TChart &c = p.chart;
        const std::function<void(bool)> set[] = {
            [&](bool n) { c.SetMargins(n ? 1 : 0, 0, 0, 0); },
            [&](bool n) { c.PutMarginLeft(n ? 2 : 0); },
            [&](bool n) { c.PutMarginBottom(n ? 2 : 0); },
            [&](bool n) { c.PutBevelOuter(int(n ? TPanelBevel::bvRaised : TPanelBevel::bvNone)); },
            [&](bool n) { c.PutLeftAxisVisible(n ? !c.GetLeftAxisVisible() : c.GetLeftAxisVisible()); },
            [&](bool n) { c.PutLegendVisible(n); },
            [&](bool n) { c.PutTitleVisible(n ? !c.GetTitleVisible() : c.GetTitleVisible()); },
            [&](bool n) { c.PutFootVisible(n ? !c.GetFootVisible() : c.GetFootVisible()); },
            [&](bool n) { c.SetBackColor(n ? clRed : RGB(0, 0, 0x80)); },
            [&](bool n) { c.ChartCanvas()->SetMonochrome(n); },
            [&](bool n) { c.SetBevelInner(n ? TPanelBevel::bvLowered : TPanelBevel::bvNone); },
            [&](bool n) { c.SetBorderWidth(n ? 3 : 0); },
        };
        const int frames = p.afterDraw;
        set[setting](false);
        p.Paint();
        QCOMPARE(p.afterDraw, frames);
        set[setting](true);
        p.Paint();
        QCOMPARE(p.afterDraw, frames + 1);
    }

    void resizedPanelDrawsANewFrameOfItsNewSize()
    {
        Panel p;
        p.Paint();
        const int frames = p.afterDraw;
        p.chart.resize(150, 120);
        p.Paint();
        QCOMPARE(p.afterDraw, frames + 1);
        QCOMPARE(p.chart.ChartCanvas()->FrameBitmap()->Image().size(), QSize(150, 120));
    }

    void everyPanelClassCountsInvalidationsOnceBuilt()
    {
        // A panel class below the full chart, completed only where it must be.
        struct AxisPanel : TCustomAxisPanel {
            TColor BackColor() const override { return clAutoColor; }
            bool IsFullChart() const override { return false; }
            void SetFrameVisible(bool) override {}
            void SetBackWallBrushStyle(TBrushStyle) override {}
        } panel;
        panel.resize(50, 50);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        panel.repaint();
        QVERIFY(!panel.ChartCanvas()->Dirty());
        panel.Invalidate();
        QVERIFY(panel.ChartCanvas()->Dirty());
    }

    void destroyingThePanelDestroysItsSeries()
    {
        QObject owner;
        auto chart = std::make_unique<TChart>();
        QPointer<TPieSeries> series = new TPieSeries(&owner);
        series->SetParentChart(chart.get());
        chart.reset();
        QVERIFY(series.isNull());
    }

    void savedCursorIsTheStoredOne()
    {
        TChart chart;
        chart.setCursor(Qt::CrossCursor); // as a stored form sets it
        chart.show();
        QCOMPARE(chart.SavedCursor, Qt::CrossCursor);
    }

    void plotWallsLeaveTheFillStylesBackgroundMode()
    {
        Panel p;
        p.chart.BackWall.Color = RGB(0, 0, 0x80);
        p.chart.BackWall.Brush.Style = TBrushStyle::bsSolid;
        TBkMode mode = TBkMode::Opaque;
        p.chart.OnBeforeDrawSeries = [&](QObject *) { mode = p.chart.ChartCanvas()->GetBackgroundMode(); };
        p.chart.Invalidate();
        p.Paint();
        QCOMPARE(mode, TBkMode::Transparent);
    }

    void textAlignmentIsTheDevices()
    {
        Panel p;
        TChartCanvas3D *c = p.chart.ChartCanvas();
        QCOMPARE(c->GetTextAlignment(), TA_LEFT | TA_TOP);
        c->SetTextAlignment(TA_CENTER | TA_BASELINE);
        QCOMPARE(c->GetTextAlignment(), TA_CENTER | TA_BASELINE);
    }

    // After rotated text the brush is clear: a pattern still held by the brush
    // must not paint until the brush is set again.
    void rotatedTextLeavesTheBrushClear()
    {
        QImage img(20, 20, QImage::Format_RGB32);
        img.fill(Qt::white);
        TCanvas window(&img);
        TChartCanvas3D c(&window);
        QImage tile(8, 8, QImage::Format_RGB32);
        tile.fill(Qt::green);
        c.Brush().SetBitmap(tile);
        c.RotatedTextOut(0, 0, QStringLiteral(" "), 0);
        QCOMPARE(c.Brush().Style(), TBrushStyle::bsClear);
        c.FillRect(TRect{0, 0, 20, 20});
        QCOMPARE(Rgb(img, 10, 10), 0xFFFFFFu);
    }
};

QTEST_MAIN(TestChartPanel)
#include "tst_chartpanel.moc"

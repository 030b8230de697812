// The chart panel: plot rectangle, frame cache, drawing events, series list and
// the dispatch of presses.
#include "chart/Chart.h"
#include "chart/ChartErrors.h"
#include "chart/PieSeries.h"
#include "support/TestSupport.h"

#include <QPainter>
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
        // The double click leaves the button down: let it go, as the user does.
        QTest::mouseRelease(&p.chart, Qt::LeftButton, {}, QPoint(102, 50));
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

    // Over a slice the pointer takes the series' cursor; off the pie (in the
    // margin) it goes back to the one the stored form gave the chart, not to the arrow.
    void pointerTakesTheSlicesCursorThenTheStoredOne()
    {
        TChart chart;
        chart.resize(205, 205);
        chart.setCursor(Qt::CrossCursor); // as a stored form sets it, before the chart is shown
        auto *pie = new TPieSeries(&chart);
        pie->SetParentChart(&chart);
        pie->Cursor = Qt::PointingHandCursor;
        pie->AddPoint(1);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.grab();
        // From the margin onto the pie and back: each move goes somewhere new.
        QTest::mouseMove(&chart, QPoint(1, 1));
        QTest::mouseMove(&chart, QPoint(102, 60));
        QTRY_COMPARE(chart.cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(&chart, QPoint(1, 1));
        QTRY_COMPARE(chart.cursor().shape(), Qt::CrossCursor);
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

    void turningTextIsTheFontEngines_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<TColor>("colour");
        QTest::addColumn<bool>("clipped");
        for (const int angle : {0, 1, 45, 90, 180, 271, 359, 360}) {
            QTest::addRow("%d, yellow", angle) << angle << RGB(0xFF, 0xFF, 0) << false;
            QTest::addRow("%d, navy", angle) << angle << RGB(0, 0, 0x80) << false;
        }
        QTest::newRow("90, yellow, clipped") << 90 << RGB(0xFF, 0xFF, 0) << true;
    }

    // The turning text, drawn from the pixels kept for its angle, covers what
    // the font engine draws, the first time at an angle and after: over a
    // picture of many colours, in either colour, inside a clip region too.
    void turningTextIsTheFontEngines()
    {
        QFETCH(int, angle);
        QFETCH(TColor, colour);
        QFETCH(bool, clipped);
        const QString text = QStringLiteral("-----analyse---->");
        QImage background(205, 205, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 205; ++y)
            for (int x = 0; x < 205; ++x)
                background.setPixel(x, y, qRgb(x, y, (x * y) % 256));
        const TRegion clip = TRegion::CreateEllipticRgn(60, 60, 180, 150);
        QImage expected = background;
        TCanvas window(&expected);
        TChartCanvas3D c(&window);
        {
            QPainter p(&expected);
            p.setRenderHint(QPainter::TextAntialiasing, false);
            if (clipped)
                p.setClipRegion(clip.Region());
            const QFont f = c.Font().ToQFont();
            p.setFont(f);
            p.translate(102, 102);
            p.rotate(-angle);
            p.setPen(toQColor(colour));
            p.drawText(0, QFontMetrics(f).ascent(), text);
        }
        QVERIFY(expected != background);
        for (const char *time : {"first", "again"}) {
            QImage drawn = background;
            window.SetTarget(&drawn);
            if (clipped)
                c.GetDeviceHandle()->SelectClipRgn(&clip);
            c.Font().SetColor(colour);
            c.RotatedTextOut(102, 102, text, angle);
            QVERIFY2(drawn == expected, time);
        }
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

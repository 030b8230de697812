// Pie geometry, slice angles, hit testing and drawing.
#include "ChartErrors.h"
#include "FakeChart.h"
#include "PieSeries.h"
#include "TestSupport.h"

#include <QtTest>
#include <cmath>

namespace {
struct Pie {
    FakeChart chart;
    TPieSeries pie;
    explicit Pie(std::initializer_list<double> values, int size = 205) : chart(size, size)
    {
        pie.SetParentChart(&chart);
        pie.PiePen().SetColor(clBlack);
        TColor colors[] = {clRed, clLime, clBlue, clYellow};
        int i = 0;
        for (double v : values)
            pie.AddPoint(v, "p" + std::to_string(i), colors[i++ % 4]);
    }
    void Draw() { chart.DrawSeries(pie); }
};
} // namespace

class TestPie : public QObject {
    Q_OBJECT
private slots:
    void normalizeBounds_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("customX");
        QTest::addColumn<int>("radiusX");
        QTest::addColumn<int>("centerX");
        QTest::newRow("odd width loses its right pixel") << 205 << 0 << 102 << 102;
        QTest::newRow("even width") << 204 << 0 << 102 << 102;
        QTest::newRow("custom radius 50") << 204 << 50 << 50 << 102;
        QTest::newRow("tiny floors at 4") << 2 << 0 << 2 << 2;
    }

    void normalizeBounds()
    {
        QFETCH(int, w);
        QFETCH(int, customX);
        QFETCH(int, radiusX);
        QFETCH(int, centerX);
        Pie p({1});
        p.chart.Plot = TRect{0, 0, w, 204};
        p.pie.SetCustomXRadius(customX);
        p.Draw();
        QCOMPARE(p.pie.RadiusX, radiusX);
        QCOMPARE(p.pie.CenterX, centerX);
        QCOMPARE(p.pie.CircleBounds.Width(), 2 * radiusX);
    }

    void sliceAngles()
    {
        Pie p({1, 1, 1});
        p.Draw();
        QCOMPARE(p.pie.SliceAngles.size(), std::size_t(3));
        QCOMPARE(p.pie.SliceAngles[0].FromAngle, 0.0);
        QVERIFY(std::fabs(p.pie.SliceAngles[1].FromAngle - TPieSeries::TwoPi / 3) < 1e-12);
        // The last slice ends exactly at a full turn.
        QCOMPARE(p.pie.SliceAngles[2].ToAngle, TPieSeries::TwoPi);
    }

    void allZeroValuesGiveTheFirstSliceTheWholeTurn()
    {
        Pie p({0, 0});
        p.Draw();
        QCOMPARE(p.pie.SliceAngles[0].ToAngle, TPieSeries::TwoPi);
        QCOMPARE(Rgb(p.chart.Image, 102, 150), 0xFF0000u);
        QCOMPARE(Rgb(p.chart.Image, 102, 50), 0xFF0000u);
    }

    void negativeValuesTakeTheirAbsoluteSize()
    {
        Pie p({-1, 1});
        p.Draw();
        QVERIFY(std::fabs(p.pie.SliceAngles[0].ToAngle - M_PI) < 1e-12);
    }

    void hitTest_data()
    {
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("expected");
        const QList<double> one{5}, two{1, 1};
        QTest::newRow("inside the single slice") << one << 0 << QPoint(150, 100) << 0;
        QTest::newRow("box edge is outside") << one << 0 << QPoint(204, 102) << -1;
        QTest::newRow("box corner still answers") << one << 0 << QPoint(2, 2) << 0;
        QTest::newRow("upper half") << two << 0 << QPoint(102, 50) << 0;
        QTest::newRow("lower half") << two << 0 << QPoint(102, 150) << 1;
        QTest::newRow("three o'clock starts slice 0") << two << 0 << QPoint(150, 102) << 0;
        QTest::newRow("boundary answers the lower index") << two << 0 << QPoint(50, 102) << 0;
        QTest::newRow("centre is twelve o'clock") << two << 0 << QPoint(102, 102) << 0;
        QTest::newRow("rotation 90 moves twelve o'clock to angle 0") << two << 90 << QPoint(102, 50) << 0;
        QTest::newRow("rotation 90, left side is the second half") << two << 90 << QPoint(50, 102) << 0;
        QTest::newRow("rotation 90, right side") << two << 90 << QPoint(150, 102) << 1;
    }

    void hitTest()
    {
        QFETCH(QList<double>, values);
        QFETCH(int, rotation);
        QFETCH(QPoint, point);
        QFETCH(int, expected);
        Pie p({});
        for (double v : values)
            p.pie.AddPoint(v);
        p.pie.SetRotationAngle(rotation);
        p.Draw();
        QCOMPARE(p.pie.ValueIndexAt(point.x(), point.y()), expected);
    }

    void hitTestBeforeAnyDrawingAndForNewPoints()
    {
        Pie p({});
        QCOMPARE(p.pie.ValueIndexAt(102, 50), -1);
        p.pie.AddPoint(1);
        p.Draw();
        p.pie.ClearPoints();
        for (int i = 0; i < 5; ++i)
            p.pie.AddPoint(1);
        // Points added after the last pass have no angles yet and are not hit.
        const int hit = p.pie.ValueIndexAt(102, 150);
        QVERIFY(hit == -1 || hit == 0);
    }

    void rotationAngle()
    {
        TPieSeries pie;
        pie.SetRotationAngle(450);
        QCOMPARE(pie.RotationAngle(), 90);
        try {
            pie.SetRotationAngle(-1);
            QFAIL("no error");
        } catch (const PieException &e) {
            QCOMPARE(e.Message(), QStringLiteral("L'angle Rotation doit être compris entre 0 et 359 degrés"));
        }
        QCOMPARE(pie.RotationAngle(), 90);
    }

    void twoEqualSlicesFillTheHalves()
    {
        Pie p({1, 1});
        p.Draw();
        const QImage &img = p.chart.Image;
        QCOMPARE(Rgb(img, 102, 40), 0xFF0000u);
        QCOMPARE(Rgb(img, 102, 160), 0x00FF00u);
        // The black outline runs along the radial edges and the rim.
        QVERIFY(Rgb(img, 150, 101) == 0 || Rgb(img, 150, 102) == 0);
        QCOMPARE(Rgb(img, 102, 0), 0x000000u);
        QCOMPARE(Rgb(img, 1, 1), 0xFFFFFFu);
    }

    void singleSliceIsTheWholeEllipse()
    {
        Pie p({7});
        p.Draw();
        QCOMPARE(Rgb(p.chart.Image, 102, 150), 0xFF0000u);
        QCOMPARE(Rgb(p.chart.Image, 150, 102), 0xFF0000u);
    }

    void thinSliceIsSkippedAndTheNextStartsThere()
    {
        Pie p({1e-9, 1});
        p.Draw();
        // The thin slice draws nothing, so no red appears and the big one covers the disc.
        QCOMPARE(Rgb(p.chart.Image, 102, 50), 0x00FF00u);
        QCOMPARE(Rgb(p.chart.Image, 102, 150), 0x00FF00u);
    }

    void explodeBiggestShrinksAndMovesTheLargestSlice()
    {
        Pie p({1, 3});
        p.pie.SetExplodeBiggest(20);
        p.Draw();
        QVERIFY(p.pie.AnyExploded);
        QCOMPARE(p.pie.ExplodeOf(1), 20);
        const QPoint d = p.pie.ExplodeOffset(1);
        QVERIFY(d.x() != 0 || d.y() != 0);
        QVERIFY(p.pie.RadiusX < 102);
    }

    void patternsRepeatEverySixSlices()
    {
        QCOMPARE(TPieSeries::PatternFor(0), TBrushStyle::bsHorizontal);
        QCOMPARE(TPieSeries::PatternFor(6), TBrushStyle::bsHorizontal);
        QCOMPARE(TPieSeries::PatternFor(5), TBrushStyle::bsDiagCross);
        Pie p({1});
        p.chart.Back = clBlue;
        p.pie.SetCircleBackColor(clAutoColor);
        QCOMPARE(p.pie.ResolvedBackColor(), clBlue);
    }

    void smallValuesAreGroupedIntoTheOtherSlice()
    {
        Pie p({4, 5, 20});
        p.pie.OtherSlice().SetStyle(TPieOtherStyle::poBelowValue);
        p.pie.OtherSlice().SetValue(10);
        const int before = p.chart.Invalidations;
        p.Draw();
        QCOMPARE(p.pie.PointCount(), 4);
        QCOMPARE(p.pie.LabelAt(3), std::string("Autre"));
        QCOMPARE(p.pie.YValueAt(3), 9.0);
        QVERIFY(p.pie.IsGrouped(0));
        QCOMPARE(p.pie.PieValues().AbsSum(), 29.0);
        QCOMPARE(p.pie.LegendToValueIndex(0), 2);
        // Regrouping inside the pass asks for no further pass.
        QCOMPARE(p.chart.Invalidations, before);
        p.Draw();
        QCOMPARE(p.pie.PointCount(), 4);
        QCOMPARE(p.pie.LabelAt(3), std::string("Autre"));
    }
};

QTEST_MAIN(TestPie)
#include "tst_pie.moc"

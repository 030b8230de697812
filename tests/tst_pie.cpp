// Pie geometry, slice angles, hit testing and drawing.
#include "chart/ChartErrors.h"
#include "support/FakeChart.h"
#include "chart/PieSeries.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <cmath>
#include <random>

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
        for (double v : values) {
            pie.AddPoint(v, "p" + std::to_string(i), colors[i % 4]);
            ++i;
        }
    }
    explicit Pie(QSize size) : chart(size.width(), size.height())
    {
        pie.SetParentChart(&chart);
        pie.PiePen().SetColor(clBlack);
    }
    void Draw() { chart.DrawSeries(pie); }
};

// How a pie of the drawing comparison looks.
struct PieLook {
    enum Values { Equal, Spread, MostlyTiny };
    int count = 1;
    Values values = Equal;
    int rotation = 0;
    int penWidth = 1; // 0: no outline
    bool smallDots = false;
    TPenMode penMode = TPenMode::pmCopy;
    TColor penColor = clBlack;
    int radiusX = 0, radiusY = 0;
    bool patterns = false;
    int explode = 0;
};

std::vector<double> valuesOf(const PieLook &look)
{
    std::mt19937 random(7);
    std::vector<double> v(std::size_t(look.count), 1.0);
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double r = double(random()) / double(std::mt19937::max());
        if (look.values == PieLook::Spread)
            v[i] = std::floor(std::exp(r * 12)) + 4;
        else if (look.values == PieLook::MostlyTiny)
            v[i] = i % 97 == 0 ? 1000 * r + 1 : r * 1e-3;
    }
    return v;
}

// A series class of its own below the pie's.
class TDerivedPie : public TPieSeries {
    Q_OBJECT
};
} // namespace
Q_DECLARE_METATYPE(PieLook)

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
        QCOMPARE(p.pie.SliceCount(), 3);
        QCOMPARE(p.pie.SliceAnglesOf(0).FromAngle, 0.0);
        QVERIFY(std::fabs(p.pie.SliceAnglesOf(1).FromAngle - TPieSeries::TwoPi / 3) < 1e-12);
        // The last slice ends exactly at a full turn.
        QCOMPARE(p.pie.SliceAnglesOf(2).ToAngle, TPieSeries::TwoPi);
    }

    void allZeroValuesGiveTheFirstSliceTheWholeTurn()
    {
        Pie p({0, 0});
        p.Draw();
        QCOMPARE(p.pie.SliceAnglesOf(0).ToAngle, TPieSeries::TwoPi);
        QCOMPARE(Rgb(p.chart.Image, 102, 150), 0xFF0000u);
        QCOMPARE(Rgb(p.chart.Image, 102, 50), 0xFF0000u);
    }

    void negativeValuesTakeTheirAbsoluteSize()
    {
        Pie p({-1, 1});
        p.Draw();
        QVERIFY(std::fabs(p.pie.SliceAnglesOf(0).ToAngle - M_PI) < 1e-12);
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
        // Points added after the last pass have no angles yet and are not hit:
        // the angles of the pie that was cleared belong to other points.
        QCOMPARE(p.pie.ValueIndexAt(102, 150), -1);
        QVERIFY(!p.pie.SliceMiddlePoint(0));
        QVERIFY(!p.pie.SliceMiddlePoint(4));
    }

    void sliceMiddlePoint_data()
    {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("plotHeight");
        QTest::addColumn<int>("slice");
        QTest::addColumn<QPoint>("expected");
        // Values 1, 1, 2: two upper quarters and the lower half, centre (102, 102), radius 102.
        QTest::newRow("first quarter") << 0 << 205 << 0 << QPoint(138, 66);
        QTest::newRow("second quarter") << 0 << 205 << 1 << QPoint(66, 66);
        QTest::newRow("lower half, straight below") << 0 << 205 << 2 << QPoint(102, 153);
        QTest::newRow("rotation 90 turns the first quarter") << 90 << 205 << 0 << QPoint(66, 66);
        // Ellipses whose halfway down is 25.5 and 24.5 pixels: halves go to the even neighbour.
        QTest::newRow("ellipse, 25.5 rounds up") << 0 << 102 << 2 << QPoint(102, 51 + 26);
        QTest::newRow("ellipse, 24.5 rounds down") << 0 << 98 << 2 << QPoint(102, 49 + 24);
    }

    void sliceMiddlePoint()
    {
        QFETCH(int, rotation);
        QFETCH(int, plotHeight);
        QFETCH(int, slice);
        QFETCH(QPoint, expected);
        Pie p({1, 1, 2});
        p.chart.Plot = TRect{0, 0, 205, plotHeight};
        p.pie.SetRotationAngle(rotation);
        p.Draw();
        QCOMPARE(p.pie.SliceMiddlePoint(slice), std::optional<QPoint>(expected));
        QCOMPARE(p.pie.ValueIndexAt(expected.x(), expected.y()), slice);
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
        // Both rays run along row 102: the black edge lies there, with each slice on
        // its own side, as the hit test answers.
        for (int x = 0; x < 204; ++x)
            QCOMPARE(Rgb(img, x, 102), 0x000000u);
        QCOMPARE(Rgb(img, 150, 101), 0xFF0000u);
        QCOMPARE(Rgb(img, 150, 103), 0x00FF00u);
        QCOMPARE(p.pie.ValueIndexAt(150, 101), 0);
        QCOMPARE(p.pie.ValueIndexAt(150, 103), 1);
        // The rim reaches the last column and row of the box (0, 0, 204, 204).
        QCOMPARE(Rgb(img, 101, 0), 0x000000u);
        QCOMPARE(Rgb(img, 203, 101), 0x000000u);
        QCOMPARE(Rgb(img, 101, 203), 0x000000u);
        QCOMPARE(Rgb(img, 204, 101), 0xFFFFFFu);
        QCOMPARE(Rgb(img, 101, 204), 0xFFFFFFu);
        QCOMPARE(Rgb(img, 1, 1), 0xFFFFFFu);
    }

    void paintedSlicesAgreeWithTheHitTest_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("radiusX");
        QTest::newRow("three") << 3 << 0 << 0;
        QTest::newRow("five, turned") << 5 << 33 << 0;
        QTest::newRow("seven") << 7 << 0 << 0;
        QTest::newRow("three on a narrow ellipse") << 3 << 0 << 50;
        QTest::newRow("four on a narrow ellipse, turned") << 4 << 20 << 70;
    }

    // Every pixel a slice paints answers that slice in the hit test, away from the
    // black edges where rounding the ray points may move a pixel across.
    void paintedSlicesAgreeWithTheHitTest()
    {
        QFETCH(int, count);
        QFETCH(int, rotation);
        QFETCH(int, radiusX);
        Pie p(std::initializer_list<double>{});
        const TColor colors[] = {clRed, clLime, clBlue, clYellow, clFuchsia, clAqua, clGray};
        for (int i = 0; i < count; ++i)
            p.pie.AddPoint(1, "", colors[i]);
        p.pie.SetRotationAngle(rotation);
        p.pie.SetCustomXRadius(radiusX);
        p.Draw();
        const QImage &img = p.chart.Image;
        auto nearBlack = [&](int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (img.rect().contains(x + dx, y + dy) && Rgb(img, x + dx, y + dy) == 0)
                        return true;
            return false;
        };
        int checked = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const std::uint32_t c = Rgb(img, x, y);
                if (c == 0 || c == 0xFFFFFFu || nearBlack(x, y))
                    continue;
                const int i = p.pie.ValueIndexAt(x, y);
                QVERIFY2(i >= 0, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                QCOMPARE(c, std::uint32_t(toQColor(colors[i]).rgb() & 0xFFFFFFu));
                ++checked;
            }
        QVERIFY(checked > 1000);
    }

    // Equal values give equal wedges on an ellipse too: the arc ends where the ray
    // meets the ellipse.
    void equalValuesGiveEqualWedgesOnAnEllipse_data()
    {
        QTest::addColumn<int>("radiusX");
        QTest::addColumn<int>("radiusY");
        QTest::newRow("narrow") << 50 << 0;
        QTest::newRow("flat") << 0 << 40;
    }

    void equalValuesGiveEqualWedgesOnAnEllipse()
    {
        QFETCH(int, radiusX);
        QFETCH(int, radiusY);
        Pie p({1, 1, 1});
        p.pie.SetCustomXRadius(radiusX);
        p.pie.SetCustomYRadius(radiusY);
        p.Draw();
        int counts[3] = {};
        const std::uint32_t colors[3] = {0xFF0000u, 0x00FF00u, 0x0000FFu};
        for (int y = 0; y < p.chart.Image.height(); ++y)
            for (int x = 0; x < p.chart.Image.width(); ++x)
                for (int i = 0; i < 3; ++i)
                    counts[i] += Rgb(p.chart.Image, x, y) == colors[i];
        const int lo = *std::min_element(counts, counts + 3), hi = *std::max_element(counts, counts + 3);
        // Pixels on either side of a ray, and the half pixel between the centre of
        // an even box and its middle, leave a few percent; a parametric arc end
        // left about forty.
        QVERIFY2(hi - lo <= hi / 16, qPrintable(QStringLiteral("%1 %2 %3").arg(counts[0]).arg(counts[1]).arg(counts[2])));
    }

    void drawnPixelsAreTheOnesPinned_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<PieLook>("look");
        QTest::addColumn<QByteArray>("digest");
        using V = PieLook::Values;
        QTest::newRow("one slice, 205") << QSize(205, 205) << PieLook{} << QByteArray("6d5e9801d67dc303");
        QTest::newRow("two halves, 204") << QSize(204, 204) << PieLook{.count = 2} << QByteArray("4fee2691469fc004");
        QTest::newRow("three in an odd plot") << QSize(101, 57) << PieLook{.count = 3} << QByteArray("127d16830ba876fc");
        QTest::newRow("seven, turned") << QSize(205, 205) << PieLook{.count = 7, .values = V::Spread, .rotation = 33}
                                       << QByteArray("77d2c084889e3472");
        QTest::newRow("100 spread") << QSize(205, 205) << PieLook{.count = 100, .values = V::Spread} << QByteArray("c3d722354bb49e38");
        QTest::newRow("300 spread, turned") << QSize(205, 205)
                                            << PieLook{.count = 300, .values = V::Spread, .rotation = 271}
                                            << QByteArray("ee92aa6274a010b8");
        QTest::newRow("1000 spread, 250") << QSize(250, 250) << PieLook{.count = 1000, .values = V::Spread}
                                          << QByteArray("8c80158b3b91d47f");
        QTest::newRow("5000 mostly tiny") << QSize(205, 205) << PieLook{.count = 5000, .values = V::MostlyTiny}
                                          << QByteArray("c897c51198e4ebb1");
        QTest::newRow("3000 equal") << QSize(205, 205) << PieLook{.count = 3000} << QByteArray("9b1dfec33b647093");
        QTest::newRow("pen 2") << QSize(205, 205) << PieLook{.count = 20, .values = V::Spread, .penWidth = 2}
                               << QByteArray("697af913b662e17b");
        QTest::newRow("pen 3, odd") << QSize(251, 251) << PieLook{.count = 50, .values = V::Spread, .penWidth = 3}
                                    << QByteArray("1d51b7dd010356e9");
        QTest::newRow("pen 5, narrow ellipse")
            << QSize(205, 205) << PieLook{.count = 9, .values = V::Spread, .penWidth = 5, .radiusX = 40}
            << QByteArray("4a3604e9190a5296");
        QTest::newRow("small dots") << QSize(205, 205) << PieLook{.count = 30, .values = V::Spread, .smallDots = true}
                                    << QByteArray("6e97e8e707d3432d");
        QTest::newRow("no outline") << QSize(205, 205) << PieLook{.count = 200, .values = V::Spread, .penWidth = 0}
                                    << QByteArray("f4abb24b4f5c487f");
        QTest::newRow("xor outline") << QSize(205, 205)
                                     << PieLook{.count = 40, .values = V::Spread, .penMode = TPenMode::pmXor, .penColor = clWhite}
                                     << QByteArray("d34a52fd55739bac");
        QTest::newRow("hatches, flat ellipse")
            << QSize(205, 205) << PieLook{.count = 12, .values = V::Spread, .radiusY = 30, .patterns = true}
            << QByteArray("b8376698375f2080");
        QTest::newRow("biggest exploded") << QSize(205, 205)
                                          << PieLook{.count = 8, .values = V::Spread, .explode = 25}
                                          << QByteArray("5a3265081e7e4cce");
        QTest::newRow("tiny plot") << QSize(7, 6) << PieLook{.count = 5} << QByteArray("e5758dc110438bb4");
    }

    // The pies drawn, pixel for pixel, as they were pinned when the drawing was
    // rewritten for speed: sizes, slice counts, pens and fills.
    void drawnPixelsAreTheOnesPinned()
    {
        QFETCH(QSize, size);
        QFETCH(PieLook, look);
        QFETCH(QByteArray, digest);
        Pie p(size);
        const std::vector<double> values = valuesOf(look);
        for (std::size_t i = 0; i < values.size(); ++i)
            p.pie.AddPoint(values[i], "", RGB(int((i + 1) * 37 % 256), int((i + 3) * 101 % 256), int((i + 2) * 53 % 256)));
        p.pie.SetRotationAngle(look.rotation);
        p.pie.PiePen().SetVisible(look.penWidth > 0);
        p.pie.PiePen().SetWidth(std::max(1, look.penWidth));
        p.pie.PiePen().SetSmallDots(look.smallDots);
        p.pie.PiePen().SetMode(look.penMode);
        p.pie.PiePen().SetColor(look.penColor);
        p.pie.SetCustomXRadius(look.radiusX);
        p.pie.SetCustomYRadius(look.radiusY);
        p.pie.SetUsePatterns(look.patterns);
        p.pie.SetExplodeBiggest(look.explode);
        p.Draw();
        QCOMPARE(ImageDigest(p.chart.Image), digest);
    }

    void formatsAndPenRepaintOnlyWhenTheyChange()
    {
        Pie p({1});
        const int before = p.chart.Invalidations;
        p.pie.SetValueFormat(p.pie.ValueFormat());
        p.pie.SetPercentFormat(p.pie.PercentFormat());
        TChartPen same;
        same.Assign(p.pie.PiePen());
        p.pie.SetPiePen(same);
        QCOMPARE(p.chart.Invalidations, before);
        p.pie.SetValueFormat(QStringLiteral("0.0"));
        QCOMPARE(p.chart.Invalidations, before + 1);
        p.pie.SetPercentFormat(QStringLiteral("0 %"));
        QCOMPARE(p.chart.Invalidations, before + 2);
        same.SetWidth(2);
        p.pie.SetPiePen(same);
        QCOMPARE(p.chart.Invalidations, before + 3);
        same.SetSmallDots(true);
        p.pie.SetPiePen(same);
        QCOMPARE(p.chart.Invalidations, before + 4);
    }

    void circleSettingsGoToSeriesTheSettersClassIsOrDerivesFrom_data()
    {
        QTest::addColumn<int>("setting");
        QTest::newRow("Circled") << 0;
        QTest::newRow("CustomXRadius") << 1;
        QTest::newRow("CustomYRadius") << 2;
    }

    void circleSettingsGoToSeriesTheSettersClassIsOrDerivesFrom()
    {
        QFETCH(int, setting);
        auto value = [setting](const TCircledSeries &s) {
            return setting == 0 ? int(s.Circled()) : setting == 1 ? s.CustomXRadius() : s.CustomYRadius();
        };
        auto set = [setting](TCircledSeries &s, int v) {
            if (setting == 0)
                s.SetCircled(v != 0);
            else if (setting == 1)
                s.SetCustomXRadius(v);
            else
                s.SetCustomYRadius(v);
        };
        FakeChart chart;
        TCircledSeries circled;
        TPieSeries pie, otherPie;
        TDerivedPie derived;
        for (TChartSeries *s : std::initializer_list<TChartSeries *>{&circled, &pie, &otherPie, &derived})
            s->SetParentChart(&chart);
        set(pie, 1);
        QCOMPARE(value(circled), 1);
        QCOMPARE(value(otherPie), 1);
        QCOMPARE(value(derived), 0);
        set(derived, 0);
        QCOMPARE(value(pie), 0);
        QCOMPARE(value(circled), 0);
        set(circled, 1);
        QCOMPARE(value(pie), 0);
        QCOMPARE(value(derived), 0);
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

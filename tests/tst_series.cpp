// The series value store: ordering, statistics, colours, labels and legend texts.
#include "chart/ChartErrors.h"
#include "support/FakeChart.h"
#include "chart/PieSeries.h"

#include <QtTest>

class TestSeries : public QObject {
    Q_OBJECT
private slots:
    void insertInOrder_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<QList<double>>("expected");
        QTest::newRow("none keeps arrival") << int(TChartListOrder::loNone) << QList<double>{3, 1, 2}
                                            << QList<double>{3, 1, 2};
        QTest::newRow("ascending") << int(TChartListOrder::loAscending) << QList<double>{3, 1, 2, 2}
                                   << QList<double>{1, 2, 2, 3};
        QTest::newRow("descending") << int(TChartListOrder::loDescending) << QList<double>{1, 3, 2, 2}
                                    << QList<double>{3, 2, 2, 1};
    }

    void insertInOrder()
    {
        QFETCH(int, order);
        QFETCH(QList<double>, values);
        QFETCH(QList<double>, expected);
        TChartValueList list(nullptr, QStringLiteral("v"));
        list.Order = TChartListOrder(order);
        for (double v : values)
            list.InsertInOrder(v);
        QList<double> got;
        for (int i = 0; i < list.ValueCount(); ++i)
            got << list.ValueAt(i);
        QCOMPARE(got, expected);
    }

    void statisticsAreLazyAndUseTheMultiplier()
    {
        TChartValueList list(nullptr, QStringLiteral("v"));
        QCOMPARE(list.Sum(), 0.0);
        QCOMPARE(list.Maximum(), 0.0);
        list.InsertAt(0, 2);
        list.InsertAt(1, -5);
        list.InsertAt(2, 4);
        const int before = list.RecalcCount();
        QCOMPARE(list.AbsSum(), 11.0);
        QCOMPARE(list.AbsSum(), 11.0);
        QCOMPARE(list.RecalcCount(), before + 1);
        QCOMPARE(list.Minimum(), -5.0);
        QCOMPARE(list.Maximum(), 4.0);
        list.SetMultiplier(2);
        QCOMPARE(list.Sum(), 2.0);
        list.SetValueAt(0, 3);
        QCOMPARE(list.ValueAt(0), 6.0);
    }

    void listIndexErrorsCarryTheFrenchMessage()
    {
        TChartValueList list(nullptr, QStringLiteral("v"));
        try {
            list.ValueAt(3);
            QFAIL("no error");
        } catch (const EListError &e) {
            QCOMPARE(e.Message(), QStringLiteral("Indice de liste hors limites (3)"));
        }
        TPieSeries pie;
        QVERIFY_THROWS_EXCEPTION(EListError, pie.LabelAt(-1));
        QCOMPARE(pie.LabelAt(5), std::string());
    }

    void colorAt_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<uint>("expected");
        QTest::newRow("index 16 wraps to red") << 16 << uint(clRed);
        QTest::newRow("index 3 is blue") << 3 << uint(clBlue);
        QTest::newRow("index 0 is red") << 0 << uint(clRed);
    }

    void colorAt()
    {
        QFETCH(int, index);
        QFETCH(uint, expected);
        TPieSeries pie;
        for (int i = 0; i <= index; ++i)
            pie.AddPoint(1.0);
        QCOMPARE(pie.ColorAt(index), TColor(expected));
    }

    void explicitColoursStayUntilColorEachPointGoesOff()
    {
        TPieSeries pie;
        pie.SetSeriesColor(clRed);
        pie.AddPoint(1, "a", clLime);
        QCOMPARE(pie.ColorAt(0), clLime);
        pie.SetColorEachPoint(true);
        QCOMPARE(pie.ColorAt(0), clLime);
        pie.SetColorEachPoint(false);
        QCOMPARE(pie.ColorAt(0), clRed);
        QCOMPARE(pie.ColorAt(7), clRed);
    }

    void labelsAreBytesAndEmptyMeansAbsent()
    {
        TPieSeries pie;
        pie.AddPoint(12.0, "");
        const std::string odd("caf\xe9", 4);
        pie.AddPoint(1.0, odd);
        QCOMPARE(pie.LabelAt(0), std::string());
        QCOMPARE(pie.LabelAt(1), odd);
        QCOMPARE(pie.LegendText(1, TLegendTextStyle::ltsPlain), odd);
    }

    // Labels stay with their points while many are removed (and the bytes of
    // the removed ones given back) and more are added.
    void labelsStayWithTheirPointsThroughDeletions()
    {
        TPieSeries pie;
        auto name = [](int i) { return "a folder named " + std::to_string(1000 + i); };
        for (int i = 0; i < 600; ++i)
            pie.AddPoint(1, name(i));
        for (int i = 599; i >= 0; i -= 2)
            pie.DeletePoint(i);
        pie.AddPointXY(1000, 1, "last");
        QCOMPARE(pie.PointCount(), 301);
        for (int i = 0; i < 300; ++i)
            QCOMPARE(pie.LabelAt(i), name(2 * i));
        QCOMPARE(pie.LabelAt(300), std::string("last"));
    }

    void addPointGivesPositionAsX()
    {
        TPieSeries pie;
        QCOMPARE(pie.AddPoint(5), 0);
        QCOMPARE(pie.AddPoint(2147483647.0), 1);
        QCOMPARE(pie.XValueAt(1), 1.0);
        QCOMPARE(pie.YValueAt(1), 2147483647.0);
    }

    void refusedPointIsNotStored()
    {
        FakeChart chart;
        TPieSeries pie;
        pie.SetParentChart(&chart);
        pie.OnBeforeAdd = [](TChartSeries *) { return false; };
        const int before = chart.Invalidations;
        QCOMPARE(pie.AddPoint(1), -1);
        QCOMPARE(pie.PointCount(), 0);
        QCOMPARE(chart.Invalidations, before);
    }

    void clearPointsOnEmptySeriesStillNotifies()
    {
        FakeChart chart;
        TPieSeries pie;
        pie.SetParentChart(&chart);
        int cleared = 0;
        pie.OnClearValues = [&](TChartSeries *) { ++cleared; };
        const int before = chart.Invalidations;
        pie.ClearPoints();
        QCOMPARE(cleared, 1);
        QCOMPARE(chart.Invalidations, before + 1);
    }

    void legendTextStyles()
    {
        QLocale::setDefault(QLocale::c());
        TPieSeries pie;
        pie.AddPoint(1, "a");
        pie.AddPoint(3, "b");
        QCOMPARE(pie.LegendText(1, TLegendTextStyle::ltsRightValue), std::string("b 3"));
        QCOMPARE(pie.LegendText(1, TLegendTextStyle::ltsLeftPercent), std::string("75 % b"));
        QCOMPARE(FormatChartValue(QStringLiteral("#,##0.###"), 1234.5), QStringLiteral("1,234.5"));
    }

    void sortByOrderKeepsParallelListsAligned()
    {
        TPieSeries pie;
        pie.AddPoint(3, "c", clRed);
        pie.AddPoint(1, "a", clLime);
        pie.AddPoint(2, "b", clBlue);
        pie.PieValues().Order = TChartListOrder::loAscending;
        pie.PieValues().SortByOrder();
        QCOMPARE(pie.LabelAt(0), std::string("a"));
        QCOMPARE(pie.ColorAt(0), clLime);
        QCOMPARE(pie.LabelAt(2), std::string("c"));
    }
};

QTEST_MAIN(TestSeries)
#include "tst_series.moc"

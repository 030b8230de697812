// The drawing layer: edges, wedges, patterns, regions and text.
#include "Canvas.h"
#include "TestSupport.h"

#include <QtTest>

class TestCanvas : public QObject {
    Q_OBJECT
private:
    static QImage blank(int w, int h, QColor c = Qt::white)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(c);
        return img;
    }

private slots:
    void fillRectExcludesRightAndBottom()
    {
        QImage img = blank(10, 10);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        c.Pen().SetColor(clBlue);
        c.FillRect(TRect{2, 2, 5, 5});
        QCOMPARE(Rgb(img, 2, 2), 0xFF0000u);
        QCOMPARE(Rgb(img, 4, 4), 0xFF0000u);
        QCOMPARE(Rgb(img, 5, 4), 0xFFFFFFu);
        QCOMPARE(Rgb(img, 4, 5), 0xFFFFFFu);
    }

    void rectangleOutlineAndFill()
    {
        QImage img = blank(10, 10);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        c.Pen().SetColor(clBlack);
        c.Rectangle(1, 1, 6, 6);
        QCOMPARE(Rgb(img, 1, 1), 0x000000u);
        QCOMPARE(Rgb(img, 5, 5), 0x000000u);
        QCOMPARE(Rgb(img, 3, 3), 0xFF0000u);
        QCOMPARE(Rgb(img, 6, 6), 0xFFFFFFu);
    }

    void pie_data()
    {
        QTest::addColumn<int>("x4");
        QTest::addColumn<int>("y4");
        QTest::addColumn<QPoint>("inside");
        QTest::addColumn<QPoint>("outside");
        // From three o'clock counter-clockwise to nine o'clock: the upper half.
        QTest::newRow("upper half") << 0 << 50 << QPoint(50, 20) << QPoint(50, 80);
        // From three o'clock counter-clockwise to six o'clock: three quarters.
        QTest::newRow("three quarters") << 50 << 100 << QPoint(20, 80) << QPoint(80, 80);
        // Both rays the same: the whole ellipse.
        QTest::newRow("whole") << 100 << 50 << QPoint(50, 80) << QPoint(2, 2);
    }

    void pie()
    {
        QFETCH(int, x4);
        QFETCH(int, y4);
        QFETCH(QPoint, inside);
        QFETCH(QPoint, outside);
        QImage img = blank(101, 101);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        c.Pen().SetColor(clBlack);
        c.Pie(0, 0, 101, 101, 100, 50, x4, y4);
        QCOMPARE(Rgb(img, inside.x(), inside.y()), 0xFF0000u);
        QCOMPARE(Rgb(img, outside.x(), outside.y()), 0xFFFFFFu);
    }

    void patternBrushIsTiledFromTheTargetOrigin()
    {
        QImage tile(8, 8, QImage::Format_RGB32);
        tile.fill(Qt::black);
        tile.setPixelColor(0, 0, Qt::green);
        QImage img = blank(20, 20);
        TCanvas c(&img);
        c.Brush().SetBitmap(tile);
        c.FillRect(TRect{3, 3, 20, 20});
        QCOMPARE(Rgb(img, 8, 8), 0x00FF00u);
        QCOMPARE(Rgb(img, 16, 16), 0x00FF00u);
        QCOMPARE(Rgb(img, 9, 8), 0x000000u);
    }

    void hatchKeepsTheBackgroundColourWhenOpaque()
    {
        QImage img = blank(16, 16);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        c.Brush().SetStyle(TBrushStyle::bsHorizontal);
        c.Handle();
        c.Device().BkMode = TBkMode::Opaque;
        c.Device().BkColor = clBlue;
        c.Pen().SetStyle(TPenStyle::psClear);
        c.FillRect(TRect{0, 0, 16, 16});
        QSet<std::uint32_t> seen;
        for (int y = 0; y < 16; ++y)
            seen.insert(Rgb(img, 8, y));
        QVERIFY(seen.contains(0xFF0000u));
        QVERIFY(seen.contains(0x0000FFu));
    }

    void clipRegionDifferenceLimitsDrawing()
    {
        QImage img = blank(40, 40);
        TCanvas c(&img);
        TRegion r = TRegion::CreateRectRgn(0, 0, 40, 40);
        r.Subtract(TRegion::CreateEllipticRgn(0, 0, 40, 40));
        c.Handle()->SelectClipRgn(&r);
        c.Brush().SetColor(clRed);
        c.FillRect(TRect{0, 0, 40, 40});
        QCOMPARE(Rgb(img, 0, 0), 0xFF0000u);
        QCOMPARE(Rgb(img, 20, 20), 0xFFFFFFu);
        c.ReleaseHandle();
        c.FillRect(TRect{0, 0, 40, 40});
        QCOMPARE(Rgb(img, 20, 20), 0xFF0000u);
    }

    void solidBrushMakesTheBackgroundOpaque()
    {
        QImage img = blank(4, 4);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        QCOMPARE(c.Handle()->BkMode, TBkMode::Opaque);
        QCOMPARE(c.Handle()->BkColor, clRed);
        c.Brush().SetStyle(TBrushStyle::bsClear);
        QCOMPARE(c.Handle()->BkMode, TBkMode::Transparent);
    }

    void rotatedTextRunsAlongItsAngle()
    {
        // Text at 90 degrees reads upwards from its reference point: ink above it, none to its right.
        QImage img = blank(80, 80, Qt::black);
        TCanvas c(&img);
        c.Font().SetColor(clWhite);
        c.Font().SetHeight(-12);
        c.Brush().SetStyle(TBrushStyle::bsClear);
        c.TextOutRotated(40, 40, QStringLiteral("MMMMM"), 900);
        int above = 0, right = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x)
                if (Rgb(img, x, y) != 0) {
                    above += y < 40;
                    right += x > 56;
                }
        QVERIFY(above > 0);
        QCOMPARE(right, 0);
    }

    void transparentKeySkipsPixels()
    {
        QImage src(2, 1, QImage::Format_RGB32);
        src.setPixelColor(0, 0, QColor(192, 192, 192));
        src.setPixelColor(1, 0, Qt::red);
        QImage img = blank(2, 1, Qt::blue);
        TCanvas c(&img);
        c.Draw(0, 0, src, RGB(192, 192, 192));
        QCOMPARE(Rgb(img, 0, 0), 0x0000FFu);
        QCOMPARE(Rgb(img, 1, 0), 0xFF0000u);
    }
};

QTEST_MAIN(TestCanvas)
#include "tst_canvas.moc"

// The drawing layer: edges, wedges, patterns, regions and text.
#include "platform/Canvas.h"
#include "platform/GraphicsRaster.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <random>

class TestCanvas : public QObject {
    Q_OBJECT
private:
    static QImage blank(int w, int h, QColor c = Qt::white)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(c);
        return img;
    }

    // The pixels of img that are not white.
    static QRegion painted(const QImage &img)
    {
        QRegion r;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (Rgb(img, x, y) != 0xFFFFFFu)
                    r += QRect(x, y, 1, 1);
        return r;
    }

    static void boxes()
    {
        QTest::addColumn<QRect>("box"); // left, top, right, bottom as x, y, x2, y2 below
        QTest::newRow("pie box 204") << QRect(QPoint(0, 0), QPoint(204, 204));
        QTest::newRow("chart box 205") << QRect(QPoint(0, 0), QPoint(205, 205));
        QTest::newRow("window 250") << QRect(QPoint(0, 0), QPoint(250, 250));
        QTest::newRow("even wide, odd high, offset") << QRect(QPoint(3, 5), QPoint(43, 26));
        QTest::newRow("odd wide, even high") << QRect(QPoint(2, 1), QPoint(9, 31));
        QTest::newRow("tiny 4") << QRect(QPoint(1, 1), QPoint(5, 5));
    }

    // Shapes of every kind drawn at random over one picture: boxes partly off
    // it, even and odd, empty and reversed; rays anywhere, through the centre,
    // the same twice; pens of every width, dotted, clear, xor; brushes solid,
    // clear, hatched and tiled; with and without a clip region.
    static QImage randomShapes(unsigned seed, int count)
    {
        std::mt19937 random(seed);
        auto pick = [&](int lo, int hi) { return lo + int(random() % unsigned(hi - lo + 1)); };
        QImage tile(8, 8, QImage::Format_RGB32);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                tile.setPixel(x, y, (x * y) % 3 ? 0xFF3070C0u : 0xFFE0E040u);
        QImage img = blank(120, 90);
        TCanvas c(&img);
        for (int k = 0; k < count; ++k) {
            int x1 = pick(-20, 100), y1 = pick(-20, 70);
            int x2 = x1 + pick(0, 90), y2 = y1 + pick(0, 80);
            if (pick(0, 5) == 0)
                std::swap(x1, x2);
            const QPoint centre((x1 + x2) / 2, (y1 + y2) / 2);
            QPoint r3(pick(-30, 150), pick(-30, 120)), r4(pick(-30, 150), pick(-30, 120));
            switch (pick(0, 7)) {
            case 0: r4 = r3; break; // the whole ellipse
            case 1: r4 = centre - (r3 - centre); break; // half a turn
            case 2: r3 = centre; break;
            default: break;
            }
            c.Pen().SetColor(RGB(pick(0, 255), pick(0, 255), pick(0, 255)));
            c.Pen().SetWidth(pick(0, 5));
            c.Pen().SetStyle(pick(0, 6) == 0 ? TPenStyle::psClear : TPenStyle::psSolid);
            c.Pen().AlternatePixels = pick(0, 4) == 0;
            constexpr TPenMode modes[] = {TPenMode::pmCopy, TPenMode::pmXor, TPenMode::pmNotXor, TPenMode::pmMerge};
            c.Pen().SetMode(modes[pick(0, 7) < 5 ? 0 : pick(1, 3)]);
            c.Brush().SetBitmap(QImage());
            switch (pick(0, 5)) {
            case 0: c.Brush().SetStyle(TBrushStyle::bsClear); break;
            case 1: c.Brush().SetBitmap(tile); break;
            case 2: c.Brush().SetStyle(TBrushStyle(pick(int(TBrushStyle::bsHorizontal), int(TBrushStyle::bsDiagCross)))); break;
            default: c.Brush().SetStyle(TBrushStyle::bsSolid); break;
            }
            c.Brush().SetColor(RGB(pick(0, 255), pick(0, 255), pick(0, 255)));
            c.Handle()->BkColor = RGB(pick(0, 255), pick(0, 255), pick(0, 255));
            if (pick(0, 3) == 0) {
                const TRegion clip = TRegion::CreateEllipticRgn(pick(0, 60), pick(0, 40), pick(60, 120), pick(40, 90));
                c.Handle()->SelectClipRgn(&clip);
            } else {
                c.Handle()->SelectClipRgn(nullptr);
            }
            const int kind = pick(0, 9);
            if (kind == 0)
                c.Ellipse(x1, y1, x2, y2);
            else if (kind == 1)
                c.Arc(x1, y1, x2, y2, r3.x(), r3.y(), r4.x(), r4.y());
            else
                c.Pie(x1, y1, x2, y2, r3.x(), r3.y(), r4.x(), r4.y());
        }
        return img;
    }

private slots:
    void shapesAreThePixelsPinned_data()
    {
        QTest::addColumn<unsigned>("seed");
        QTest::addColumn<QByteArray>("digest");
        const char *digests[] = {"d8ce8cf1abc004e2", "c01711655c1bd3a9", "16580598cdd51657",
                                 "b0076c790312a518", "71083e6fa7fd8be8", "825d1df1f51f35f2"};
        for (unsigned seed = 1; seed <= 6; ++seed)
            QTest::addRow("random shapes %u", seed) << seed << QByteArray(digests[seed - 1]);
    }

    // Ellipses, arcs and pies drawn, pixel for pixel, as they were pinned when
    // their drawing was rewritten for speed.
    void shapesAreThePixelsPinned()
    {
        QFETCH(unsigned, seed);
        QFETCH(QByteArray, digest);
        const QImage img = randomShapes(seed, 80);
        QCOMPARE(ImageDigest(img), digest);
    }

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

    void ellipseReachesTheLastColumnAndRowOfItsBox_data() { boxes(); }

    // The box's first and last columns and rows are painted, the ones outside are
    // not; even and odd sizes alike, and the shape is symmetric.
    void ellipseReachesTheLastColumnAndRowOfItsBox()
    {
        QFETCH(QRect, box);
        const int x1 = box.left(), y1 = box.top(), x2 = box.right(), y2 = box.bottom();
        QImage img = blank(x2 + 3, y2 + 3);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        c.Pen().SetColor(clBlack);
        c.Ellipse(x1, y1, x2, y2);
        const int midX = (x1 + x2 - 1) / 2, midY = (y1 + y2 - 1) / 2;
        QCOMPARE(Rgb(img, x2 - 1, midY), 0x000000u);
        QCOMPARE(Rgb(img, x2, midY), 0xFFFFFFu);
        QCOMPARE(Rgb(img, midX, y2 - 1), 0x000000u);
        QCOMPARE(Rgb(img, midX, y2), 0xFFFFFFu);
        QCOMPARE(Rgb(img, x1, midY), 0x000000u);
        if (x1 > 0)
            QCOMPARE(Rgb(img, x1 - 1, midY), 0xFFFFFFu);
        QCOMPARE(Rgb(img, midX, y1), 0x000000u);
        QCOMPARE(Rgb(img, midX, y1 + 1), (y2 - y1) > 4 ? 0xFF0000u : Rgb(img, midX, y1 + 1));
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x)
                QCOMPARE(Rgb(img, x, y), Rgb(img, x1 + x2 - 1 - x, y1 + y2 - 1 - y));
    }

    void ellipticRegionCoversTheFilledEllipse_data() { boxes(); }

    // A region and a filled ellipse of the same box are the same pixels.
    void ellipticRegionCoversTheFilledEllipse()
    {
        QFETCH(QRect, box);
        QImage img = blank(box.right() + 3, box.bottom() + 3);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        c.Pen().SetColor(clBlack);
        c.Ellipse(box.left(), box.top(), box.right(), box.bottom());
        const TRegion r = TRegion::CreateEllipticRgn(box.left(), box.top(), box.right(), box.bottom());
        QVERIFY((r.Region() ^ painted(img)).isEmpty());
    }

    void widePenIsCentredOnTheEdge_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("250") << 250;
        QTest::newRow("251") << 251;
        QTest::newRow("40") << 40;
    }

    // A shape of size s with a 3-pixel pen draws the ellipse (1, 1, s - 1, s - 1):
    // its ring must reach exactly the region of the whole (0, 0, s, s).
    void widePenIsCentredOnTheEdge()
    {
        QFETCH(int, size);
        QImage img = blank(size, size);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        c.Pen().SetColor(clBlue);
        c.Pen().SetWidth(3);
        c.Ellipse(1, 1, size - 1, size - 1);
        QVERIFY((painted(img) ^ TRegion::CreateEllipticRgn(0, 0, size, size).Region()).isEmpty());
        // Three pixels of ring at the middle of every side, the fill after them.
        const int mid = (size - 1) / 2;
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(Rgb(img, k, mid), 0x0000FFu);
            QCOMPARE(Rgb(img, size - 1 - k, mid), 0x0000FFu);
            QCOMPARE(Rgb(img, mid, k), 0x0000FFu);
            QCOMPARE(Rgb(img, mid, size - 1 - k), 0x0000FFu);
        }
        QCOMPARE(Rgb(img, 3, mid), 0xFF0000u);
        QCOMPARE(Rgb(img, size - 4, mid), 0xFF0000u);
    }

    void pieEdgesLieOnTheirRays_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("204") << 204;
        QTest::newRow("100") << 100;
    }

    // The upper half from three o'clock to nine: the edge runs along the centre row
    // itself, the row above is the fill, the row below is untouched.
    void pieEdgesLieOnTheirRays()
    {
        QFETCH(int, size);
        const int c0 = size / 2;
        QImage img = blank(size + 2, size + 2);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        c.Pen().SetColor(clBlack);
        c.Pie(0, 0, size, size, size, c0, 0, c0);
        for (int x = 0; x < size; ++x)
            QCOMPARE(Rgb(img, x, c0), 0x000000u);
        QCOMPARE(Rgb(img, size, c0), 0xFFFFFFu);
        QCOMPARE(Rgb(img, c0 + 20, c0 - 1), 0xFF0000u);
        QCOMPARE(Rgb(img, c0 + 20, c0 + 1), 0xFFFFFFu);
        QCOMPARE(Rgb(img, size - 2, c0 - 1), 0xFF0000u);
        // Vertical rays: the edge runs down the centre column.
        img = blank(size + 2, size + 2);
        c.Pie(0, 0, size, size, c0, 0, c0, size);
        for (int y = 0; y < size; ++y)
            QCOMPARE(Rgb(img, c0, y), 0x000000u);
        QCOMPARE(Rgb(img, c0 - 1, c0 - 20), 0xFF0000u);
        QCOMPARE(Rgb(img, c0 + 1, c0 - 20), 0xFFFFFFu);
    }

    // On a tall ellipse the arc ends where the ray meets the ellipse: a diagonal
    // ray from the centre cuts the quarter between the axes exactly at the corner line.
    void pieArcEndsWhereTheRayMeetsAnEllipse()
    {
        QImage img = blank(104, 206);
        TCanvas c(&img);
        c.Brush().SetColor(clRed);
        c.Pen().SetStyle(TPenStyle::psClear);
        // Centre (50, 100); the ray through (60, 90) runs at 45 degrees.
        c.Pie(0, 0, 100, 200, 100, 100, 60, 90);
        const QRegion fill = painted(img);
        for (const QRect &r : fill)
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    QVERIFY2(x - 50 >= 100 - y && y <= 100, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        // Past the diagonal, where a parametric 45 degrees (about 63 degrees on this
        // ellipse) would still fill, nothing is painted.
        QCOMPARE(Rgb(img, 80, 55), 0xFFFFFFu);
        QCOMPARE(Rgb(img, 78, 50), 0xFFFFFFu);
        // The diagonal itself is filled up to the rim, about 44.7 pixels out.
        for (int k = 0; k <= 43; ++k)
            QCOMPARE(Rgb(img, 50 + k, 100 - k), 0xFF0000u);
        QCOMPARE(Rgb(img, 50 + 46, 100 - 46), 0xFFFFFFu);
    }

    void clearBrushPaintsNothingEvenWithAPattern()
    {
        QImage tile(8, 8, QImage::Format_RGB32);
        tile.fill(Qt::green);
        QImage img = blank(10, 10);
        TCanvas c(&img);
        c.Brush().SetBitmap(tile);
        c.Brush().SetStyle(TBrushStyle::bsClear);
        c.FillRect(TRect{0, 0, 10, 10});
        QCOMPARE(Rgb(img, 5, 5), 0xFFFFFFu);
        // Setting the pattern again makes the brush paint.
        c.Brush().SetBitmap(tile);
        c.FillRect(TRect{0, 0, 10, 10});
        QCOMPARE(Rgb(img, 5, 5), 0x00FF00u);
    }

    void alternatePixelPenDrawsEveryOtherPixel()
    {
        QImage img = blank(20, 20);
        TCanvas c(&img);
        c.Pen().AlternatePixels = true;
        c.MoveTo(2, 5);
        c.LineTo(12, 5);
        for (int x = 2; x < 12; ++x)
            QCOMPARE(Rgb(img, x, 5), (x - 2) % 2 == 0 ? 0x000000u : 0xFFFFFFu);
        QCOMPARE(Rgb(img, 12, 5), 0xFFFFFFu);
        img = blank(20, 20);
        c.Ellipse(0, 0, 20, 20);
        const int on = painted(img).intersected(TRegion::CreateEllipticRgn(0, 0, 20, 20).Region()).rectCount();
        QVERIFY(on > 0);
        int outline = EllipsePixels(0, 0, 20, 20).Boundary().Count(), drawn = 0;
        for (const QPoint &p : EllipsePixels(0, 0, 20, 20).Boundary().Points())
            drawn += Rgb(img, p.x(), p.y()) == 0;
        QVERIFY(std::abs(drawn * 2 - outline) <= 2);
    }

    void textAlignmentPlacesTheReferencePoint_data()
    {
        QTest::addColumn<unsigned>("align");
        QTest::addColumn<bool>("inkLeftOfX");
        QTest::addColumn<bool>("inkRightOfX");
        QTest::addColumn<bool>("inkAboveY");
        QTest::newRow("left top") << (TA_LEFT | TA_TOP) << false << true << false;
        QTest::newRow("right top") << (TA_RIGHT | TA_TOP) << true << false << false;
        QTest::newRow("centre baseline") << (TA_CENTER | TA_BASELINE) << true << true << true;
        QTest::newRow("left bottom") << (TA_LEFT | TA_BOTTOM) << false << true << true;
    }

    void textAlignmentPlacesTheReferencePoint()
    {
        QFETCH(unsigned, align);
        QFETCH(bool, inkLeftOfX);
        QFETCH(bool, inkRightOfX);
        QFETCH(bool, inkAboveY);
        QImage img = blank(120, 60);
        TCanvas c(&img);
        c.Font().SetColor(clBlack);
        c.Brush().SetStyle(TBrushStyle::bsClear);
        c.Handle()->TextAlign = align;
        c.TextOut(60, 30, QStringLiteral("HHHH"));
        bool left = false, right = false, above = false;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 120; ++x)
                if (Rgb(img, x, y) == 0) {
                    left |= x < 59;
                    right |= x > 61;
                    above |= y < 29;
                }
        QCOMPARE(left, inkLeftOfX);
        QCOMPARE(right, inkRightOfX);
        QCOMPARE(above, inkAboveY);
    }
};

QTEST_MAIN(TestCanvas)
#include "tst_canvas.moc"

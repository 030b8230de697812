// The round main window as it shows: its tile, mask, ring, the chart's
// corners, the buttons in their places; minimising and closing it.
#include "platform/GraphicsRaster.h"
#include "widgets/Image.h"
#include "support/ShownWindow.h"
#include "support/TestSupport.h"

#include <QtTest>

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    // Each button shows its image in its place: hidden, it leaves the frame
    // as drawn without it; shown, it changes the pixels of its box from its
    // first column and row up to, not including, its last ones, whose key
    // colour lets the frame show through.
    void buttonsShowInTheirPlaces_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QRect>("box");
        QTest::newRow("minimise") << "MinBtn" << QRect(91, 7, 17, 17);
        QTest::newRow("quit") << "CloseBtn" << QRect(146, 7, 17, 17);
        QTest::newRow("folder") << "ScanBtn" << QRect(226, 106, 19, 44);
        QTest::newRow("parent") << "BackBtn" << QRect(3, 106, 19, 44);
        QTest::newRow("help") << "HelpBtn" << QRect(118, 229, 17, 17);
    }

    void buttonsShowInTheirPlaces()
    {
        QFETCH(QString, button);
        QFETCH(QRect, box);
        ShownWindow s;
        QWidget *b = s.form.findChild<QWidget *>(button);
        QVERIFY(b);
        const QImage with = s.Grab();
        b->hide();
        const QImage without = s.Grab();
        QRect changed;
        for (int y = 0; y < with.height(); ++y)
            for (int x = 0; x < with.width(); ++x)
                if (Rgb(with, x, y) != Rgb(without, x, y))
                    changed |= QRect(x, y, 1, 1);
        QCOMPARE(changed, box.adjusted(0, 0, -1, -1));
    }

    void tileIsExactlyTheStoredPattern()
    {
        TForm1 form;
        const QImage &tile = form.PatternTile();
        QCOMPARE(tile.size(), QSize(8, 8));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                QCOMPARE(Rgb(tile, x, y), kTile[y][x]);
    }

    void windowIsTheCircleOfFond()
    {
        ShownWindow s;
        QVERIFY((s.form.mask() ^ EllipsePixels(0, 0, 250, 250).ToRegion()).isEmpty());
        QVERIFY(!s.form.mask().contains(QPoint(2, 2)));
        QVERIFY(s.form.mask().contains(QPoint(125, 125)));
        // The circle reaches the last column and row of the window.
        QVERIFY(s.form.mask().contains(QPoint(249, 124)));
        QVERIFY(s.form.mask().contains(QPoint(124, 249)));
        QVERIFY(s.form.mask().contains(QPoint(0, 125)));
    }

    // Fond's ring runs right to the edge of the window's region: every pixel the
    // window shows is drawn, none is the window's own teal, and the outermost
    // pixels round the chart are the ring's.
    void noTealAndTheRingMeetsTheRegion()
    {
        ShownWindow s;
        s.probe.Pie().AddPoint(1, "a", clRed);
        QCoreApplication::processEvents();
        const QImage img = s.Grab();
        const TPixelSet shown = EllipsePixels(0, 0, 250, 250);
        for (const QPoint &p : shown.Points())
            QVERIFY2(Rgb(img, p.x(), p.y()) != 0x008080u, qPrintable(QStringLiteral("teal at %1,%2").arg(p.x()).arg(p.y())));
        const QRect chart = s.probe.Chart().geometry();
        for (const QPoint &p : shown.Boundary().Points())
            if (!chart.contains(p))
                QVERIFY2(Rgb(img, p.x(), p.y()) == 0x0000FFu, qPrintable(QStringLiteral("no ring at %1,%2").arg(p.x()).arg(p.y())));
    }

    // The corner region is the chart's box less its ellipse, the same pixels a
    // filled ellipse of that box covers: the pie's rim shows at the middle of every
    // side, and the corners outside that ellipse hold only tile and ring.
    void cornerTileMeetsThePieRim()
    {
        ShownWindow s;
        s.probe.Pie().AddPoint(1, "a", clRed);
        QCoreApplication::processEvents();
        const QImage chart = s.probe.Chart().grab().toImage();
        QCOMPARE(Rgb(chart, 0, 101), 0x000000u);
        QCOMPARE(Rgb(chart, 101, 0), 0x000000u);
        QCOMPARE(Rgb(chart, 203, 101), 0x000000u);
        QCOMPARE(Rgb(chart, 101, 203), 0x000000u);
        QCOMPARE(Rgb(chart, 1, 101), 0xFF0000u);
        const TPixelSet inside = EllipsePixels(0, 0, 205, 205);
        for (int y = 0; y < 205; ++y)
            for (int x = 0; x < 205; ++x) {
                if (inside.Contains(x, y))
                    continue;
                const std::uint32_t c = Rgb(chart, x, y);
                QVERIFY2(c == kTile[y % 8][x % 8] || c == 0x0000FFu, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
    }

    void frameShowsRingTileAndNavyDisc()
    {
        ShownWindow s;
        const QImage img = s.Grab();
        // The ring on the left edge, the tile laid from the window's corner, the navy pie area.
        QCOMPARE(Rgb(img, 1, 125), 0x0000FFu);
        QCOMPARE(Rgb(img, 11, 90), kTile[90 % 8][11 % 8]);
        QCOMPARE(Rgb(img, 125, 125), 0x000080u);
        QCOMPARE(Rgb(img, 125, 60), 0x000080u);
    }

    void chartCornersShowTileAndRing()
    {
        ShownWindow s;
        s.probe.Chart().Invalidate();
        QCoreApplication::processEvents();
        const QImage chart = s.probe.Chart().grab().toImage();
        // Corner pixels carry the tile laid from the chart's own corner, never the navy background.
        QCOMPARE(Rgb(chart, 3, 0), kTile[0][3]);
        QCOMPARE(Rgb(chart, 0, 3), kTile[3][0]);
        QCOMPARE(Rgb(chart, 204, 200), kTile[200 % 8][204 % 8]);
        bool ring = false;
        for (int d = 8; d < 22; ++d)
            ring = ring || Rgb(chart, d, d) == 0x0000FFu;
        QVERIFY(ring);
        QCOMPARE(Rgb(chart, 102, 102), 0x000080u);
    }

    void cornersSurviveARepaintOfTheKeptFrame()
    {
        ShownWindow s;
        s.probe.Pie().AddPoint(3, "a", RGB(0x1E, 0, 0x50));
        s.probe.Pie().AddPoint(1, "b", RGB(255, 255, 255));
        QCoreApplication::processEvents();
        s.probe.Chart().Repaint();
        QCoreApplication::processEvents();
        const QImage chart = s.probe.Chart().grab().toImage();
        QCOMPARE(Rgb(chart, 3, 0), kTile[0][3]);
        QCOMPARE(Rgb(chart, 102, 60), 0x1E0050u);
        QCOMPARE(Rgb(chart, 110, 170), 0xFFFFFFu);
        // Column 102 under the centre is the ray at six o'clock: the black edge.
        QCOMPARE(Rgb(chart, 102, 170), 0x000000u);
    }

    void minimiseAndClose()
    {
        ShownWindow s;
        s.form.MinBtnClick(nullptr);
        QVERIFY(s.form.isMinimized());
        s.form.showNormal();
        s.form.CloseBtnClick(nullptr);
        QVERIFY(!s.form.isVisible());
        QVERIFY(s.probe.EntitiesFreed());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

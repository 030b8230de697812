// The bitmap button: glyph cutting, layout, transparency and its state changes.
#include "widgets/FreeBtn.h"
#include "support/TestSupport.h"

#include <QToolTip>
#include <QtTest>

namespace {
QImage solid(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// A state image: the given colour with the silver key at the lower left.
QImage keyed(int w, int h, QColor c)
{
    QImage img = solid(w, h, c);
    img.setPixelColor(0, h - 1, QColor(192, 192, 192));
    return img;
}

// A button on a blue parent, with one colour per state.
struct Rig {
    QWidget parent;
    TFreeBtn *btn;
    int clicks = 0;
    Rig()
    {
        parent.resize(100, 100);
        parent.setAutoFillBackground(true);
        QPalette pal;
        pal.setColor(QPalette::Window, Qt::blue);
        parent.setPalette(pal);
        btn = new TFreeBtn(&parent);
        btn->setGeometry(10, 10, 20, 20);
        btn->SetBitmapOver(keyed(20, 20, Qt::yellow));
        btn->SetBitmapDown(keyed(20, 20, Qt::red));
        btn->SetBitmapUp(keyed(20, 20, Qt::green));
        btn->SetBitmap(keyed(20, 20, Qt::white));
        btn->OnClick = [this](QObject *) { ++clicks; };
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        // A known pointer: over the button, then away from it.
        QTest::mouseMove(btn, QPoint(5, 5));
        QTest::mouseMove(&parent, QPoint(90, 90));
        QTRY_COMPARE(Shown(), 0xFFFFFFu);
    }
    // What the screen shows at a point of the button, without asking anything to repaint.
    std::uint32_t Shown(int x = 5, int y = 5)
    {
        QCoreApplication::processEvents();
        const QImage screen = parent.screen()->grabWindow(parent.winId()).toImage();
        return Rgb(screen, btn->x() + x, btn->y() + y);
    }
};
} // namespace

class TestFreeBtn : public QObject {
    Q_OBJECT
private slots:
    void glyphCutting_data()
    {
        QTest::addColumn<int>("stripWidth");
        QTest::addColumn<int>("frameWidth");
        QTest::newRow("multiple of five") << 85 << 17;
        QTest::newRow("186 leaves its last column unused") << 186 << 37;
        QTest::newRow("98 leaves three columns unused") << 98 << 19;
    }

    void glyphCutting()
    {
        QFETCH(int, stripWidth);
        QFETCH(int, frameWidth);
        const QColor colors[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
        QImage strip = solid(stripWidth, 6, Qt::black);
        for (int n = 0; n < 5; ++n)
            for (int x = n * frameWidth; x < (n + 1) * frameWidth; ++x)
                for (int y = 0; y < 6; ++y)
                    strip.setPixelColor(x, y, colors[n]);
        TFreeBtn btn;
        btn.SetGlyph(strip);
        // Up, disabled, down, over, normal: frames 1 to 5.
        TBitmap *images[] = {&btn.BitmapUp(), &btn.BitmapDisabled(), &btn.BitmapDown(), &btn.BitmapOver(),
                             &btn.Bitmap()};
        for (int n = 0; n < 5; ++n) {
            QCOMPARE(images[n]->Width(), frameWidth);
            QCOMPARE(images[n]->Height(), 6);
            QCOMPARE(Rgb(images[n]->Image(), frameWidth - 1, 0), std::uint32_t(colors[n].rgb() & 0xFFFFFF));
        }
        QCOMPARE(Rgb(btn.CurrentImage().Image(), 0, 0), std::uint32_t(colors[4].rgb() & 0xFFFFFF));
    }

    void centring_data()
    {
        QTest::addColumn<QSize>("button");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QPoint>("offset");
        QTest::newRow("cancel button") << QSize(73, 33) << QSize(59, 28) << QPoint(7, 2);
        QTest::newRow("ok button, image larger") << QSize(33, 33) << QSize(37, 36) << QPoint(-2, -1);
        QTest::newRow("same size") << QSize(17, 17) << QSize(17, 17) << QPoint(0, 0);
    }

    void centring()
    {
        QFETCH(QSize, button);
        QFETCH(QSize, image);
        QFETCH(QPoint, offset);
        QWidget parent;
        TFreeBtn *btn = new TFreeBtn(&parent);
        btn->resize(button);
        btn->SetBitmap(keyed(image.width(), image.height(), Qt::white));
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QCOMPARE(btn->DrawOffset(), offset);
        QCOMPARE(btn->size(), button);
    }

    void autoSizeTakesTheNormalImageSize()
    {
        TFreeBtn btn;
        btn.SetBitmap(keyed(12, 9, Qt::white));
        btn.SetAutoSize(true);
        QCOMPARE(btn.size(), QSize(12, 9));
    }

    void keyColourShowsTheParent()
    {
        Rig r;
        QCOMPARE(r.Shown(0, 19), 0x0000FFu);
        QCOMPARE(r.Shown(), 0xFFFFFFu);
        r.btn->SetTransparent(false);
        QCOMPARE(r.Shown(0, 19), 0xC0C0C0u);
    }

    void pointerEnterLeaveAndPress()
    {
        Rig r;
        QTest::mouseMove(r.btn, QPoint(5, 5));
        QTRY_COMPARE(r.Shown(), 0xFFFF00u);
        QTest::mousePress(r.btn, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(r.Shown(), 0xFF0000u);
        QTest::mouseRelease(r.btn, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(r.clicks, 1);
        // The release draws the up image straight on the button...
        QCOMPARE(r.Shown(), 0x00FF00u);
        // ...and a repaint by the toolkit shows the current image, still the pressed
        // one, until the pointer leaves; so does the button's own paint.
        r.parent.repaint();
        QCOMPARE(r.Shown(), 0xFF0000u);
        r.btn->Paint();
        QCOMPARE(r.Shown(), 0xFF0000u);
        QTest::mouseMove(&r.parent, QPoint(90, 90));
        QCOMPARE(r.Shown(), 0xFFFFFFu);
    }

    // Whatever the button held, the pointer is the button's until release:
    // leaving shows the normal image at once, and no click follows.
    void dragOffAndReleaseGivesNoClick_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("left") << int(Qt::LeftButton);
        QTest::newRow("right") << int(Qt::RightButton);
        QTest::newRow("middle") << int(Qt::MiddleButton);
    }

    void dragOffAndReleaseGivesNoClick()
    {
        QFETCH(int, button);
        Rig r;
        QTest::mouseMove(r.btn, QPoint(5, 5));
        QTRY_COMPARE(r.Shown(), 0xFFFF00u);
        QTest::mousePress(r.btn, Qt::MouseButton(button), {}, QPoint(5, 5));
        QTest::mouseMove(r.btn, QPoint(60, 60));
        QCOMPARE(r.Shown(), 0xFFFFFFu);
        QTest::mouseRelease(r.btn, Qt::MouseButton(button), {}, QPoint(60, 60));
        QCOMPARE(r.clicks, 0);
        QCOMPARE(r.Shown(), 0xFFFFFFu);
        QTest::mouseMove(&r.parent, QPoint(90, 90));
    }

    void rightAndMiddleButtonsChangeNothing()
    {
        Rig r;
        QTest::mouseClick(r.btn, Qt::RightButton, {}, QPoint(5, 5));
        QTest::mouseClick(r.btn, Qt::MiddleButton, {}, QPoint(5, 5));
        QCOMPARE(r.clicks, 0);
        QVERIFY(r.Shown() != 0xFF0000u);
    }

    void doubleClickClicksOnce()
    {
        Rig r;
        int downs = 0;
        r.btn->OnMouseDown = [&](QObject *, TMouseButton, TShiftState, int, int) { ++downs; };
        QTest::mouseClick(r.btn, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseDClick(r.btn, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(r.btn, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(r.clicks, 1);
        QCOMPARE(downs, 2);
    }

    void disabledButtonShowsAndTakesTheDisabledImage()
    {
        Rig r;
        r.btn->SetBitmapDisabled(keyed(14, 12, QColor(128, 128, 128)));
        r.btn->setEnabled(false);
        QTRY_COMPARE(r.btn->size(), QSize(14, 12));
        QCOMPARE(r.Shown(), 0x808080u);
        QTest::mouseClick(r.btn, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(r.clicks, 0);
    }

    void disabledWithoutImageDrawsTheCurrentOne()
    {
        Rig r;
        r.btn->setEnabled(false);
        QCOMPARE(r.btn->size(), QSize(20, 20));
        QCOMPARE(r.Shown(), 0xFFFFFFu);
    }

    // The pointer resting on the button shows its hint in a tip, unless ShowHint is off.
    void hintShowsInTheTip()
    {
        Rig r;
        r.btn->SetHint(QStringLiteral("Quitter"));
        for (const bool show : {false, true}) {
            r.btn->SetShowHint(show);
            QHelpEvent rest(QEvent::ToolTip, QPoint(5, 5), r.btn->mapToGlobal(QPoint(5, 5)));
            QCoreApplication::sendEvent(r.btn, &rest);
            QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), show ? QStringLiteral("Quitter") : QString());
        }
    }

    // The button's own repaints draw over what it shows: the pressed image's rim
    // stays where the normal image is see-through, until the toolkit repaints,
    // be it the parent repainting or the window uncovered (an expose, which
    // the toolkit serves from its kept image unless asked to paint), and only
    // within what it repaints.
    void ownRepaintDrawsOverWhatIsShown_data()
    {
        QTest::addColumn<bool>("expose");
        QTest::newRow("parent repaints") << false;
        QTest::newRow("window uncovered") << true;
    }

    void ownRepaintDrawsOverWhatIsShown()
    {
        QFETCH(bool, expose);
        Rig r;
        QImage down = keyed(20, 20, Qt::red);
        QImage normal = keyed(20, 20, Qt::white);
        for (int x : {3, 9, 10, 19}) {
            down.setPixelColor(x, 3, Qt::black);
            normal.setPixelColor(x, 3, QColor(192, 192, 192));
        }
        r.btn->SetBitmapDown(down);
        r.btn->SetBitmap(normal);
        QCOMPARE(r.Shown(3, 3), 0x0000FFu);
        QTest::mousePress(r.btn, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(r.Shown(3, 3), 0x000000u);
        QTest::mouseMove(r.btn, QPoint(60, 60));
        QCOMPARE(r.Shown(), 0xFFFFFFu);
        for (int x : {3, 9, 10, 19})
            QCOMPARE(r.Shown(x, 3), 0x000000u);
        // The left ten columns of the button are repainted.
        const QRect part(r.btn->x(), r.btn->y(), 10, 20);
        if (expose) {
            QExposeEvent e{QRegion(part)};
            QCoreApplication::sendEvent(r.parent.windowHandle(), &e);
        } else {
            r.parent.repaint(part);
        }
        QCOMPARE(r.Shown(3, 3), 0x0000FFu);
        QCOMPARE(r.Shown(9, 3), 0x0000FFu);
        QCOMPARE(r.Shown(10, 3), 0x000000u);
        QCOMPARE(r.Shown(19, 3), 0x000000u);
        QCOMPARE(r.Shown(), 0xFFFFFFu);
        QTest::mouseRelease(r.btn, Qt::LeftButton, {}, QPoint(60, 60));
    }

    // A change of Enabled repaints through the paint routine, also when the
    // button drew itself after it: a click whose handler disables and enables
    // the button again ends showing the pressed image, not the released one.
    void enabledChangeRunsThePaintRoutine()
    {
        Rig r;
        QTest::mouseMove(r.btn, QPoint(5, 5));
        r.btn->OnClick = [&](QObject *) {
            r.btn->setEnabled(false);
            QCoreApplication::processEvents();
            r.btn->setEnabled(true);
        };
        QTest::mouseClick(r.btn, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(r.Shown(), 0xFF0000u);
        QCOMPARE(r.Shown(19, 19), 0xFF0000u);
        QCOMPARE(r.Shown(-1, 5), 0x0000FFu);
        QTest::mouseMove(&r.parent, QPoint(90, 90));
    }

    // What lies under the pointer is asked after OnClick: a handler that moves the
    // button away leaves the normal image drawn, not the released one.
    void releaseLooksUnderThePointerAfterTheClick()
    {
        Rig r;
        r.btn->OnClick = [&](QObject *) { r.btn->move(60, 60); };
        QTest::mouseClick(r.btn, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(r.Shown(), 0xFFFFFFu);
    }
};

QTEST_MAIN(TestFreeBtn)
#include "tst_freebtn.moc"

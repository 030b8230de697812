// What the windows show, pixel by pixel: both dialogs, the edit box's caret and
// text, the stored artwork, and the main window during a scan (disabled images,
// the turning progress text and its erasure by the next frame).
#include "chart/Chart.h"
#include "dialogs/DirSelDlg.h"
#include "widgets/FreeBtn.h"
#include "dialogs/HelpDlg.h"
#include "platform/Messages.h"
#include "widgets/PathEdit.h"
#include "support/ScanWindow.h"
#include "support/TestSupport.h"
#include "app/Unit1.h"

#include <QFile>
#include <QtTest>
#include <cmath>

namespace {
constexpr std::uint32_t kSilver = 0xC0C0C0u;

// Every pixel of the button's rectangle that its image covers with a colour
// other than its key shows that colour.
void expectButtonImage(const QImage &shot, const TFreeBtn *btn, const QImage &image, QPoint offset)
{
    const QRgb key = image.pixel(0, image.height() - 1);
    int seen = 0;
    for (int y = 0; y < btn->height(); ++y)
        for (int x = 0; x < btn->width(); ++x) {
            const int ix = x - offset.x(), iy = y - offset.y();
            if (!image.rect().contains(ix, iy) || image.pixel(ix, iy) == key)
                continue;
            QCOMPARE(Rgb(shot, btn->x() + x, btn->y() + y), std::uint32_t(image.pixel(ix, iy) & 0xFFFFFFu));
            ++seen;
        }
    QVERIFY(seen > 0);
}

// The colour type of a stored PNG: 2 is 24 bits per pixel, 6 is 32.
int pngColourType(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = f.read(26);
    return head.size() == 26 ? int(quint8(head[25])) : -1;
}
} // namespace

class TestPixels : public QObject {
    Q_OBJECT
private slots:
    void artworkAsStored_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("colourType");
        QTest::newRow("ok strip") << "okbtn_glyph" << QSize(186, 36) << 2;
        QTest::newRow("cancel strip") << "cancelbtn_glyph" << QSize(295, 28) << 2;
        QTest::newRow("min strip") << "minbtn_glyph" << QSize(85, 17) << 2;
        QTest::newRow("scan strip") << "scanbtn_glyph" << QSize(95, 44) << 2;
        QTest::newRow("ok normal") << "okbtn_normal" << QSize(37, 36) << 6;
        QTest::newRow("cancel down") << "cancelbtn_down" << QSize(59, 28) << 6;
        QTest::newRow("help disabled") << "helpbtn_disabled" << QSize(17, 17) << 6;
        QTest::newRow("back over") << "backbtn_over" << QSize(19, 44) << 6;
        QTest::newRow("close up") << "closebtn_up" << QSize(17, 17) << 6;
    }

    // Strips are 24 bits per pixel, state images 32; the lower-left key is silver.
    void artworkAsStored()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(int, colourType);
        const QString path = QStringLiteral(":/images/%1.png").arg(name);
        QCOMPARE(pngColourType(path), colourType);
        const QImage img(path);
        QCOMPARE(img.size(), size);
        QCOMPARE(Rgb(img, 0, img.height() - 1), kSilver);
        if (colourType == 6)
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    QCOMPARE(qAlpha(img.pixel(x, y)), 255);
    }

    void dialogFormsUseTheStoredFont()
    {
        TForm1 form;
        TDirSelDlg dir(&form, form.PatternTile());
        THelpDlg help(&form, form.PatternTile());
        for (const QWidget *w : {static_cast<QWidget *>(&dir), static_cast<QWidget *>(&help)}) {
            QCOMPARE(w->font().family(), QStringLiteral("MS Sans Serif"));
            QCOMPARE(w->font().pointSize(), 8);
            QCOMPARE(QFontInfo(w->font()).pixelSize(), 11);
        }
    }

    // The folder dialog: a 3-pixel blue band on every side, the tile laid from the
    // dialog's corner, and both buttons' images at their places.
    void folderDialogPixels()
    {
        TForm1 form;
        TDirSelDlg dlg(&form, form.PatternTile());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QImage shot = dlg.grab().toImage();
        QCOMPARE(shot.size(), QSize(290, 74));
        const int midX = 120, midY = 50;
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(Rgb(shot, k, midY), 0x0000FFu);
            QCOMPARE(Rgb(shot, 289 - k, midY), 0x0000FFu);
            QCOMPARE(Rgb(shot, midX, k), 0x0000FFu);
            QCOMPARE(Rgb(shot, midX, 73 - k), 0x0000FFu);
        }
        for (const QPoint p : {QPoint(3, midY), QPoint(286, midY), QPoint(midX, 3), QPoint(midX, 70), QPoint(20, 50),
                               QPoint(150, 60), QPoint(5, 40), QPoint(3, 3), QPoint(286, 70)})
            QCOMPARE(Rgb(shot, p.x(), p.y()), kTile[p.y() % 8][p.x() % 8]);
        QCOMPARE(dlg.FreeBtn1->geometry(), QRect(168, 35, 33, 33));
        QCOMPARE(dlg.FreeBtn2->geometry(), QRect(208, 35, 73, 33));
        expectButtonImage(shot, dlg.FreeBtn1, dlg.FreeBtn1->Bitmap().Image(), QPoint(-2, -1));
        expectButtonImage(shot, dlg.FreeBtn2, dlg.FreeBtn2->Bitmap().Image(), QPoint(7, 2));
        // Left of the Ok button and between the two: the tile.
        QCOMPARE(Rgb(shot, 167, 50), kTile[50 % 8][167 % 8]);
        QCOMPARE(Rgb(shot, 204, 50), kTile[50 % 8][204 % 8]);
    }

    // The help dialog: a one-pixel black outline, the tile from the client's
    // corner, the Ok button at its place.
    void helpDialogPixels()
    {
        // This test program has no version block: the error box is answered.
        platform::SetBoxHook([](const QString &, const QString &) {});
        TForm1 form;
        THelpDlg dlg(&form, form.PatternTile());
        dlg.show();
        platform::SetBoxHook({});
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QImage shot = dlg.grab().toImage();
        QCOMPARE(shot.size(), QSize(249, 297));
        const int midY = 240;
        QCOMPARE(Rgb(shot, 0, midY), 0x000000u);
        QCOMPARE(Rgb(shot, 248, midY), 0x000000u);
        QCOMPARE(Rgb(shot, 60, 0), 0x000000u);
        QCOMPARE(Rgb(shot, 60, 296), 0x000000u);
        for (const QPoint p : {QPoint(1, midY), QPoint(247, midY), QPoint(60, 1), QPoint(60, 295), QPoint(60, 245),
                               QPoint(200, 270), QPoint(3, 40)})
            QCOMPARE(Rgb(shot, p.x(), p.y()), kTile[p.y() % 8][p.x() % 8]);
        QCOMPARE(dlg.FreeBtn1->geometry(), QRect(112, 251, 33, 33));
        expectButtonImage(shot, dlg.FreeBtn1, dlg.FreeBtn1->Bitmap().Image(), QPoint(-2, -1));
    }

    void caretWidthFollowsTheWeight_data()
    {
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("width");
        QTest::newRow("bold") << true << 2;
        QTest::newRow("normal") << false << 1;
    }

    // With an empty box the caret is all that focus changes: its columns are counted.
    void caretWidthFollowsTheWeight()
    {
        QFETCH(bool, bold);
        QFETCH(int, width);
        TForm1 form;
        TDirSelDlg dlg(&form, form.PatternTile());
        QFont f = dlg.DirEdit->font();
        f.setBold(bold);
        dlg.DirEdit->setFont(f);
        dlg.DirEdit->setText(QString());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.DirEdit->clearFocus();
        QCoreApplication::processEvents();
        const QImage without = dlg.DirEdit->grab().toImage();
        dlg.activateWindow();
        dlg.DirEdit->setFocus();
        QTRY_VERIFY(dlg.DirEdit->hasFocus());
        const QImage shot = dlg.DirEdit->grab().toImage();
        QSet<int> columns;
        // Inside the box's frame, whose colour also follows the focus, and away
        // from the focus frame's rounded corners.
        for (int y = 3; y < shot.height() - 3; ++y)
            for (int x = 2; x < dlg.DirEdit->ButtonRect().left() + 2; ++x)
                if (Rgb(shot, x, y) != Rgb(without, x, y))
                    columns.insert(x);
        QCOMPARE(columns.size(), width);
    }

    // The text stays inside its rectangle (0, 0, 247, 18) of the client area,
    // which starts inside the box's 2-pixel frame: from column 2 to column 248.
    void textStaysInItsRectangle_data()
    {
        QTest::addColumn<bool>("atEnd");
        QTest::newRow("start shown") << false;
        QTest::newRow("end shown") << true;
    }

    void textStaysInItsRectangle()
    {
        QFETCH(bool, atEnd);
        TForm1 form;
        TDirSelDlg dlg(&form, form.PatternTile());
        dlg.DirEdit->setText(QStringLiteral("/WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW/MMMMMMM"));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.DirEdit->setCursorPosition(atEnd ? dlg.DirEdit->text().size() : 0);
        dlg.DirEdit->deselect();
        dlg.DirEdit->clearFocus();
        QCoreApplication::processEvents();
        const QImage shot = dlg.DirEdit->grab().toImage();
        int first = shot.width(), last = -1;
        for (int y = 2; y < shot.height() - 2; ++y)
            for (int x = 0; x < dlg.DirEdit->ButtonRect().left() + 2; ++x)
                if (Rgb(shot, x, y) == kSilver) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        QVERIFY2(first >= 2 && last <= 248, qPrintable(QStringLiteral("%1..%2").arg(first).arg(last)));
        // The text runs up to its rectangle's edge on the cut side.
        if (atEnd)
            QVERIFY2(first <= 3, qPrintable(QString::number(first)));
        else
            QVERIFY2(last >= 246, qPrintable(QString::number(last)));
    }

    // During a scan: every button shows its disabled image, the progress text is
    // yellow, turns clockwise by a degree a tick, each tick erasing the last in
    // navy; the frame drawn after the scan leaves nothing of it.
    void scanShowsDisabledImagesAndTheTurningText()
    {
        TempTree t;
        QCOMPARE(Shell("mkdir -p '" + t.Path("many") + "' && cd '" + t.Path("many")
                       + "' && seq 1 200 | xargs touch && cd .. && mkdir sub && cp -r many sub/"),
                 0);
        ScanWindow w(3);
        TForm1 &form = w.form;
        TForm1::TProbe &probe = w.probe;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        std::vector<QImage> charts;
        QImage whole;
        std::vector<int> angles;
        QObject::connect(&probe.Timer(), &QTimer::timeout, &form, [&] {
            if (charts.size() < 60) {
                charts.push_back(probe.Chart().grab().toImage());
                angles.push_back(probe.Angle());
            }
            if (whole.isNull())
                whole = form.grab().toImage();
        });
        const std::string start = QDir::currentPath().toStdString();
        form.scan(t.Root());
        QDir::setCurrent(QString::fromStdString(start));
        platform::SetBoxHook({});
        QVERIFY2(charts.size() >= 3, "the scan was over before three ticks");

        for (const TFreeBtn *b : {&probe.MinBtn(), &probe.CloseBtn(), &probe.ScanBtn(), &probe.BackBtn(), &probe.HelpBtn()}) {
            const QImage &img = const_cast<TFreeBtn *>(b)->BitmapDisabled().Image();
            const QImage wholeShot = whole;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (img.pixel(x, y) != img.pixel(0, img.height() - 1))
                        QCOMPARE(Rgb(wholeShot, b->x() + x, b->y() + y), std::uint32_t(img.pixel(x, y) & 0xFFFFFFu));
        }

        // The text's pixels, and the angle of their middle about the chart's centre.
        auto yellow = [](const QImage &img) {
            std::vector<QPoint> pts;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (Rgb(img, x, y) == 0xFFFF00u)
                        pts.emplace_back(x, y);
            return pts;
        };
        auto direction = [](const std::vector<QPoint> &pts) {
            double sx = 0, sy = 0;
            for (const QPoint &p : pts) {
                sx += p.x() - 102;
                sy += 102 - p.y();
            }
            return std::atan2(sy, sx) * 180 / M_PI;
        };
        const std::vector<QPoint> first = yellow(charts.front());
        QVERIFY(first.size() > 20);
        const std::size_t lastIndex = charts.size() - 1;
        const std::vector<QPoint> later = yellow(charts[lastIndex]);
        QVERIFY(later.size() > 20);
        // Clockwise: the angle drops by the ticks between the two pictures.
        double turn = direction(first) - direction(later);
        if (turn < -180)
            turn += 360;
        const double ticks = angles.front() - angles[lastIndex];
        QVERIFY2(std::abs(turn - ticks) <= 3 + ticks * 0.05,
                 qPrintable(QStringLiteral("turned %1 over %2 ticks").arg(turn).arg(ticks)));
        // Each tick erases the text of the one before in navy.
        for (std::size_t i = 0; i + 1 < charts.size(); ++i) {
            if (angles[i + 1] != angles[i] - 1)
                continue;
            const QImage &next = charts[i + 1];
            for (const QPoint &p : yellow(charts[i])) {
                const std::uint32_t c = Rgb(next, p.x(), p.y());
                QVERIFY(c == 0xFFFF00u || c == 0x000080u);
            }
        }

        // The next frame: nothing of the text is left, the corners are the tile's.
        QCoreApplication::processEvents();
        const QImage after = probe.Chart().grab().toImage();
        probe.Chart().Invalidate();
        QCoreApplication::processEvents();
        QCOMPARE(after, probe.Chart().grab().toImage());
        QVERIFY(probe.MinBtn().isEnabled());
    }
};

QTEST_MAIN(TestPixels)
#include "tst_pixels.moc"

// Dragging the round window: by the frame or the pie with any of the three
// buttons, the pointer keeping its place; side buttons do nothing; a modal
// window ends a drag.
#include "platform/Messages.h"
#include "support/ShownWindow.h"
#include "support/TestSupport.h"

#include <QDialog>
#include <QtTest>

class TestDrag : public QObject {
    Q_OBJECT
private slots:
    void drag_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("onChart");
        QTest::newRow("left on the frame") << int(Qt::LeftButton) << false;
        QTest::newRow("right on the frame") << int(Qt::RightButton) << false;
        QTest::newRow("middle on the frame") << int(Qt::MiddleButton) << false;
        QTest::newRow("left on the chart") << int(Qt::LeftButton) << true;
        QTest::newRow("right on the chart") << int(Qt::RightButton) << true;
    }

    void drag()
    {
        QFETCH(int, button);
        QFETCH(bool, onChart);
        ShownWindow s;
        s.form.move(100, 80);
        QCoreApplication::processEvents();
        const QPoint start = s.form.pos();
        QWidget *target = onChart ? static_cast<QWidget *>(&s.probe.Chart()) : static_cast<QWidget *>(&s.probe.Frame());
        const QPoint local = onChart ? QPoint(10, 190) : QPoint(30, 125);
        const QPoint grabbed = target->mapToGlobal(local);
        QTest::mousePress(target, Qt::MouseButton(button), {}, local);
        QVERIFY(s.probe.Dragging());
        const QPoint steps[] = {QPoint(7, 3), QPoint(40, -25), QPoint(-13, 61)};
        for (const QPoint &d : steps) {
            const QPoint pointer = grabbed + d;
            QTest::mouseMove(&s.form, s.form.mapFromGlobal(pointer));
            QCOMPARE(s.form.pos(), start + d);
            // The pointer keeps its place relative to the window.
            QCOMPARE(s.form.mapFromGlobal(pointer), grabbed - start);
        }
        QTest::mouseRelease(&s.form, Qt::MouseButton(button), {}, s.form.mapFromGlobal(grabbed + steps[2]));
        QVERIFY(!s.probe.Dragging());
        QCOMPARE(s.form.pos(), start + steps[2]);
    }

    // Side buttons (X11 buttons 8 and 9) do nothing anywhere: no drag, no
    // click, no slice, on any of the window's parts.
    void otherButtonsDoNothing_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<int>("button");
        for (const char *part : {"frame", "slice", "window", "button"}) {
            QTest::newRow(qPrintable(QStringLiteral("back on the %1").arg(QLatin1String(part))))
                << QString::fromLatin1(part) << int(Qt::BackButton);
            QTest::newRow(qPrintable(QStringLiteral("forward on the %1").arg(QLatin1String(part))))
                << QString::fromLatin1(part) << int(Qt::ForwardButton);
        }
    }

    void otherButtonsDoNothing()
    {
        QFETCH(QString, part);
        QFETCH(int, button);
        ShownWindow s;
        s.probe.Pie().AddPoint(1, "a", RGB(0x1E, 0, 0x50));
        QCoreApplication::processEvents();
        int downs = 0, clicks = 0;
        const auto drag = s.probe.Chart().OnMouseDown;
        s.probe.Chart().OnMouseDown = [&](QObject *o, TMouseButton b, TShiftState sh, int x, int y) {
            ++downs;
            drag(o, b, sh, x, y);
        };
        s.probe.Chart().OnClickSeries = [&](TCustomChart *, TChartSeries *, int, TMouseButton, TShiftState, int, int) {
            ++clicks;
        };
        s.probe.MinBtn().OnClick = [&](QObject *) { ++clicks; };
        QWidget *target = &s.probe.Frame();
        QPoint at(30, 125);
        if (part == QLatin1String("slice"))
            target = &s.probe.Chart(), at = QPoint(102, 60);
        else if (part == QLatin1String("window"))
            target = &s.form;
        else if (part == QLatin1String("button"))
            target = &s.probe.MinBtn(), at = QPoint(8, 8);
        const QPoint start = s.form.pos();
        const QImage shown = s.probe.MinBtn().CurrentImage().Image();
        const auto b = Qt::MouseButton(button);
        QTest::mousePress(target, b, {}, at);
        QVERIFY(!s.probe.Dragging());
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QTest::mouseMove(&s.form, QPoint(60, 140));
        QTest::mouseRelease(target, b, {}, at);
        QTest::mouseDClick(target, b, {}, at);
        QCOMPARE(s.form.pos(), start);
        QCOMPARE(downs, 0);
        QCOMPARE(clicks, 0);
        QCOMPARE(s.probe.MinBtn().CurrentImage().Image(), shown);
    }

    void otherButtonReleaseDoesNotEndADrag()
    {
        ShownWindow s;
        s.form.move(100, 80);
        QCoreApplication::processEvents();
        QTest::mousePress(&s.probe.Frame(), Qt::LeftButton, {}, QPoint(30, 125));
        QTest::mousePress(&s.form, Qt::BackButton, {}, QPoint(30, 125));
        QTest::mouseRelease(&s.form, Qt::BackButton, {}, QPoint(30, 125));
        QVERIFY(s.probe.Dragging());
        QCOMPARE(QWidget::mouseGrabber(), static_cast<QWidget *>(&s.form));
        QTest::mouseRelease(&s.form, Qt::LeftButton, {}, QPoint(30, 125));
        QVERIFY(!s.probe.Dragging());
    }

    // A modal window that opens during a drag (the walk's warning box, any
    // dialog) takes the release: the drag and the capture end when it opens.
    void modalWindowEndsTheDrag_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("warning box") << QStringLiteral("warning");
        QTest::newRow("error box") << QStringLiteral("error");
        QTest::newRow("modal dialog") << QStringLiteral("dialog");
    }

    void modalWindowEndsTheDrag()
    {
        QFETCH(QString, kind);
        ShownWindow s;
        s.form.move(100, 80);
        QCoreApplication::processEvents();
        QTest::mousePress(&s.probe.Chart(), Qt::LeftButton, {}, QPoint(10, 190));
        QVERIFY(s.probe.Dragging());
        QCOMPARE(QWidget::mouseGrabber(), static_cast<QWidget *>(&s.form));
        bool seen = false, grabbed = true, dragging = true;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
            seen = true;
            grabbed = QWidget::mouseGrabber() != nullptr;
            dragging = s.probe.Dragging();
            qobject_cast<QDialog *>(QApplication::activeModalWidget())->done(0);
        });
        if (kind == QLatin1String("warning"))
            platform::WarningBox(&s.form, QStringLiteral("Impossible d'atteindre :\r/x"));
        else if (kind == QLatin1String("error"))
            platform::ErrorBox(&s.form, QStringLiteral("x"));
        else
            QDialog(&s.form).exec();
        QVERIFY(seen);
        QVERIFY(!grabbed);
        QVERIFY(!dragging);
        // The pointer moving afterwards leaves the window where it is.
        const QPoint at = s.form.pos();
        QTest::mouseMove(&s.probe.Chart(), QPoint(40, 150));
        QCOMPARE(s.form.pos(), at);
    }
};

QTEST_MAIN(TestDrag)
#include "tst_drag.moc"

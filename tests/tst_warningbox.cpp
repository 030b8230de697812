// The warning box a walk shows for a folder it cannot enter.
#include "support/Modal.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

class TestWarningBox : public QObject {
    Q_OBJECT
private slots:
    // The warning box of a walk: over the window it speaks for by the size it
    // ends with, within the screen whatever the path's length, each line within
    // the box: broken where it must be, its middle left out only when it must
    // be; a screen reader still gets the whole text.
    void warningBox_data()
    {
        QTest::addColumn<int>("pathBytes");
        QTest::addColumn<int>("nameBytes");
        QTest::addColumn<bool>("shortened");
        QTest::newRow("short") << 30 << 7 << false;
        QTest::newRow("a few lines") << 300 << 7 << false;
        QTest::newRow("1,456 bytes of 200-byte names") << 1456 << 200 << true;
        QTest::newRow("120,000 bytes, 15,000 levels down") << 120000 << 7 << true;
    }

    void warningBox()
    {
        QFETCH(int, pathBytes);
        QFETCH(int, nameBytes);
        QFETCH(bool, shortened);
        QString path;
        while (path.size() < pathBytes - 4)
            path += QLatin1Char('/') + QString(nameBytes, QLatin1Char('d'));
        path = path.left(pathBytes - 4) + QStringLiteral("/fin");
        const QString text = QStringLiteral("Impossible d'atteindre :\r") + path;
        QWidget owner(nullptr, Qt::FramelessWindowHint);
        owner.setGeometry(300, 200, 250, 250);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QRect frame, screen;
        QString shown, described, caption;
        int widest = 0, room = 0;
        whenModal([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            caption = box->windowTitle();
            frame = box->frameGeometry();
            screen = box->screen()->availableGeometry();
            shown = box->text();
            described = box->accessibleDescription();
            const QLabel *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            for (const QString &line : shown.split(QRegularExpression(QStringLiteral("[\r\n]"))))
                widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
            room = label->contentsRect().width();
            box->button(QMessageBox::Ok)->click();
        });
        platform::WarningBox(&owner, text);
        QCOMPARE(caption, QStringLiteral("Avertissement"));
        QVERIFY(screen.contains(frame));
        QCOMPARE(frame.left(), 300 + (250 - frame.width()) / 2);
        QCOMPARE(frame.top(), 200 + (250 - frame.height()) / 2);
        QVERIFY2(widest <= room, qPrintable(QStringLiteral("a line of %1 pixels in %2").arg(widest).arg(room)));
        QCOMPARE(described, text);
        // The line breaks aside, the text with its middle left out or whole.
        const QString joined = shown.remove(QLatin1Char('\n'));
        QCOMPARE(joined.contains(QChar(0x2026)), shortened);
        if (!shortened)
            QCOMPARE(joined, text);
        QVERIFY(joined.startsWith(QStringLiteral("Impossible d'atteindre :\r") + path.left(20)));
        QVERIFY(joined.endsWith(path.right(20)));
    }
};

QTEST_MAIN(TestWarningBox)
#include "tst_warningbox.moc"

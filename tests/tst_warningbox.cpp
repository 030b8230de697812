// The warning box a walk shows for a folder it cannot enter.
#include "Modal.h"

#include <QMessageBox>
#include <QPushButton>

class TestWarningBox : public QObject {
    Q_OBJECT
private slots:
    // The warning box of a walk: over the window it speaks for, within the
    // screen whatever the path's length, which is cut in its middle only when
    // it must be; a screen reader still gets the whole text.
    void warningBox_data()
    {
        QTest::addColumn<int>("pathBytes");
        QTest::addColumn<bool>("shortened");
        QTest::newRow("short") << 30 << false;
        QTest::newRow("a few lines") << 300 << false;
        QTest::newRow("120,000 bytes, 15,000 levels down") << 120000 << true;
    }

    void warningBox()
    {
        QFETCH(int, pathBytes);
        QFETCH(bool, shortened);
        QString path;
        while (path.size() < pathBytes - 4)
            path += QStringLiteral("/dossier");
        path = path.left(pathBytes - 4) + QStringLiteral("/fin");
        const QString text = QStringLiteral("Impossible d'atteindre :\r") + path;
        QWidget owner(nullptr, Qt::FramelessWindowHint);
        owner.setGeometry(300, 200, 250, 250);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QRect frame, screen;
        QString shown, described, caption;
        whenModal([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            caption = box->windowTitle();
            frame = box->frameGeometry();
            screen = box->screen()->availableGeometry();
            shown = box->text();
            described = box->accessibleDescription();
            box->button(QMessageBox::Ok)->click();
        });
        platform::WarningBox(&owner, text);
        QCOMPARE(caption, QStringLiteral("Avertissement"));
        QVERIFY(screen.contains(frame));
        QCOMPARE(frame.left(), 300 + (250 - frame.width()) / 2);
        QCOMPARE(frame.top(), 200 + (250 - frame.height()) / 2);
        QCOMPARE(described, text);
        if (!shortened) {
            QCOMPARE(shown, text);
            return;
        }
        QVERIFY(shown.startsWith(QStringLiteral("Impossible d'atteindre :\r/dossier/dossier")));
        QVERIFY(shown.endsWith(path.right(20)));
        QVERIFY(shown.contains(QChar(0x2026)));
        QVERIFY(shown.size() < 10000);
    }
};

QTEST_MAIN(TestWarningBox)
#include "tst_warningbox.moc"

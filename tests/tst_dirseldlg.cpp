// The folder dialog: its layout, keys, focus order and place.
#include "dialogs/DirSelDlg.h"
#include "widgets/FreeBtn.h"
#include "support/Modal.h"
#include "widgets/PathEdit.h"

#include <QPushButton>
#include <QStyle>

class TestDirSelDlg : public QObject {
    Q_OBJECT
private slots:
    void editLayout()
    {
        TDirSelDlg dlg(nullptr, QImage());
        TDirectoryEdit *e = dlg.DirEdit;
        QCOMPARE(e->ButtonRect(), QRect(249, 0, 20, 17));
        QCOMPARE(e->TextRect(), QRect(0, 0, 247, 18));
        QVERIFY(e->toolTip().isEmpty());
        QVERIFY(e->font().bold());
        QCOMPARE(e->style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, e), 2);
        QCOMPARE(e->Button()->Glyph.size(), QSize(14, 12));
        QCOMPARE(dlg.FreeBtn1->Hint(), QStringLiteral("Valider"));
        QCOMPARE(dlg.FreeBtn2->Hint(), QStringLiteral("Annuler"));
        QCOMPARE(dlg.size(), QSize(290, 74));
    }

    void dialogKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("onCancelButton");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter in the box accepts") << int(Qt::Key_Return) << false << mrOk;
        QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << false << mrCancel;
        QTest::newRow("Enter on the hidden Esc button cancels") << int(Qt::Key_Return) << true << mrCancel;
    }

    void dialogKeys()
    {
        QFETCH(int, key);
        QFETCH(bool, onCancelButton);
        QFETCH(int, result);
        QWidget owner;
        TDirSelDlg dlg(&owner, QImage());
        dlg.DirEdit->setText(QStringLiteral("/typed"));
        whenModal([&](QWidget *) {
            QWidget *target = dlg.DirEdit;
            if (onCancelButton) {
                dlg.Button2->setFocus();
                target = dlg.Button2;
            }
            QTest::keyClick(target, Qt::Key(key));
        });
        QCOMPARE(dlg.ShowModal(), result);
        QCOMPARE(dlg.DirEdit->text(), QStringLiteral("/typed"));
    }

    void tabOrder()
    {
        TDirSelDlg dlg(nullptr, QImage());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QCOMPARE(dlg.focusWidget(), static_cast<QWidget *>(dlg.DirEdit));
        QTest::keyClick(dlg.DirEdit, Qt::Key_Tab);
        QCOMPARE(dlg.focusWidget(), static_cast<QWidget *>(dlg.Button1));
        QTest::keyClick(dlg.Button1, Qt::Key_Tab);
        QCOMPARE(dlg.focusWidget(), static_cast<QWidget *>(dlg.Button2));
        QCOMPARE(dlg.FreeBtn1->focusPolicy(), Qt::NoFocus);
        dlg.hide();
    }

    void folderDialogPlacement()
    {
        QWidget owner;
        owner.setGeometry(300, 200, 250, 250);
        owner.show();
        TDirSelDlg dlg(&owner, QImage());
        dlg.move(10, 10);
        whenModal([&](QWidget *) {
            QCOMPARE(dlg.pos(), QPoint(300 + (250 - 290) / 2, 200 + (250 - 74) / 2));
            dlg.FreeBtn2->OnClick(nullptr);
        });
        QCOMPARE(dlg.ShowModal(), mrCancel);
        dlg.move(40, 50);
        whenModal([&](QWidget *) {
            QCOMPARE(dlg.pos(), QPoint(40, 50));
            dlg.FreeBtn1->OnClick(nullptr);
        });
        QCOMPARE(dlg.ShowModal(), mrOk);
    }
};

QTEST_MAIN(TestDirSelDlg)
#include "tst_dirseldlg.moc"

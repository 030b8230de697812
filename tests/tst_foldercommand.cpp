// The folder command of the main window, with the folder dialog it opens.
#include "DirSelDlg.h"
#include "FreeBtn.h"
#include "HintWindow.h"
#include "Modal.h"
#include "PathEdit.h"
#include "PieSeries.h"
#include "TestSupport.h"
#include "Unit1.h"

class TestFolderCommand : public QObject {
    Q_OBJECT
private slots:
    // The folder command on a current folder whose name is not UTF-8:
    // accepting the text the dialog opened with rescans that very folder.
    void folderCommandKeepsTheCurrentFolderBytes()
    {
        TempTree t;
        const std::string odd = t.Dir("caf\xE9");
        t.File("caf\xE9/sub/f", 2048);
        const std::string start = CurrentDir();
        TForm1 form;
        TDirSelDlg dlg(&form, form.PatternTile());
        form.DirSelDlg = &dlg;
        form.show();
        QVERIFY(ChangeDir(odd));
        whenModal([&](QWidget *) { QTest::keyClick(dlg.DirEdit, Qt::Key_Return); });
        form.Button3Click(nullptr);
        QCOMPARE(CurrentDir(), odd);
        QCOMPARE(form.Series1->PointCount(), 2);
        QCOMPARE(form.Series1->LabelAt(1), std::string("sub"));
        ChangeDir(start);
        // The temporary folder's own clean-up passes over names that are not UTF-8.
        QCOMPARE(Shell("rm -rf '" + odd + "'"), 0);
    }

    void folderCommand()
    {
        TempTree t;
        t.File("chosen/sub/f", 3072);
        const std::string start = CurrentDir();
        TForm1 form;
        TDirSelDlg dlg(&form, form.PatternTile());
        form.DirSelDlg = &dlg;
        form.show();
        ChangeDir(t.Root());
        // Cancel leaves everything as it was.
        form.FTip->ActivateHint(QRect(0, 0, 10, 10), QStringLiteral("x"));
        whenModal([&](QWidget *) {
            QVERIFY(!form.FTip->isVisible());
            QCOMPARE(dlg.DirEdit->Text(), t.Root());
            QCOMPARE(dlg.DirEdit->InitialDir, t.Root());
            dlg.FreeBtn2->OnClick(nullptr);
        });
        form.Button3Click(nullptr);
        QCOMPARE(form.Series1->PointCount(), 0);
        // A path typed without a trailing separator is scanned all the same.
        whenModal([&](QWidget *) {
            // From the second showing on, the dialog goes where the command puts it.
            const bool placed = dlg.pos().x() == form.frameGeometry().left();
            dlg.DirEdit->SetText(t.Path("chosen"));
            QVERIFY(placed);
            QTest::keyClick(dlg.DirEdit, Qt::Key_Return);
        });
        form.Button3Click(nullptr);
        QCOMPARE(CurrentDir(), t.Path("chosen"));
        QCOMPARE(form.Series1->PointCount(), 2);
        QCOMPARE(form.HelpBtn->Hint(), QString::fromStdString(t.Path("chosen") + "/"));
        ChangeDir(start);
    }
};

QTEST_MAIN(TestFolderCommand)
#include "tst_foldercommand.moc"

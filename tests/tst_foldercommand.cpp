// The folder command of the main window, with the folder dialog it opens.
#include "dialogs/DirSelDlg.h"
#include "support/FormProbe.h"
#include "support/Modal.h"
#include "widgets/PathEdit.h"
#include "support/TestSupport.h"

namespace {
// The main window with its folder dialog, on show; the process's folder is
// put back afterwards.
struct WindowWithDialog {
    std::string start = CurrentDir();
    TForm1 form;
    TForm1::TProbe probe{form};
    TDirSelDlg dlg{&form, form.PatternTile()};
    WindowWithDialog()
    {
        form.SetDialogs(&dlg, nullptr);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qWarning("the window was not exposed");
    }
    ~WindowWithDialog() { ChangeDir(start); }
};
} // namespace

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
        WindowWithDialog w;
        auto &[start, form, probe, dlg] = w;
        QVERIFY(ChangeDir(odd));
        whenModal([&](QWidget *) { QTest::keyClick(dlg.DirEdit, Qt::Key_Return); });
        form.Button3Click(nullptr);
        QCOMPARE(CurrentDir(), odd);
        QCOMPARE(probe.Pie().PointCount(), 2);
        QCOMPARE(probe.Pie().LabelAt(1), std::string("sub"));
        ChangeDir(start);
        // The temporary folder's own clean-up passes over names that are not UTF-8.
        QCOMPARE(Shell("rm -rf '" + odd + "'"), 0);
    }

    void folderCommand()
    {
        TempTree t;
        t.File("chosen/sub/f", 3072);
        WindowWithDialog w;
        auto &[start, form, probe, dlg] = w;
        form.scan(t.Root());
        // The slice read-out's tip goes when the dialog opens; Cancel leaves the rest as it was.
        probe.Chart().repaint();
        form.FormMouseMove(&probe.Chart(), 0, 102, 60);
        QVERIFY(!probe.TipText().isEmpty());
        whenModal([&](QWidget *) {
            QCOMPARE(probe.TipText(), QString());
            QCOMPARE(dlg.DirEdit->Text(), t.Root());
            QCOMPARE(dlg.DirEdit->InitialDir, t.Root());
            dlg.FreeBtn2->OnClick(nullptr);
        });
        form.Button3Click(nullptr);
        QCOMPARE(probe.Pie().PointCount(), 2);
        QCOMPARE(CurrentDir(), t.Root());
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
        QCOMPARE(probe.Pie().PointCount(), 2);
        QCOMPARE(probe.HelpBtn().Hint(), QString::fromStdString(t.Path("chosen") + "/"));
    }
};

QTEST_MAIN(TestFolderCommand)
#include "tst_foldercommand.moc"

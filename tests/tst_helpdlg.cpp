// The help dialog and the version block it reads.
#include "widgets/FreeBtn.h"
#include "dialogs/HelpDlg.h"
#include "widgets/Image.h"
#include "support/Modal.h"
#include "platform/VersionInfo.h"

#include <QLabel>
#include <QPlainTextEdit>

// This test program carries its own version block, 1.2.3.4.
QUINTAVO_VERSION_BLOCK(1, 2, 3, 4);

class TestHelpDlg : public QObject {
    Q_OBJECT
private slots:
    // Shown first for the program itself with its version block taken out of
    // the file: the error is shown and the dialog opens all the same.
    void helpDialog()
    {
        QTemporaryDir dir;
        const QString stripped = dir.filePath(QStringLiteral("quintavo"));
        QCOMPARE(QProcess::execute(QStringLiteral("objcopy"),
                                   {QStringLiteral("--remove-section=.qvinfo"), QStringLiteral(QUINTAVO_EXE), stripped}),
                 0);
        Boxes boxes;
        QWidget owner;
        owner.setGeometry(300, 200, 250, 250);
        owner.show();
        THelpDlg dlg(&owner, QImage());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Aide de Quintavo"));
        QCOMPARE(dlg.Image1->Bitmap().size(), QSize(483, 72));
        QCOMPARE(dlg.Image1->geometry(), QRect(8, 8, 137, 17));
        QCOMPARE(dlg.Memo1->toPlainText(),
                 QStringLiteral("Le bouton - réduit la fenêtre\nLe bouton x quitte Quintavo\nLe bouton ? a 2 actions :\n"
                                "- indique le dossier courant\n  lorsque la souris est dessus\n- lance l'aide quand il est \n"
                                "  cliqué\nLe bouton de gauche permet \nde remonter au dossier parent\nLe bouton de droite "
                                "permet \nde choisir le dossier à explorer\nUn clic sur un secteur permet \nd'explorer le "
                                "dossier concerné"));
        QCOMPARE(dlg.LbVer->text(), QStringLiteral(" Quintavo V 2.0 "));
        dlg.ExecutablePath = stripped.toStdString();
        whenModal([&](QWidget *w) {
            QCOMPARE(w, static_cast<QWidget *>(&dlg));
            QCOMPARE(dlg.focusWidget(), static_cast<QWidget *>(dlg.Memo1));
            QTest::keyClick(dlg.Memo1, Qt::Key_Escape);
            QVERIFY(dlg.isVisible());
            dlg.move(dlg.pos() + QPoint(15, 25));
            dlg.FreeBtn1->OnClick(nullptr);
        });
        dlg.ShowModal();
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("Can't get file version information for ") + stripped});
        QCOMPARE(dlg.LbVer->text(), QStringLiteral(" Quintavo V 2.0 "));
        const QPoint left = dlg.pos();
        dlg.ExecutablePath = QUINTAVO_EXE;
        whenModal([&](QWidget *) {
            QCOMPARE(dlg.pos(), left);
            dlg.FreeBtn1->OnClick(nullptr);
        });
        dlg.ShowModal();
        QCOMPARE(dlg.LbVer->text(), QStringLiteral("Quintavo V2.0.0"));
        // The build number is dropped.
        dlg.ExecutablePath = QCoreApplication::applicationFilePath().toStdString();
        dlg.FormShow();
        QCOMPARE(dlg.LbVer->text(), QStringLiteral("Quintavo V1.2.3"));
    }
};

QTEST_MAIN(TestHelpDlg)
#include "tst_helpdlg.moc"

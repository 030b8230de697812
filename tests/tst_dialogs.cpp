// The folder dialog with its edit box and browser, the help dialog, and the
// commands that open them.
#include "DirSelDlg.h"
#include "FileSystem.h"
#include "FolderBrowse.h"
#include "FreeBtn.h"
#include "HelpDlg.h"
#include "HintWindow.h"
#include "Image.h"
#include "Messages.h"
#include "PathEdit.h"
#include "PathText.h"
#include "PieSeries.h"
#include "Startup.h"
#include "TextCatalogue.h"
#include "TestSupport.h"
#include "Unit1.h"
#include "VersionInfo.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QtTest>
#include <cerrno>

// This test program carries its own version block, 1.2.3.4.
QUINTAVO_VERSION_BLOCK(1, 2, 3, 4);

namespace {
// Records each browse and answers as told.
struct FakeBrowser {
    QStringList starts;
    bool choose = true;
    std::string answer;
    int error = 0;
    // Whether it opens a modal window that takes the focus, as the real one does.
    bool takesTheFocus = false;
    FakeBrowser()
    {
        TBrowseFolderDlg::SetBrowseHook([this](TBrowseFolderDlg &dlg) {
            starts << QString::fromStdString(dlg.FolderName);
            if (takesTheFocus) {
                QDialog browser;
                QTimer::singleShot(0, &browser, [&browser] {
                    QTRY_VERIFY(browser.isActiveWindow());
                    browser.reject();
                });
                browser.exec();
            }
            dlg.SelectedName = answer;
            errno = error;
            return choose;
        });
    }
    ~FakeBrowser() { TBrowseFolderDlg::SetBrowseHook({}); }
};

struct Boxes {
    QStringList texts;
    Boxes() { platform::SetBoxHook([this](const QString &, const QString &t) { texts << t; }); }
    ~Boxes() { platform::SetBoxHook({}); }
};

// Runs f on the modal dialog once it is shown; a dialog a failed check left
// open is closed after a while, so that a failure never hangs the run.
void whenModal(std::function<void(QWidget *)> f)
{
    QTimer::singleShot(0, [f] {
        QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
        QWidget *modal = QApplication::activeModalWidget();
        QTimer::singleShot(10000, modal, [modal] { modal->close(); });
        f(modal);
    });
}

const char *const kHelpLines[] = {"Le bouton - réduit la fenêtre", "Le bouton x quitte Quintavo",
    "Le bouton ? a 2 actions :", "- indique le dossier courant", "  lorsque la souris est dessus",
    "- lance l'aide quand il est ", "  cliqué", "Le bouton de gauche permet ", "de remonter au dossier parent",
    "Le bouton de droite permet ", "de choisir le dossier à explorer", "Un clic sur un secteur permet ",
    "d'explorer le dossier concerné"};
} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
    // A scratch home for the whole run, set up as the program sets itself up:
    // Qt's file dialog must neither read nor write the settings kept there.
    QTemporaryDir FHome;
    QByteArray FSeededSettings;

    QString Home(const QString &relative) const { return FHome.path() + QLatin1Char('/') + relative; }

private slots:
    void initTestCase()
    {
        QVERIFY(FHome.isValid());
        QDir().mkpath(Home(QStringLiteral(".config")));
        FSeededSettings = "[FileDialog]\nhistory=file:///seeded-history\nlastVisited=file:///usr\n";
        QFile seeded(Home(QStringLiteral(".config/QtProject.conf")));
        QVERIFY(seeded.open(QIODevice::WriteOnly));
        seeded.write(FSeededSettings);
        seeded.close();
        qputenv("HOME", FHome.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        KeepQtSettingsOffDisk();
        QVERIFY(LoadQtTranslations(*QCoreApplication::instance()));
    }

    // The edit box hands back the very bytes of a path, whatever they are,
    // also after the user has typed into it.
    void pathBytesSurviveTheBox_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QByteArray("/usr/share") << QStringLiteral("/usr/share");
        QTest::newRow("UTF-8") << QByteArray("/tmp/caf\xC3\xA9") << QStringLiteral("/tmp/café");
        QTest::newRow("four-byte UTF-8") << QByteArray("/\xF0\x9F\x98\x80") << QString::fromUtf8("/\xF0\x9F\x98\x80");
        QTest::newRow("Latin-1 byte") << QByteArray("/tmp/caf\xE9") << QString();
        QTest::newRow("overlong slash") << QByteArray("/a\xC0\xAF") << QString();
        QTest::newRow("encoded surrogate") << QByteArray("/\xED\xA0\x80") << QString();
        QTest::newRow("cut sequence at the end") << QByteArray("/x\xE2\x82") << QString();
        QTest::newRow("beyond U+10FFFF") << QByteArray("/\xF4\x90\x80\x80") << QString();
        QTest::newRow("stray continuation") << QByteArray("/\x80\xBF/b") << QString();
    }

    void pathBytesSurviveTheBox()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const std::string path = bytes.toStdString();
        QCOMPARE(TextToPath(PathToText(path)), path);
        TDirectoryEdit edit;
        edit.SetText(path);
        if (!shown.isNull())
            QCOMPARE(edit.text(), shown);
        QCOMPARE(edit.Text(), path);
        edit.show();
        edit.end(false);
        QTest::keyClicks(&edit, QStringLiteral("/s"));
        edit.insert(QStringLiteral("é"));
        QCOMPARE(edit.Text(), path + "/s\xC3\xA9");
        edit.SetInitialDirText(edit.text());
        QCOMPARE(edit.InitialDir, path + "/s\xC3\xA9");
    }

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

    // The real browser, once, without its hook: it opens on the start folder,
    // speaks French (also where Qt's own catalogue has no word: the "Type" of a
    // folder and of the root), reads no kept history, Escape closes only it and
    // the focus comes back to the box; nothing is left on disk.
    void realBrowser()
    {
        TempTree t;
        const std::string startDir = t.Dir("start/inner");
        const std::string subDir = t.Dir("start/inner/sub");
        QWidget owner;
        owner.show();
        TDirSelDlg dlg(&owner, QImage());
        dlg.DirEdit->SetText(startDir);
        QString opened, title, selected;
        QStringList history, headers, types;
        bool dlgStillModal = false, allSelectedOnShow = false;
        QWidget *focus = nullptr;
        std::string text;
        whenModal([&](QWidget *) {
            dlg.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dlg));
            allSelectedOnShow = dlg.DirEdit->selectedText() == QString::fromStdString(startDir);
            QTimer::singleShot(0, [&] {
                QTRY_VERIFY(qobject_cast<QFileDialog *>(QApplication::activeModalWidget()) != nullptr);
                auto *browser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                opened = browser->directory().absolutePath();
                title = browser->windowTitle();
                history = browser->history();
                if (auto *model = browser->findChild<QFileSystemModel *>()) {
                    for (int column = 0; column < model->columnCount(); ++column)
                        headers << model->headerData(column, Qt::Horizontal).toString();
                    for (const QString &path : {QString::fromStdString(subDir), QStringLiteral("/")}) {
                        const QModelIndex type = model->index(path, 2);
                        QTRY_VERIFY(!type.data().toString().isEmpty());
                        types << type.data().toString();
                    }
                }
                QTest::keyClick(browser, Qt::Key_Escape);
            });
            dlg.DirEdit->setSelection(1, 3);
            QTest::keyClick(dlg.DirEdit, Qt::Key_Down, Qt::AltModifier);
            dlgStillModal = dlg.isVisible() && QApplication::activeModalWidget() == &dlg;
            QTRY_VERIFY(QApplication::focusWidget() != nullptr);
            focus = QApplication::focusWidget();
            selected = dlg.DirEdit->selectedText();
            text = dlg.DirEdit->Text();
            dlg.FreeBtn2->OnClick(nullptr);
        });
        QCOMPARE(dlg.ShowModal(), mrCancel);
        QCOMPARE(opened, QString::fromStdString(startDir));
        QCOMPARE(title, QCoreApplication::translate("QFileDialog", "Find Directory"));
        QVERIFY(title != QStringLiteral("Find Directory"));
        QCOMPARE(headers, (QStringList{QStringLiteral("Nom"), QStringLiteral("Taille"), QStringLiteral("Type"),
                                       QStringLiteral("Dernière modification")}));
        QCOMPARE(types, (QStringList{QStringLiteral("Dossier"), QStringLiteral("Disque")}));
        QVERIFY(!history.contains(QStringLiteral("/seeded-history")));
        QVERIFY(dlgStillModal);
        QCOMPARE(focus, static_cast<QWidget *>(dlg.DirEdit));
        // The box opening with its dialog selects all; getting the focus back
        // from the browser keeps what was selected.
        QVERIFY(allSelectedOnShow);
        QCOMPARE(selected, QString::fromStdString(startDir.substr(1, 3)));
        QCOMPARE(text, startDir);
        QCoreApplication::processEvents();
        QCOMPARE(QDir(Home(QStringLiteral(".config"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{QStringLiteral("QtProject.conf")});
        QFile kept(Home(QStringLiteral(".config/QtProject.conf")));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), FSeededSettings);
    }

    // The program's own catalogue, read from its source form: the exact
    // disambiguation first, then none; unfinished entries are not used;
    // plural forms by the French rule.
    void ownCatalogue_data()
    {
        QTest::addColumn<QByteArray>("context");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("disambiguation");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("C") << QByteArray("Drive") << QByteArray() << -1 << QStringLiteral("Disque");
        QTest::newRow("its disambiguation") << QByteArray("C") << QByteArray("Folder") << QByteArray("Linux") << -1 << QStringLiteral("Dossier");
        QTest::newRow("other disambiguation, none kept") << QByteArray("C") << QByteArray("Drive") << QByteArray("x") << -1 << QStringLiteral("Disque");
        QTest::newRow("other disambiguation only") << QByteArray("C") << QByteArray("Folder") << QByteArray("x") << -1 << QString();
        QTest::newRow("other context") << QByteArray("D") << QByteArray("Drive") << QByteArray() << -1 << QString();
        QTest::newRow("unfinished") << QByteArray("C") << QByteArray("Open") << QByteArray() << -1 << QString();
        QTest::newRow("plural, 0") << QByteArray("C") << QByteArray("%n items") << QByteArray() << 0 << QStringLiteral("%n élément");
        QTest::newRow("plural, 1") << QByteArray("C") << QByteArray("%n items") << QByteArray() << 1 << QStringLiteral("%n élément");
        QTest::newRow("plural, 2") << QByteArray("C") << QByteArray("%n items") << QByteArray() << 2 << QStringLiteral("%n éléments");
    }

    void ownCatalogue()
    {
        QFETCH(QByteArray, context);
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, disambiguation);
        QFETCH(int, n);
        QFETCH(QString, expected);
        QTemporaryFile ts;
        QVERIFY(ts.open());
        ts.write("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n<TS version=\"2.1\" language=\"fr_FR\">"
                 "<context><name>C</name>"
                 "<message><source>Drive</source><translation>Disque</translation></message>"
                 "<message><source>Folder</source><comment>Linux</comment><translation>Dossier</translation></message>"
                 "<message><source>Open</source><translation type=\"unfinished\">Ouvrir</translation></message>"
                 "<message numerus=\"yes\"><source>%n items</source><translation>"
                 "<numerusform>%n \xc3\xa9l\xc3\xa9ment</numerusform><numerusform>%n \xc3\xa9l\xc3\xa9ments</numerusform>"
                 "</translation></message></context></TS>\n");
        ts.close();
        TTextCatalogue catalogue;
        QVERIFY(catalogue.LoadTs(ts.fileName()));
        QCOMPARE(catalogue.translate(context.constData(), source.constData(),
                                     disambiguation.isNull() ? nullptr : disambiguation.constData(), n),
                 expected);
    }

    void browseStart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("initialDir");
        QTest::addColumn<QString>("start");
        QTest::newRow("empty text and empty initial folder") << QString() << QString() << QStringLiteral("/");
        QTest::newRow("empty text takes the initial folder") << QString() << QStringLiteral("/tmp") << QStringLiteral("/tmp");
        QTest::newRow("the text itself") << QStringLiteral("/usr") << QStringLiteral("/tmp") << QStringLiteral("/usr");
        QTest::newRow("a missing folder starts at the root") << QStringLiteral("/no/such") << QString() << QStringLiteral("/");
    }

    void browseStart()
    {
        QFETCH(QString, text);
        QFETCH(QString, initialDir);
        QFETCH(QString, start);
        FakeBrowser browser;
        browser.choose = false;
        TDirectoryEdit edit;
        edit.setText(text);
        edit.SetInitialDirText(initialDir);
        edit.DoBrowse();
        QCOMPARE(browser.starts, QStringList{start});
        QCOMPARE(edit.text(), text);
    }

    void chosenFolder_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("text");
        QTest::newRow("the root keeps its separator") << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("others drop a trailing one") << QStringLiteral("/usr/") << QStringLiteral("/usr");
        QTest::newRow("as given") << QStringLiteral("/tmp") << QStringLiteral("/tmp");
    }

    void chosenFolder()
    {
        QFETCH(QString, answer);
        QFETCH(QString, text);
        FakeBrowser browser;
        browser.answer = answer.toStdString();
        TDirectoryEdit edit;
        edit.setText(QStringLiteral("/usr/share"));
        edit.DoBrowse();
        QCOMPARE(edit.text(), text);
        QCOMPARE(edit.InitialDirText(), text);
        // The next browse from an empty box starts where the last one ended.
        edit.clear();
        edit.DoBrowse();
        QCOMPARE(browser.starts.last(), text);
    }

    // The box gets the focus back with its window once the browser has gone:
    // that is no focus from another control, and the selection stays.
    void cancelChangesNothing()
    {
        FakeBrowser browser;
        browser.choose = false;
        browser.takesTheFocus = true;
        QWidget window;
        auto *edit = new TDirectoryEdit(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        edit->setText(QStringLiteral("/no/such"));
        edit->SetInitialDirText(QStringLiteral("/tmp"));
        edit->setSelection(1, 1);
        QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(browser.starts.size(), 1);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(edit->text(), QStringLiteral("/no/such"));
        QCOMPARE(edit->selectedText(), QStringLiteral("n"));
        QCOMPARE(edit->InitialDirText(), QStringLiteral("/tmp"));
        QTest::keyClicks(edit, QStringLiteral("X"));
        QCOMPARE(edit->text(), QStringLiteral("/Xo/such"));
    }

    // Side buttons do nothing on the box or its button: no caret move, no
    // selection change, no focus, no browse.
    void otherMouseButtonsDoNothing_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("onBrowseButton");
        QTest::newRow("back on the text") << int(Qt::BackButton) << false;
        QTest::newRow("forward on the text") << int(Qt::ForwardButton) << false;
        QTest::newRow("back on the browse button") << int(Qt::BackButton) << true;
    }

    void otherMouseButtonsDoNothing()
    {
        QFETCH(int, button);
        QFETCH(bool, onBrowseButton);
        FakeBrowser browser;
        browser.choose = false;
        QWidget window;
        window.resize(300, 60);
        auto *edit = new TDirectoryEdit(&window);
        edit->setGeometry(8, 8, 273, 21);
        auto *other = new QLineEdit(&window);
        other->setGeometry(8, 32, 100, 21);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setText(QStringLiteral("/usr/share"));
        edit->setSelection(1, 3);
        const QPoint at = onBrowseButton ? edit->Button()->mapTo(&window, QPoint(5, 5)) : edit->mapTo(&window, QPoint(120, 10));
        // With the focus in the box, then in another control.
        for (QWidget *focus : {static_cast<QWidget *>(edit), static_cast<QWidget *>(other)}) {
            focus->setFocus();
            const QString selected = edit->selectedText();
            QTest::mouseClick(window.windowHandle(), Qt::MouseButton(button), {}, at);
            QTest::mouseDClick(window.windowHandle(), Qt::MouseButton(button), {}, at);
            QCOMPARE(QApplication::focusWidget(), focus);
            QCOMPARE(edit->selectedText(), selected);
            QCOMPARE(edit->cursorPosition(), 4);
            if (focus == edit)
                QCOMPARE(selected, QStringLiteral("usr"));
        }
        QVERIFY(browser.starts.isEmpty());
        // The left button still reaches the box.
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, edit->mapTo(&window, QPoint(120, 10)));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(edit));
        QVERIFY(edit->selectedText().isEmpty());
    }

    void itemWithoutAPathReportsTheSystemError()
    {
        FakeBrowser browser;
        browser.answer.clear();
        browser.error = ENOENT;
        Boxes boxes;
        TDirectoryEdit edit;
        edit.setText(QStringLiteral("/usr"));
        edit.Button()->click();
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY(boxes.texts.first().startsWith(QStringLiteral("Erreur Win32.  Code : 2.\n")));
        QCOMPARE(edit.text(), QStringLiteral("/usr"));
        browser.error = 0;
        edit.Button()->click();
        QCOMPARE(boxes.texts.last(), QStringLiteral("Une fonction de l'API Win32 a échoué"));
    }

    void altDownBrowses()
    {
        FakeBrowser browser;
        browser.choose = false;
        TDirectoryEdit edit;
        edit.show();
        QTest::keyClick(&edit, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(browser.starts.size(), 1);
        edit.SetButtonWidth(0);
        QTest::keyClick(&edit, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(browser.starts.size(), 1);
        QVERIFY(!edit.Button()->parentWidget()->isVisible());
    }

    void editLayout()
    {
        TDirSelDlg dlg(nullptr, QImage());
        TDirectoryEdit *e = dlg.DirEdit;
        QCOMPARE(e->geometry(), QRect(8, 8, 273, 21));
        QCOMPARE(e->ButtonRect(), QRect(249, 0, 20, 17));
        QCOMPARE(e->TextRect(), QRect(0, 0, 247, 18));
        QCOMPARE(e->ButtonHint(), QStringLiteral("Parcourir..."));
        QCOMPARE(e->Hint(), QStringLiteral("Dossier à explorer"));
        QVERIFY(e->toolTip().isEmpty());
        QVERIFY(e->font().bold());
        QCOMPARE(e->style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, e), 2);
        QCOMPARE(e->Button()->Glyph.size(), QSize(14, 12));
        QCOMPARE(dlg.FreeBtn1->Hint(), QStringLiteral("Valider"));
        QCOMPARE(dlg.FreeBtn2->Hint(), QStringLiteral("Annuler"));
        QCOMPARE(dlg.Button1->geometry(), QRect(24, -40, 33, 25));
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

    void versionLabel()
    {
        QCOMPARE(THelpDlg::VersionCaption(QUINTAVO_EXE), QStringLiteral("Quintavo V2.0.0"));
        // The build number is dropped.
        QCOMPARE(THelpDlg::VersionCaption(QCoreApplication::applicationFilePath().toStdString()),
                 QStringLiteral("Quintavo V1.2.3"));
    }

    // The program itself with its version block taken out of the file.
    void versionErrorWithoutTheBlock()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("objcopy")).isEmpty())
            QSKIP("objcopy is not installed");
        QTemporaryDir dir;
        const QString stripped = dir.filePath(QStringLiteral("quintavo"));
        QCOMPARE(QProcess::execute(QStringLiteral("objcopy"),
                                   {QStringLiteral("--remove-section=.qvinfo"), QStringLiteral(QUINTAVO_EXE), stripped}),
                 0);
        const std::string path = stripped.toStdString();
        QCOMPARE(platform::GetFileVersionInfoSize(path), 0u);
        Boxes boxes;
        QWidget owner;
        owner.show();
        THelpDlg dlg(&owner, QImage());
        dlg.ExecutablePath = path;
        bool opened = false;
        whenModal([&](QWidget *w) {
            opened = w == &dlg;
            dlg.FreeBtn1->OnClick(nullptr);
        });
        dlg.ShowModal();
        QVERIFY(opened);
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("Can't get file version information for ") + stripped});
        QCOMPARE(dlg.LbVer->text(), QStringLiteral(" Quintavo V 2.0 "));
    }

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
        qint64 builtIn = -1;
        QElapsedTimer timer;
        whenModal([&](QWidget *w) {
            builtIn = timer.elapsed();
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            caption = box->windowTitle();
            frame = box->frameGeometry();
            screen = box->screen()->availableGeometry();
            shown = box->text();
            described = box->accessibleDescription();
            box->button(QMessageBox::Ok)->click();
        });
        timer.start();
        platform::WarningBox(&owner, text);
        qInfo("box with a %d-byte path built and shown in %lld ms", pathBytes, builtIn);
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

    void helpDialog()
    {
        Boxes boxes;
        QWidget owner;
        owner.setGeometry(300, 200, 250, 250);
        owner.show();
        THelpDlg dlg(&owner, QImage());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Aide de Quintavo"));
        QCOMPARE(dlg.Image1->Bitmap().size(), QSize(483, 72));
        QCOMPARE(dlg.Image1->geometry(), QRect(8, 8, 137, 17));
        const QStringList lines = dlg.Memo1->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 13);
        for (int i = 0; i < 13; ++i)
            QCOMPARE(lines[i], QString::fromUtf8(kHelpLines[i]));
        QCOMPARE(dlg.LbVer->text(), QStringLiteral(" Quintavo V 2.0 "));
        // Without a version block the error is shown and the dialog opens all the same.
        dlg.ExecutablePath = "/bin/sh";
        whenModal([&](QWidget *w) {
            QCOMPARE(w, static_cast<QWidget *>(&dlg));
            QCOMPARE(dlg.focusWidget(), static_cast<QWidget *>(dlg.Memo1));
            QTest::keyClick(dlg.Memo1, Qt::Key_Escape);
            QVERIFY(dlg.isVisible());
            dlg.move(dlg.pos() + QPoint(15, 25));
            dlg.FreeBtn1->OnClick(nullptr);
        });
        dlg.ShowModal();
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("Can't get file version information for /bin/sh")});
        QCOMPARE(dlg.LbVer->text(), QStringLiteral(" Quintavo V 2.0 "));
        const QPoint left = dlg.pos();
        dlg.ExecutablePath = QUINTAVO_EXE;
        whenModal([&](QWidget *) {
            QCOMPARE(dlg.pos(), left);
            dlg.FreeBtn1->OnClick(nullptr);
        });
        dlg.ShowModal();
        QCOMPARE(dlg.LbVer->text(), QStringLiteral("Quintavo V2.0.0"));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"

// The folder edit box and the folder browser it opens.
#include "dialogs/DirSelDlg.h"
#include "widgets/FolderBrowse.h"
#include "widgets/FreeBtn.h"
#include "support/Modal.h"
#include "widgets/PathEdit.h"
#include "app/Startup.h"
#include "support/TestSupport.h"

#include <QAbstractProxyModel>
#include <QFileDialog>
#include <QFileSystemModel>

namespace {
// Records each browse and answers as told; with takesTheFocus it first opens
// a modal window that takes the focus, as the real one does.
struct FakeBrowser {
    QStringList starts;
    bool choose = true, takesTheFocus = false;
    std::string answer;
    int error = 0;
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
} // namespace

class TestPathEdit : public QObject {
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
        QVERIFY(seeded.open(QIODevice::WriteOnly) && seeded.write(FSeededSettings) == FSeededSettings.size());
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

    // The real browser, once, without its hook: it opens on the start folder,
    // speaks French (also where Qt's own catalogue has no word: the "Type" of a
    // folder and of the root; and in its dates, which follow the system's locale,
    // here C), reads no kept history, Escape closes only it and the focus comes
    // back to the box; nothing is left on disk.
    void realBrowser()
    {
        TempTree t;
        const std::string startDir = t.Dir("start/inner");
        const std::string subDir = t.Dir("start/inner/sub");
        QCOMPARE(Shell("touch -d '2021-03-05 14:07' '" + subDir + "'"), 0);
        QWidget owner;
        owner.show();
        TDirSelDlg dlg(&owner, QImage());
        dlg.DirEdit->SetText(startDir);
        QString opened, title, selected, modified;
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
                    const QModelIndex date = model->index(QString::fromStdString(subDir), 3);
                    const QAbstractProxyModel *shown = browser->proxyModel();
                    QTRY_VERIFY(!(shown ? shown->mapFromSource(date) : date).data().toString().isEmpty());
                    modified = (shown ? shown->mapFromSource(date) : date).data().toString();
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
        QCOMPARE(modified, QStringLiteral("05/03/2021 14:07"));
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
};

QTEST_MAIN(TestPathEdit)
#include "tst_pathedit.moc"

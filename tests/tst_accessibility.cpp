// What assistive tools see through Qt's accessibility interface: the buttons'
// names and press action, the dialogs' controls, the pie's name and the
// description of its slices after each scan.
#include "app/Accessibility.h"
#include "support/AccessibilityBus.h"
#include "chart/Chart.h"
#include "dialogs/DirSelDlg.h"
#include "widgets/FreeBtn.h"
#include "dialogs/HelpDlg.h"
#include "platform/HintWindow.h"
#include "support/Modal.h"
#include "widgets/PathEdit.h"
#include "support/ScanWindow.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QPlainTextEdit>
#include <QtTest>

namespace {
// Runs the calling test function again where a screen reader listens; true
// in that run, false in the first, which has then checked the second's result.
#define UNDER_A_SCREEN_READER(TestClass)                                                                          \
    if (!qEnvironmentVariableIsSet("QUINTAVO_SCREEN_READER")) {                                                    \
        QString skip;                                                                                              \
        const QByteArray failure = RunWithScreenReader(#TestClass, QTest::currentTestFunction(), &skip);          \
        if (!skip.isEmpty())                                                                                       \
            QSKIP(qPrintable(skip));                                                                               \
        QVERIFY2(failure.isEmpty(), failure.constData());                                                          \
        return;                                                                                                    \
    }                                                                                                              \
    QTRY_VERIFY(QAccessible::isActive())

QAccessibleInterface *Iface(QObject *o)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(o);
    if (i == nullptr)
        qFatal("no accessible interface");
    return i;
}
QString Name(QObject *o) { return Iface(o)->text(QAccessible::Name); }

// Every item of the application's shown windows that says it has the focus,
// without the parts of such an item (a text box's viewport).
QList<QAccessibleInterface *> Focused(QAccessibleInterface *i = nullptr)
{
    QList<QAccessibleInterface *> focused;
    if (i == nullptr) {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible())
                focused += Focused(Iface(w));
        return focused;
    }
    if (i->state().focused)
        return {i};
    for (int k = 0; k < i->childCount(); ++k)
        if (QAccessibleInterface *child = i->child(k))
            focused += Focused(child);
    return focused;
}
QString Description(QObject *o) { return Iface(o)->text(QAccessible::Description); }
} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void pieDescription_data()
    {
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QList<double>>("kilobytes");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no slice") << QStringList{} << QList<double>{} << 10 << QString();
        QTest::newRow("empty folder") << QStringList{"fichiers"} << QList<double>{0} << 10 << "fichiers=0 Ko .";
        QTest::newRow("largest first, each unit")
            << QStringList{"Espace libre", "fichiers", "photos", "src"}
            << QList<double>{3.0 * 1024 * 1024, 999, 1536, 1000} << 10
            << "Espace libre=3,00 Go .\nphotos=1,50 Mo .\nsrc=0,98 Mo .\nfichiers=999 Ko .";
        QTest::newRow("equal sizes in listing order")
            << QStringList{"a", "b", "c"} << QList<double>{1, 2, 1} << 10 << "b=2 Ko .\na=1 Ko .\nc=1 Ko .";
        QTest::newRow("labels kept whole") << QStringList{"a=b c", ""} << QList<double>{1, 2} << 10
                                           << "=2 Ko .\na=b c=1 Ko .";
        QTest::newRow("the largest, then how many more")
            << QStringList{"a", "b", "c", "d", "e"} << QList<double>{1, 5, 2, 5, 3} << 2
            << "b=5 Ko .\nd=5 Ko .\net 3 autres secteurs";
        QTest::newRow("one more") << QStringList{"a", "b"} << QList<double>{1, 2} << 1 << "b=2 Ko .\net 1 autre secteur";
    }
    void pieDescription()
    {
        QFETCH(QStringList, labels);
        QFETCH(QList<double>, kilobytes);
        QFETCH(int, limit);
        QFETCH(QString, expected);
        QStringList asked;
        const QString description = PieDescription(kilobytes, [&](int i) {
            asked << labels[i];
            return labels[i];
        }, limit);
        QCOMPARE(description, expected);
        // Only the labels read out are asked for.
        QCOMPARE(asked.size(), std::min<qsizetype>(limit, labels.size()));
    }

    void mainWindowButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("keys");
        QTest::newRow("parent") << "BackBtn" << "Dossier parent" << "Retour arrière, Alt+Haut";
        QTest::newRow("folder") << "ScanBtn" << "Choix du dossier..." << "Ctrl+O";
        QTest::newRow("minimise") << "MinBtn" << "Réduire" << "";
        QTest::newRow("quit") << "CloseBtn" << "Quitter" << "Ctrl+Q";
        QTest::newRow("help") << "HelpBtn" << "Aide et dossier courant..." << "F1";
    }
    void mainWindowButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        QFETCH(QString, keys);
        TForm1 form;
        auto *b = form.findChild<TFreeBtn *>(button);
        QVERIFY(b);
        QAccessibleInterface *i = Iface(b);
        QCOMPARE(i->role(), QAccessible::Button);
        QCOMPARE(i->text(QAccessible::Name), name);
        // Its keys, which the window's description lists with the slices' keys.
        QCOMPARE(i->text(QAccessible::Accelerator), keys);
        for (const QString &key : keys.split(QStringLiteral(", "), Qt::SkipEmptyParts))
            QVERIFY2(Description(&form).contains(key), qPrintable(key));
        for (const char *key : {"Gauche", "Droite", "Début", "Fin", "Page suivante", "Page précédente", "Entrée",
                                "Échap", "Alt+Bas", "Échap ne la ferme pas"})
            QVERIFY2(Description(&form).contains(QString::fromUtf8(key)), key);
        QVERIFY(i->actionInterface());
        QVERIFY(i->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        // The window lists the button among its children.
        QVERIFY(Iface(&form)->indexOfChild(i) >= 0);
    }

    void pressActionClicksOnlyAnEnabledButton()
    {
        InstallAccessibleControls();
        TFreeBtn b;
        int clicks = 0;
        b.OnClick = [&](QObject *sender) {
            QCOMPARE(sender, &b);
            ++clicks;
        };
        QAccessibleActionInterface *a = Iface(&b)->actionInterface();
        QVERIFY(a);
        a->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(clicks, 1);
        b.setEnabled(false);
        QVERIFY(Iface(&b)->state().disabled);
        a->doAction(QAccessibleActionInterface::pressAction());
        QTest::qWait(20);
        QCOMPARE(clicks, 1);
    }

    void chartIsNamedAndDescribedAfterEachScan()
    {
        TempTree t;
        t.File("f", 10 * 1024);
        t.File("photos/p", 1536 * 1024);
        t.Dir("vide");
        ScanWindow w;
        QAccessibleInterface *chart = Iface(&w.probe.Chart());
        QCOMPARE(chart->role(), QAccessible::Chart);
        QCOMPARE(chart->text(QAccessible::Name), QStringLiteral("Occupation du dossier"));
        QCOMPARE(chart->text(QAccessible::Description), QString());

        w.form.scan(t.Path("photos"));
        QCOMPARE(chart->text(QAccessible::Description), QStringLiteral("fichiers=1,50 Mo ."));
        w.form.scan(t.Path("vide"));
        QCOMPARE(chart->text(QAccessible::Description), QStringLiteral("fichiers=0 Ko ."));
        // A folder that cannot be entered changes neither the pie nor its description.
        w.form.scan(t.Path("absent"));
        QCOMPARE(chart->text(QAccessible::Description), QStringLiteral("fichiers=0 Ko ."));

        w.form.scan(t.Root());
        QCOMPARE(chart->text(QAccessible::Description),
                 QStringLiteral("photos=1,50 Mo .\nfichiers=10 Ko .\nvide=0 Ko ."));
        // The hover read-out over the big slice says one of those lines, word for word.
        w.probe.Chart().repaint();
        QCoreApplication::processEvents();
        w.form.FormMouseMove(&w.probe.Chart(), 0, 102, 150);
        QVERIFY(w.probe.Tip()->isVisible());
        QCOMPARE(w.probe.Tip()->text(), QStringLiteral("photos=1,50 Mo ."));
    }

    // A pie of many slices is described by its ten largest, and every slice
    // is an item of its own, in the read-out's words.
    void manySlicesAreEachAnItem()
    {
        ScanWindow w;
        for (int i = 0; i < 25; ++i)
            w.Pie().AddPoint(i, "s" + std::to_string(i), clBlue);
        QAccessibleInterface *chart = Iface(&w.probe.Chart());
        const QStringList lines = chart->text(QAccessible::Description).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), kDescribedSlices + 1);
        QCOMPARE(lines.first(), QStringLiteral("s24=24 Ko ."));
        QCOMPARE(lines.last(), QStringLiteral("et 15 autres secteurs"));
        QCOMPARE(chart->childCount(), 25);
        QAccessibleInterface *last = chart->child(24);
        QVERIFY(last);
        QCOMPARE(last->text(QAccessible::Name), QStringLiteral("s24=24 Ko ."));
        QCOMPARE(chart->indexOfChild(last), 24);
        QCOMPARE(chart->child(3)->text(QAccessible::Name), QStringLiteral("s3=3 Ko ."));
        QCOMPARE(chart->child(25), nullptr);
    }

    // The slice the keys choose takes the accessible focus, in the tip's words,
    // and a screen reader is told of each as it comes.
    void chosenSliceTakesTheAccessibleFocus()
    {
        UNDER_A_SCREEN_READER(TestAccessibility);
        TempTree t;
        t.File("f", 10 * 1024);
        t.Dir("photos");
        ScanWindow w;
        w.form.scan(t.Root());
        w.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        AccessibilityBus bus;
        QTest::keyClick(w.form.windowHandle(), Qt::Key_Right);
        QTest::keyClick(w.form.windowHandle(), Qt::Key_Right);
        QAccessibleInterface *chart = Iface(&w.probe.Chart());
        QCOMPARE(chart->childCount(), 2);
        QAccessibleInterface *slice = chart->focusChild();
        QVERIFY(slice);
        QCOMPARE(slice->role(), QAccessible::ListItem);
        QCOMPARE(slice->text(QAccessible::Name), QStringLiteral("photos=0 Ko ."));
        QCOMPARE(slice->parent(), chart);
        QCOMPARE(chart->indexOfChild(slice), 1);
        QVERIFY(slice->state().focused);
        QVERIFY(!chart->child(0)->state().focused);
        QCOMPARE(bus.FocusedIn(&w.probe.Chart()), (QList<QAccessibleInterface *>{chart->child(0), slice}));
        // A new pie: nothing chosen in it.
        w.form.scan(t.Path("photos"));
        QCOMPARE(chart->focusChild(), nullptr);
        QCOMPARE(chart->childCount(), 1);
        QVERIFY(!slice->isValid());
    }

    // While the help is open the keyboard is its own: only its text has the
    // focus. Back in the window, the chosen slice has it again, and says so.
    void chosenSliceHasTheFocusOnlyWhileItsWindowIsActive()
    {
        UNDER_A_SCREEN_READER(TestAccessibility);
        TempTree t;
        t.Dir("photos");
        ScanWindow w;
        THelpDlg help(&w.form, w.form.PatternTile());
        w.form.SetDialogs(nullptr, &help);
        w.form.scan(t.Root());
        w.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        QTest::keyClick(w.form.windowHandle(), Qt::Key_Right);
        QAccessibleInterface *chart = Iface(&w.probe.Chart());
        QAccessibleInterface *slice = chart->child(0);
        QCOMPARE(Focused(), QList<QAccessibleInterface *>{slice});
        AccessibilityBus bus;
        bool seen = false;
        whenModal([&](QWidget *dialog) {
            QTRY_VERIFY(dialog->isActiveWindow());
            QCOMPARE(Focused(), QList<QAccessibleInterface *>{Iface(help.Memo1)});
            QCOMPARE(chart->focusChild(), nullptr);
            QVERIFY(slice->state().selected);
            QVERIFY(bus.FocusedIn(&w.probe.Chart()).isEmpty());
            seen = true;
            dialog->close();
        });
        QTest::keyClick(w.form.windowHandle(), Qt::Key_F1);
        QVERIFY(seen);
        w.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        QCOMPARE(bus.FocusedIn(&w.probe.Chart()), QList<QAccessibleInterface *>{slice});
        QCOMPARE(bus.Last(), slice);
        QCOMPARE(Focused(), QList<QAccessibleInterface *>{slice});
    }

    void helpButtonKeepsItsNameAndDescribesTheFolder()
    {
        TempTree t;
        ScanWindow w;
        QCOMPARE(Description(&w.probe.HelpBtn()), QString());
        w.form.scan(t.Root());
        QCOMPARE(Name(&w.probe.HelpBtn()), QStringLiteral("Aide et dossier courant..."));
        QCOMPARE(Description(&w.probe.HelpBtn()), QString::fromStdString(t.Root()));
        // The other buttons' tips are their names and say nothing more.
        QCOMPARE(Description(&w.probe.BackBtn()), QString());
    }

    void dialogControlsCarryTheirHints()
    {
        TForm1 form;
        TDirSelDlg dirSelDlg(&form, form.PatternTile());
        THelpDlg helpDlg(&form, form.PatternTile());
        NameForScreenReaders(&dirSelDlg);
        NameForScreenReaders(&helpDlg);
        QCOMPARE(Iface(dirSelDlg.FreeBtn1)->role(), QAccessible::Button);
        QCOMPARE(Name(dirSelDlg.FreeBtn1), QStringLiteral("Valider"));
        QCOMPARE(Name(dirSelDlg.FreeBtn2), QStringLiteral("Annuler"));
        QCOMPARE(Name(dirSelDlg.DirEdit), QStringLiteral("Dossier à explorer"));
        QCOMPARE(Iface(dirSelDlg.DirEdit)->role(), QAccessible::EditableText);
        QCOMPARE(Name(dirSelDlg.DirEdit->Button()), QStringLiteral("Parcourir..."));
        QCOMPARE(Name(helpDlg.FreeBtn1), QStringLiteral("Valider"));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"

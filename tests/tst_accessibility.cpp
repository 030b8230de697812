// What assistive tools see through Qt's accessibility interface: the buttons'
// names and press action, the dialogs' controls, the pie's name and the
// description of its slices after each scan.
#include "Accessibility.h"
#include "Chart.h"
#include "DirSelDlg.h"
#include "FreeBtn.h"
#include "HelpDlg.h"
#include "HintWindow.h"
#include "PathEdit.h"
#include "ScanWindow.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QtTest>

namespace {
QAccessibleInterface *Iface(QObject *o)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(o);
    if (i == nullptr)
        qFatal("no accessible interface");
    return i;
}
QString Name(QObject *o) { return Iface(o)->text(QAccessible::Name); }
QString Description(QObject *o) { return Iface(o)->text(QAccessible::Description); }
} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void slicesDescription_data()
    {
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QList<double>>("kilobytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no slice") << QStringList{} << QList<double>{} << QString();
        QTest::newRow("empty folder") << QStringList{"fichiers"} << QList<double>{0} << "fichiers=0 Ko .";
        QTest::newRow("one line per slice, in order, each unit")
            << QStringList{"Espace libre", "fichiers", "photos", "src"}
            << QList<double>{3.0 * 1024 * 1024, 999, 1536, 1000}
            << "Espace libre=3,00 Go .\nfichiers=999 Ko .\nphotos=1,50 Mo .\nsrc=0,98 Mo .";
        QTest::newRow("labels kept whole") << QStringList{"a=b c", ""} << QList<double>{1, 2} << "a=b c=1 Ko .\n=2 Ko .";
    }
    void slicesDescription()
    {
        QFETCH(QStringList, labels);
        QFETCH(QList<double>, kilobytes);
        QFETCH(QString, expected);
        std::vector<TSliceReadOut> slices;
        for (qsizetype i = 0; i < labels.size(); ++i)
            slices.push_back({labels[i], kilobytes[i]});
        QCOMPARE(SlicesDescription(slices), expected);
    }

    void mainWindowButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << "BackBtn" << "Dossier parent";
        QTest::newRow("folder") << "ScanBtn" << "Choix du dossier...";
        QTest::newRow("minimise") << "MinBtn" << "Réduire";
        QTest::newRow("quit") << "CloseBtn" << "Quitter";
        QTest::newRow("help") << "HelpBtn" << "Aide et dossier courant...";
    }
    void mainWindowButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        TForm1 form;
        auto *b = form.findChild<TFreeBtn *>(button);
        QVERIFY(b);
        QAccessibleInterface *i = Iface(b);
        QCOMPARE(i->role(), QAccessible::Button);
        QCOMPARE(i->text(QAccessible::Name), name);
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
        QAccessibleInterface *chart = Iface(w.form.Chart1);
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
        const QStringList lines = chart->text(QAccessible::Description).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.first(), QStringLiteral("fichiers=10 Ko ."));
        QVERIFY(lines.contains(QStringLiteral("photos=1,50 Mo .")));
        QVERIFY(lines.contains(QStringLiteral("vide=0 Ko .")));
        // The hover read-out over the big slice says one of those lines, word for word.
        w.form.Chart1->repaint();
        QCoreApplication::processEvents();
        w.form.FormMouseMove(w.form.Chart1, 0, 102, 150);
        QVERIFY(w.form.FTip->isVisible());
        QCOMPARE(w.form.FTip->text(), QStringLiteral("photos=1,50 Mo ."));
    }

    void helpButtonKeepsItsNameAndDescribesTheFolder()
    {
        TempTree t;
        ScanWindow w;
        QCOMPARE(Description(w.form.HelpBtn), QString());
        w.form.scan(t.Root());
        QCOMPARE(Name(w.form.HelpBtn), QStringLiteral("Aide et dossier courant..."));
        QCOMPARE(Description(w.form.HelpBtn), QString::fromStdString(t.Root()));
        // The other buttons' tips are their names and say nothing more.
        QCOMPARE(Description(w.form.BackBtn), QString());
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

// What the window shows follows the locale the program was started in: the
// tip's numbers, and names in the locale's own encoding, which is also the
// one what is typed in the folder box goes to the system in.
#include "dialogs/DirSelDlg.h"
#include "support/Modal.h"
#include "widgets/PathEdit.h"
#include "support/ScanWindow.h"
#include "support/ShownWindow.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QProcess>
#include <QtTest>

namespace {
// Runs test function `function` of this program again in a child whose
// locale is `locale`, with `more` in its environment; returns its output
// when it did not pass, empty when it did.
QByteArray RunInLocale(const char *function, const QString &locale, QProcessEnvironment more)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    env.insert(more);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(function)});
    if (!child.waitForFinished(60000))
        return "the child did not finish";
    const QByteArray out = child.readAllStandardOutput() + child.readAllStandardError();
    if (child.exitCode() != 0 || !out.contains(QByteArray("PASS   : TestLocale::") + function + "()"))
        return out;
    return {};
}
} // namespace

class TestLocale : public QObject {
    Q_OBJECT
private slots:
    // The tip's number follows the locale the process was started in.
    void tipFollowsTheProcessLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("tip");
        QTest::newRow("French") << QStringLiteral("fr_FR.UTF-8") << QStringLiteral("a=1,50 Mo .");
        QTest::newRow("C") << QStringLiteral("C") << QStringLiteral("a=1.50 Mo .");
    }

    void tipFollowsTheProcessLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, tip);
        QProcessEnvironment env;
        env.insert(QStringLiteral("QUINTAVO_EXPECTED_TIP"), tip);
        const QByteArray failure = RunInLocale("tipInTheProcessLocale", locale, env);
        QVERIFY2(failure.isEmpty(), failure.constData());
    }

    // Run by tipFollowsTheProcessLocale in a child process.
    void tipInTheProcessLocale()
    {
        const QString expected = qEnvironmentVariable("QUINTAVO_EXPECTED_TIP");
        if (expected.isEmpty())
            QSKIP("run by tipFollowsTheProcessLocale");
        ShownWindow s;
        s.probe.Pie().AddPoint(1536, "a", RGB(0x1E, 0, 0x50));
        QCoreApplication::processEvents();
        QTest::mouseMove(&s.probe.Chart(), QPoint(102, 60));
        QCOMPARE(s.probe.Tip()->text(), expected);
    }

    // A folder's name is shown in the locale's encoding: in the tip, the help
    // button's tip, the screen reader's words and the folder box; and the
    // name typed in the box reaches the system in that encoding.
    void namesInTheLocalesEncoding_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        const QString latin1 = QStringLiteral("fr_FR.ISO-8859-1");
        const QString utf8 = QStringLiteral("C.UTF-8");
        QTest::newRow("Latin-1 name, Latin-1 locale") << latin1 << QByteArray("caf\xe9") << QStringLiteral("café");
        QTest::newRow("UTF-8 name, UTF-8 locale") << utf8 << QByteArray("caf\xc3\xa9") << QStringLiteral("café");
        QTest::newRow("Latin-1 name, UTF-8 locale") << utf8 << QByteArray("caf\xe9") << QStringLiteral("caf\uFFFD");
        QTest::newRow("UTF-8 name, Latin-1 locale") << latin1 << QByteArray("caf\xc3\xa9") << QStringLiteral("cafÃ©");
    }

    void namesInTheLocalesEncoding()
    {
        QFETCH(QString, locale);
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        QProcessEnvironment env;
        // A locale the system may lack is made for the child alone.
        QTemporaryDir made;
        if (locale.endsWith(QLatin1String("ISO-8859-1"))) {
            if (Shell("localedef -i fr_FR -f ISO-8859-1 '" + made.path().toStdString() + "/" + locale.toStdString()
                      + "' 2>/dev/null")
                != 0)
                QSKIP("the Latin-1 locale cannot be made here (make deps installs locales)");
            env.insert(QStringLiteral("LOCPATH"), made.path());
        }
        env.insert(QStringLiteral("QUINTAVO_NAME"), QString::fromLatin1(name.toHex()));
        env.insert(QStringLiteral("QUINTAVO_SHOWN"), shown);
        const QByteArray failure = RunInLocale("namesInTheChildsLocale", locale, env);
        QVERIFY2(failure.isEmpty(), failure.constData());
    }

    // Run by namesInTheLocalesEncoding in a child process.
    void namesInTheChildsLocale()
    {
        if (!qEnvironmentVariableIsSet("QUINTAVO_NAME"))
            QSKIP("run by namesInTheLocalesEncoding");
        const std::string name = QByteArray::fromHex(qgetenv("QUINTAVO_NAME")).toStdString();
        const QString shown = qEnvironmentVariable("QUINTAVO_SHOWN");
        TempTree t;
        t.File(name + "/f", 2048);
        ScanWindow w;
        TDirSelDlg dlg(&w.form, w.form.PatternTile());
        w.form.SetDialogs(&dlg, nullptr);
        w.form.scan(t.Root());
        const QString readOut = shown + QStringLiteral("=2 Ko .");
        w.probe.Chart().repaint();
        w.form.FormMouseMove(&w.probe.Chart(), 0, 102, 60);
        QCOMPARE(w.probe.TipText(), readOut);
        QAccessibleInterface *chart = QAccessible::queryAccessibleInterface(&w.probe.Chart());
        QCOMPARE(chart->child(w.IndexOf(name))->text(QAccessible::Name), readOut);
        // The folder itself: the help button names it, the folder box shows it
        // and keeps its bytes.
        w.Click(name);
        QVERIFY(w.probe.HelpBtn().Hint().endsWith(QLatin1Char('/') + shown));
        const QString typed = QString::fromStdString(t.Root()) + QLatin1Char('/') + shown;
        const bool typable = !shown.contains(QChar::ReplacementCharacter);
        whenModal([&](QWidget *) {
            QCOMPARE(dlg.DirEdit->Text(), t.Path(name));
            if (typable)
                QCOMPARE(dlg.DirEdit->text(), typed);
            QTest::keyClick(dlg.DirEdit, Qt::Key_Escape);
        });
        w.form.Button3Click(nullptr);
        if (!typable)
            return;
        // Typed from its parent, the name reaches the system in the locale's encoding.
        w.form.Button4Click(nullptr);
        QCOMPARE(CurrentDir(), t.Root());
        whenModal([&](QWidget *) {
            dlg.DirEdit->clear();
            // As a keyboard types them, letters beyond ASCII included.
            for (const QChar c : typed)
                QTest::sendKeyEvent(QTest::Click, dlg.DirEdit, Qt::Key(c.toUpper().unicode()), QString(c), {});
            QTest::keyClick(dlg.DirEdit, Qt::Key_Return);
        });
        w.form.Button3Click(nullptr);
        QCOMPARE(QByteArray::fromStdString(CurrentDir()), QByteArray::fromStdString(t.Path(name)));
    }
};

QTEST_MAIN(TestLocale)
#include "tst_locale.moc"

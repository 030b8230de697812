// What the window shows follows the locale the program was started in.
#include "ShownWindow.h"
#include "TestSupport.h"

#include <QProcess>
#include <QtTest>

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
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), locale);
        env.insert(QStringLiteral("LANG"), locale);
        env.insert(QStringLiteral("QUINTAVO_EXPECTED_TIP"), tip);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("tipInTheProcessLocale")});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray out = child.readAllStandardOutput() + child.readAllStandardError();
        QVERIFY2(child.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("PASS   : TestLocale::tipInTheProcessLocale()"), out.constData());
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
};

QTEST_MAIN(TestLocale)
#include "tst_locale.moc"

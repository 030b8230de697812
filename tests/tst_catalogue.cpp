// The program's own catalogue of the texts Qt's lacks.
#include "resources/TextCatalogue.h"

#include <QtTest>

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
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
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"

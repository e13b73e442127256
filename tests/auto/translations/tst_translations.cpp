#include "plaintextscan.h"

#include <QDirIterator>
#include <QFile>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

// The Greek catalogue is compiled from its source by the build and embedded in the program.
class Tst_Translations : public QObject
{
    Q_OBJECT

private:
    QTranslator m_translator;

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/qml/translations/VovadudozAD_el_GR.qm")));
        QVERIFY(!m_translator.isEmpty());
    }

    void greekTexts_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("greek");
        QTest::newRow("Valid") << "Valid" << "VALID" << "ΕΓΚΥΡΟ";
        QTest::newRow("OutOfOrder, two lines") << "OutOfOrder" << "OUT OF ORDER" << "ΠΡΟΣΩΡΙΝΑ\nΕΚΤΟΣ ΛΕΙΤΟΥΡΓΙΑΣ";
        QTest::newRow("Valid unit") << "Valid" << "day" << "ημέρα";
        QTest::newRow("ScanCard") << "ScanCard" << "SCAN\nYOUR CARD" << "ΣΑΡΩΣΤΕ ΤΗΝ\nΚΑΡΤΑ ΣΑΣ";
        QTest::newRow("ScanBarcode") << "ScanBarcode" << "SCAN\nCARD" << "ΣΑΡΩΣΗ\nΚΑΡΤΑΣ";
        QTest::newRow("Login") << "Login" << "Pin" << "Κωδικός";
        QTest::newRow("GUIManager") << "GUIManager" << "Shutting down" << "Τερματισμός Λειτουργίας";
        QTest::newRow("Transaction shared text") << "Transaction" << "The card has already been validated"
                                                 << "Η κάρτα έχει ήδη επικυρωθεί";
        // Texts without a Greek entry stay English (an empty lookup), also in a wrong context.
        QTest::newRow("InitPage has none") << "InitPage" << "SAVE" << "";
        QTest::newRow("context matters") << "Valid" << "Pin" << "";
        QTest::newRow("wrong context on a maintenance page") << "Main" << "LOGIN" << "";
        QTest::newRow("lock-out keeps its placeholder") << "Login" << "Too many wrong PINs\nTry again in %1 s"
                                                        << "Πολλοί λάθος κωδικοί\nΔοκιμάστε ξανά σε %1 δ";
        QTest::newRow("Validator page label") << "Validator" << "Pole ID" << "Κωδικός στύλου";
        // The reader's name is a name in both languages.
        QTest::newRow("Validator page, untranslated") << "Validator" << "RFID" << "";
    }
    void greekTexts()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, greek);
        QCOMPARE(m_translator.translate(context.toUtf8(), source.toUtf8()), greek);
    }

    // Every entry of the source file reaches the compiled catalogue; an entry marked
    // unfinished or mangled in the source would silently stay English on the screen.
    void everySourceEntryIsCompiled()
    {
        QFile ts(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/qml/translations/VovadudozAD_el_GR.ts"));
        QVERIFY(ts.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&ts);
        QString context;
        QString source;
        QMap<QString, int> perContext;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                QVERIFY2(xml.attributes().value("type").isEmpty(), qPrintable(context + ": " + source));
                const QString expected = xml.readElementText();
                QVERIFY(!expected.isEmpty());
                QCOMPARE(m_translator.translate(context.toUtf8(), source.toUtf8()), expected);
                ++perContext[context];
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(perContext.keys(), (QStringList { "AlreadyValid", "CustomPopup", "Diagnostics", "EventLog",
                                                   "GUIManager", "Invalid", "Login", "Main", "OutOfOrder",
                                                   "OutOfService", "Retry", "ScanBarcode", "ScanCard", "ScanScreens",
                                                   "Transaction", "Valid", "Validator" }));
        QCOMPARE(perContext.value("Transaction"), 27);
        QCOMPARE(perContext.value("Valid"), 12);
        QCOMPARE(perContext.value("AlreadyValid"), 12);
        QCOMPARE(perContext.value("GUIManager"), 5);
    }

    // The source check below, tried on planted snippets: it must find what it is there for.
    void markupScan_data()
    {
        QTest::addColumn<QString>("qml");
        QTest::addColumn<int>("risks");
        QTest::newRow("fixed text") << "Text {\n  text: \"Valid\"\n}" << 0;
        QTest::newRow("translated text") << "Label { text: manager.dynTr + qsTr(\"Pin\") }" << 0;
        QTest::newRow("service text") << "Text {\n  text: transaction.fareProduct\n}" << 1;
        QTest::newRow("service text, one line") << "Label { text: board.poleId; font.bold: true }" << 1;
        QTest::newRow("service text, plain") << "Text {\n  text: root.text\n  textFormat: Text.PlainText\n}" << 0;
        QTest::newRow("plain set on a nested item only")
            << "Label {\n  text: root.message\n  Text { text: \"x\"; textFormat: Text.PlainText }\n}" << 1;
        QTest::newRow("text given from outside") << "Label {\n  id: root\n  property string hint\n}" << 1;
        QTest::newRow("rich format asked for") << "Text {\n  text: root.text\n  textFormat: Text.RichText\n}" << 1;
        QTest::newRow("commented out, braces in strings")
            << "// Text { text: x }\nItem { property string a: \"Label {\" }\n/* Label { text: y } */" << 0;
        QTest::newRow("binding over lines")
            << "Text {\n  text: root.a\n        + root.b\n  textFormat: Text.PlainText\n}\nLabel { text: a ? \"x\" : \"y\" }" << 1;
    }
    void markupScan()
    {
        QFETCH(QString, qml);
        QFETCH(int, risks);
        QCOMPARE(plaintextscan::markupRisks(qml).size(), risks);
    }

    // Every text from a service, a setting or a file is shown as plain text on every screen.
    void qmlTextsArePlain()
    {
        QStringList risks;
        int files = 0;
        QDirIterator it(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/qml"), { QStringLiteral("*.qml") }, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            ++files;
            for (int line : plaintextscan::markupRisks(QString::fromUtf8(file.readAll())))
                risks << QStringLiteral("%1:%2").arg(file.fileName()).arg(line);
        }
        QVERIFY(files > 40);
        QVERIFY2(risks.isEmpty(), qPrintable("Text or Label without textFormat: Text.PlainText:\n" + risks.join("\n")));
    }
};

QTEST_GUILESS_MAIN(Tst_Translations)
#include "tst_translations.moc"

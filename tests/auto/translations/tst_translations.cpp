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
};

QTEST_GUILESS_MAIN(Tst_Translations)
#include "tst_translations.moc"

#include "plaintextscan.h"

#include <QDirIterator>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString SourceDir = QStringLiteral(VOVADUDOZ_SOURCE_DIR);
const QString Catalogue = SourceDir + QStringLiteral("/qml/translations/VovadudozAD_el_GR.ts");

struct Entry
{
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

QVector<Entry> readCatalogue(const QString& path, QString* error)
{
    QVector<Entry> entries;
    QFile ts(path);
    if (!ts.open(QIODevice::ReadOnly)) {
        *error = ts.errorString();
        return entries;
    }
    QXmlStreamReader xml(&ts);
    QString context;
    Entry entry;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            entry = Entry { context, xml.readElementText(), QString(), false };
        } else if (xml.name() == QLatin1String("translation")) {
            entry.finished = xml.attributes().value("type").isEmpty();
            entry.translation = xml.readElementText();
            entries.append(entry);
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return entries;
}

} // namespace

// The Greek catalogue is made from the sources by lupdate, filled in by hand, compiled by the
// build and embedded in the program. Greek exists for the passenger screens, the shared
// dialog buttons, the controller's messages, the deny reasons and the PIN screen; the
// maintenance pages stay English.
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
        QTest::newRow("result symbol") << "Valid" << "Accepted" << "Αποδεκτό";
        QTest::newRow("AlreadyValid unit") << "AlreadyValid" << "mins" << "λεπτά";
        QTest::newRow("ScanCard") << "ScanCard" << "SCAN\nYOUR CARD" << "ΣΑΡΩΣΤΕ ΤΗΝ\nΚΑΡΤΑ ΣΑΣ";
        QTest::newRow("ScanBarcode") << "ScanBarcode" << "SCAN\nCARD" << "ΣΑΡΩΣΗ\nΚΑΡΤΑΣ";
        QTest::newRow("Login") << "Login" << "Pin" << "Κωδικός";
        QTest::newRow("GUIManager") << "GUIManager" << "Shutting down" << "Τερματισμός Λειτουργίας";
        QTest::newRow("Transaction shared text") << "Transaction" << "The card has already been validated"
                                                 << "Η κάρτα έχει ήδη επικυρωθεί";
        QTest::newRow("lock-out keeps its placeholder") << "Login" << "Too many wrong PINs\nTry again in %1 s"
                                                        << "Πολλοί λάθος κωδικοί\nΔοκιμάστε ξανά σε %1 δ";
        // Texts without a Greek entry stay English (an empty lookup), also in a wrong context.
        QTest::newRow("InitPage has none") << "InitPage" << "SAVE" << "";
        QTest::newRow("context matters") << "Valid" << "Pin" << "";
        QTest::newRow("wrong context on a maintenance page") << "Main" << "LOGIN" << "";
        // The maintenance pages are English in every language.
        QTest::newRow("Diagnostics button") << "Diagnostics" << "FINISH" << "";
        QTest::newRow("Validator page label") << "Validator" << "Pole ID" << "";
        QTest::newRow("power question") << "Main" << "Are you sure?" << "";
        QTest::newRow("event search") << "EventLog" << "Search" << "";
    }
    void greekTexts()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, greek);
        QCOMPARE(m_translator.translate(context.toUtf8(), source.toUtf8()), greek);
    }

    // Every finished entry reaches the compiled catalogue; an entry left unfinished holds no
    // text, so nothing half-done ships and no maintenance page turns half Greek.
    void catalogueCompilesAsWritten()
    {
        QString error;
        const QVector<Entry> entries = readCatalogue(Catalogue, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QMap<QString, int> greekPerContext;
        for (const Entry& entry : entries) {
            const QString where = entry.context + QStringLiteral(": ") + entry.source;
            if (!entry.finished) {
                QVERIFY2(entry.translation.isEmpty(), qPrintable(where));
                QCOMPARE(m_translator.translate(entry.context.toUtf8(), entry.source.toUtf8()), QString());
                continue;
            }
            QVERIFY2(!entry.translation.isEmpty(), qPrintable(where));
            QCOMPARE(m_translator.translate(entry.context.toUtf8(), entry.source.toUtf8()), entry.translation);
            ++greekPerContext[entry.context];
        }
        QCOMPARE(greekPerContext.keys(), (QStringList { "AlreadyValid", "CustomPopup", "GUIManager", "Invalid", "Login",
                                                        "OutOfOrder", "OutOfService", "Retry", "ScanBarcode",
                                                        "ScanCard", "ScanScreens", "Transaction", "Valid" }));
        QCOMPARE(greekPerContext.value("Transaction"), 27);
        QCOMPARE(greekPerContext.value("Valid"), 13);
        QCOMPARE(greekPerContext.value("AlreadyValid"), 13);
        QCOMPARE(greekPerContext.value("GUIManager"), 5);
        QCOMPARE(greekPerContext.value("Login"), 3);
    }

    // A text marked for translation in the sources but missing from the catalogue can never be
    // translated: the catalogue must be refreshed with lupdate (target update_translations).
    void catalogueHoldsEveryMarkedText()
    {
        const QString lupdate = QLibraryInfo::location(QLibraryInfo::BinariesPath) + QStringLiteral("/lupdate");
        QVERIFY2(QFile::exists(lupdate), qPrintable(lupdate));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString extracted = dir.filePath(QStringLiteral("extracted.ts"));
        QProcess run;
        run.setWorkingDirectory(SourceDir);
        run.start(lupdate, { QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                             QStringLiteral("qml"), QStringLiteral("src"), QStringLiteral("-ts"), extracted });
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitCode(), 0);

        QString error;
        QSet<QString> known;
        for (const Entry& entry : readCatalogue(Catalogue, &error))
            known.insert(entry.context + QLatin1Char('|') + entry.source);
        QStringList missing;
        const QVector<Entry> marked = readCatalogue(extracted, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        for (const Entry& entry : marked) {
            if (!known.contains(entry.context + QLatin1Char('|') + entry.source))
                missing << entry.context + QStringLiteral(": ") + entry.source;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not in the catalogue:\n") + missing.join('\n')));
        // The passenger, controller and maintenance texts are all found.
        QVERIFY(marked.size() > 100);
    }

    // lupdate cannot see a text that reaches qsTr or qsTranslate through a variable: every
    // translated text in the QML is written out where it is translated.
    void qmlTranslatesOnlyWrittenTexts()
    {
        const QRegularExpression hidden(
            QStringLiteral("\\bqsTr\\s*\\(\\s*[^\"'\\s]"
                           "|\\bqsTranslate\\s*\\(\\s*([^\"'\\s]|(\"[^\"]*\"|'[^']*')\\s*,\\s*[^\"'\\s])"));
        QStringList faults;
        QDirIterator it(SourceDir + QStringLiteral("/qml"), { QStringLiteral("*.qml"), QStringLiteral("*.js") },
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
            int line = 0;
            while (!file.atEnd()) {
                ++line;
                const QString text = QString::fromUtf8(file.readLine());
                if (hidden.match(text).hasMatch())
                    faults << QStringLiteral("%1:%2: %3").arg(it.fileName()).arg(line).arg(text.trimmed());
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
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

#include "transaction.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTranslator>
#include <QtTest>

#include <climits>
#include <ctime>

namespace {

QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(text).object();
}

QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

// Marks every text of the "Transaction" context, so a test can tell translated from raw.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char* = nullptr,
                      int = -1) const override
    {
        if (qstrcmp(context, "Transaction") != 0)
            return QString();
        return QStringLiteral("<") + QString::fromUtf8(sourceText) + QStringLiteral(">");
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class Tst_Transaction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void emptyRecord();
    void plainFields();
    void denyReason_data();
    void denyReason();
    void denyReasonFollowsLanguage();
    void details_data();
    void details();
    void periodPassExpiry_data();
    void periodPassExpiry();
    void convertTimestamp_data();
    void convertTimestamp();
};

void Tst_Transaction::initTestCase()
{
    // A zone away from UTC with a clock change, so that a time stamp left in UTC or read as
    // local time shows up. POSIX form: needs no zone database.
    qputenv("TZ", "EET-2EEST,M3.5.0/3,M10.5.0/4");
    tzset();
    QVERIFY(QDateTime(QDate(2020, 1, 31), QTime(12, 0), Qt::LocalTime).offsetFromUtc() == 7200);
}

void Tst_Transaction::emptyRecord()
{
    // What the screens show before the first scan and for a refusal without any details.
    const Transaction empty;
    const QVariantMap map = empty.toMap();
    QCOMPARE(map.keys(), (QStringList{"denyReason", "denyReasonId", "details", "fareProduct",
                                      "passengerType", "type", "valid"}));
    QCOMPARE(map.value("valid"), QVariant(false));
    QCOMPARE(map.value("type"), QVariant(0));
    QCOMPARE(map.value("denyReasonId"), QVariant(0));
    QCOMPARE(map.value("denyReason"), QVariant("Unknown Error"));
    QCOMPARE(map.value("fareProduct"), QVariant(QString()));
    QCOMPARE(map.value("passengerType"), QVariant(QString()));

    const QVariantMap details = map.value("details").toMap();
    QCOMPARE(details, empty.defaultDetails());
    QCOMPARE(details.size(), 7);
    QCOMPARE(details.value("fromStopGroupName"), QVariant(QString()));
    QCOMPARE(details.value("toStopGroupName"), QVariant(QString()));
    QCOMPARE(details.value("deducted"), QVariant(0.0));
    QCOMPARE(details.value("remaining"), QVariant(0.0));
    QCOMPARE(details.value("transferRemainingMin"), QVariant(0));
    QVERIFY(!details.value("activationTimestamp").toDateTime().isValid());
    QVERIFY(!details.value("expires").toDateTime().isValid());
}

void Tst_Transaction::plainFields()
{
    const Transaction t(json(R"({"result": true, "type": 5, "ticketId": "T-17",
                                 "fareProductName": "10 trips", "passengerTypeName": "Student",
                                 "denyReason": {"id": 103}})"),
                        nullptr);
    QVERIFY(t.valid());
    QCOMPARE(int(t.type()), 5);
    QCOMPARE(t.ticketId(), QString("T-17"));
    QCOMPARE(t.fareProduct(), QString("10 trips"));
    QCOMPARE(t.passengerType(), QString("Student"));
    QCOMPARE(t.denyReasonId(), 103);
    QVERIFY(t.ticket().isEmpty());

    const QVariantMap map = t.toMap();
    QCOMPARE(map.value("valid"), QVariant(true));
    QCOMPARE(map.value("type"), QVariant(5));
    QCOMPARE(map.value("fareProduct"), QVariant("10 trips"));
    QCOMPARE(map.value("passengerType"), QVariant("Student"));
    QCOMPARE(map.value("denyReasonId"), QVariant(103));
    QVERIFY(!map.contains("ticketId"));
    QVERIFY(!map.contains("ticket"));

    // An unlisted product type keeps its number, and wrong JSON types read as the defaults.
    QCOMPARE(Transaction(json(R"({"type": 999})"), nullptr).toMap().value("type"), QVariant(999));
    const Transaction garbled(json(R"({"result": "yes", "type": "2", "ticketId": 7,
                                       "denyReason": 103, "card": []})"), nullptr);
    QCOMPARE(garbled.valid(), false);
    QCOMPARE(int(garbled.type()), 0);
    QCOMPARE(garbled.ticketId(), QString());
    QCOMPARE(garbled.denyReasonId(), 0);
}

void Tst_Transaction::denyReason_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");

    const QList<QPair<int, QString>> table = {
        {100, "The ticket is invalid"},
        {101, "The ticket has expired"},
        {102, "The ticket is not allowed in this route"},
        {103, "The ticket has already been validated"},
        {104, "The ticket is not yet active"},
        {105, "Please try again"},
        {106, "The ticket does not belong to this operator"},
        {107, "The ticket has an invalid passenger profile"},
        {108, "The ticket is not allowed in this axis"},
        {109, "The ticket is not allowed in this zone"},
        {110, "The ticket has invalid timestamp"},
        {200, "The card is invalid"},
        {201, "The card has expired"},
        {202, "The card is not allowed in this route"},
        {203, "The card has already been validated"},
        {204, "The card does not have enough trips"},
        {205, "The card does not have sufficient balance"},
        {206, "This card can no longer be used"},
        {207, "The card has already been validated"},
        {208, "The card is not active"},
        {209, "The card does not belong to this operator"},
        {210, "Insufficient balance"},
        {211, "Temporarily not available"},
        {250, "The card is blocked"},
        {251, "The card is blocked"},
        {252, "The card is blocked"},
        {253, "The card is blocked"},
        {254, "The card is blocked"},
        {255, "The card is blocked"},
        {300, "The product is blocked"},
        {301, "The product is not yet active"},
        {500, "Internal Error"},
        // Neighbours of the ranges and ids the service never sends.
        {0, "Unknown Error"},
        {99, "Unknown Error"},
        {111, "Unknown Error"},
        {212, "Unknown Error"},
        {249, "Unknown Error"},
        {256, "Unknown Error"},
        {999, "Unknown Error"},
        {-1, "Unknown Error"},
    };
    for (const auto& row : table)
        QTest::addRow("%d", row.first) << row.first << row.second;
}

void Tst_Transaction::denyReason()
{
    QFETCH(int, id);
    QFETCH(QString, text);
    const QJsonObject object{{"result", false}, {"denyReason", QJsonObject{{"id", id}}}};
    const Transaction t(object, nullptr);
    QCOMPARE(t.denyReasonId(), id);
    QCOMPARE(t.denyReason(), text);
    QCOMPARE(t.toMap().value("denyReason"), QVariant(text));
}

void Tst_Transaction::denyReasonFollowsLanguage()
{
    // The same record read before, during and after a language switch: every read translates.
    const Transaction known(json(R"({"denyReason": {"id": 207}})"), nullptr);
    const Transaction unknown(json(R"({"denyReason": {"id": 42}})"), nullptr);
    QCOMPARE(known.denyReason(), QString("The card has already been validated"));

    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(known.denyReason(), QString("<The card has already been validated>"));
    QCOMPARE(unknown.denyReason(), QString("<Unknown Error>"));
    QCOMPARE(known.toMap().value("denyReason"), QVariant("<The card has already been validated>"));
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(known.denyReason(), QString("The card has already been validated"));
}

void Tst_Transaction::details_data()
{
    QTest::addColumn<QByteArray>("transaction");
    QTest::addColumn<QVariantMap>("changed"); // keys that differ from the defaults

    const QDateTime activation = utc(2020, 1, 31, 22, 30).toLocalTime();

    QTest::newRow("barcode ticket")
        << QByteArray(R"({"type": 0, "barcode": {"fromStopGroupName": "Port",
                          "toStopGroupName": "Airport", "transferRemainingMin": 45},
                          "card": {"balanceBefore": 1000, "balanceAfter": 500}})")
        << QVariantMap{{"fromStopGroupName", "Port"}, {"toStopGroupName", "Airport"},
                       {"transferRemainingMin", 45}};
    QTest::newRow("e-purse")
        << QByteArray(R"({"type": 2, "card": {"balanceBefore": 1000, "balanceAfter": 850}})")
        << QVariantMap{{"deducted", 1.5}, {"remaining", 8.5}};
    QTest::newRow("e-purse with capping")
        << QByteArray(R"({"type": 15, "card": {"balanceBefore": 205, "balanceAfter": 0}})")
        << QVariantMap{{"deducted", 2.05}};
    QTest::newRow("e-purse refund goes negative")
        << QByteArray(R"({"type": 2, "card": {"balanceBefore": 100, "balanceAfter": 250}})")
        << QVariantMap{{"deducted", -1.5}, {"remaining", 2.5}};
    QTest::newRow("e-purse extreme balances do not overflow")
        << QByteArray(R"({"type": 2, "card": {"balanceBefore": 2147483647,
                          "balanceAfter": -2147483648}})")
        << QVariantMap{{"deducted", 42949672.95}, {"remaining", -21474836.48}};
    for (int type : {5, 12, 16}) {
        QTest::addRow("stored journeys, type %d", type)
            << QByteArray(R"({"type": )" + QByteArray::number(type) + R"(,
                              "card": {"storedJourneys": {"activationTimestamp":
                              "2020-01-31T22:30:00Z", "after": 7, "transferRemainingMin": 20}}})")
            << QVariantMap{{"activationTimestamp", activation}, {"remaining", 7},
                           {"transferRemainingMin", 20}};
    }
    QTest::newRow("stored journeys, bad time stamp")
        << QByteArray(R"({"type": 5, "card": {"storedJourneys": {"activationTimestamp":
                          "2020-01-31 22:30:00", "after": 1}}})")
        << QVariantMap{{"remaining", 1}};
    QTest::newRow("transfer on e-purse")
        << QByteArray(R"({"type": 14, "card": {"balanceBefore": 900, "balanceAfter": 740,
                          "ePurse": {"transferRemainingMin": 12}}})")
        << QVariantMap{{"deducted", 0}, {"remaining", 7.4}, {"transferRemainingMin", 12}};
    QTest::newRow("unlisted type 3 ignores everything")
        << QByteArray(R"({"type": 3, "barcode": {"fromStopGroupName": "Port"},
                          "card": {"balanceBefore": 1000, "balanceAfter": 850,
                          "storedJourneys": {"after": 3}}})")
        << QVariantMap{};
    QTest::newRow("card product without card object")
        << QByteArray(R"({"type": 5})") << QVariantMap{{"remaining", 0}};
    QTest::newRow("wrong JSON types read as defaults")
        << QByteArray(R"({"type": 2, "card": {"balanceBefore": "1000", "balanceAfter": true}})")
        << QVariantMap{};
}

void Tst_Transaction::details()
{
    QFETCH(QByteArray, transaction);
    QFETCH(QVariantMap, changed);

    const QJsonDocument document = QJsonDocument::fromJson(transaction);
    QVERIFY(document.isObject());
    const Transaction t(document.object(), nullptr);
    QVariantMap expected = t.defaultDetails();
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        expected.insert(it.key(), it.value());

    const QVariantMap details = t.details();
    QCOMPARE(details.keys(), expected.keys());
    for (const QString& key : expected.keys()) {
        const QVariant actual = details.value(key);
        const QVariant wanted = expected.value(key);
        if (wanted.userType() == QMetaType::Double)
            QVERIFY2(qFuzzyCompare(actual.toDouble() + 1.0, wanted.toDouble() + 1.0),
                     qPrintable(key + ": " + actual.toString()));
        else
            QVERIFY2(actual == wanted, qPrintable(key + ": " + actual.toString()));
    }
    QVERIFY(!details.value("expires").toDateTime().isValid());
    QCOMPARE(t.toMap().value("details").toMap().keys(), expected.keys());
}

void Tst_Transaction::periodPassExpiry_data()
{
    QTest::addColumn<QByteArray>("pass");
    QTest::addColumn<qint64>("minutes");

    QTest::newRow("days only") << QByteArray(R"({"remainingDays": 2})") << qint64(2880);
    QTest::newRow("minutes win over days")
        << QByteArray(R"({"remainingMinutes": 30, "remainingDays": 2})") << qint64(30);
    QTest::newRow("null minutes fall back to days")
        << QByteArray(R"({"remainingMinutes": null, "remainingDays": 1})") << qint64(1440);
    QTest::newRow("zero minutes are minutes")
        << QByteArray(R"({"remainingMinutes": 0, "remainingDays": 3})") << qint64(0);
    QTest::newRow("nothing") << QByteArray("{}") << qint64(0);
}

void Tst_Transaction::periodPassExpiry()
{
    QFETCH(QByteArray, pass);
    QFETCH(qint64, minutes);

    QJsonObject periodPass = QJsonDocument::fromJson(pass).object();
    periodPass.insert("activationTimestamp", "2021-06-01T05:00:00Z");
    const QJsonObject object{{"type", 8}, {"card", QJsonObject{{"periodPass", periodPass}}}};
    const Transaction t(object, nullptr);

    // The expiry counts from the moment details() runs, not from the message.
    const QDateTime before = QDateTime::currentDateTime();
    const QVariantMap details = t.details();
    const QDateTime after = QDateTime::currentDateTime();

    QCOMPARE(details.value("remaining").toLongLong(), minutes);
    QCOMPARE(details.value("activationTimestamp").toDateTime(), utc(2021, 6, 1, 5, 0));
    const QDateTime expires = details.value("expires").toDateTime();
    QVERIFY(expires.isValid());
    QVERIFY(expires >= before.addSecs(minutes * 60));
    QVERIFY(expires <= after.addSecs(minutes * 60));
    QCOMPARE(expires.timeSpec(), Qt::LocalTime);
}

void Tst_Transaction::convertTimestamp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("instant"); // invalid: the text must be refused

    QTest::newRow("winter") << "2020-01-31T22:30:00Z" << utc(2020, 1, 31, 22, 30);
    QTest::newRow("summer") << "2020-07-15T09:05:59Z" << utc(2020, 7, 15, 9, 5, 59);
    // 03:30 does not exist on the local clock that day; as UTC it is a normal instant.
    QTest::newRow("inside the local clock-change gap")
        << "2020-03-29T03:30:00Z" << utc(2020, 3, 29, 3, 30);
    QTest::newRow("space, no Z") << "2020-01-31 22:30:00" << QDateTime();
    QTest::newRow("no Z") << "2020-01-31T22:30:00" << QDateTime();
    QTest::newRow("offset instead of Z") << "2020-01-31T22:30:00+02:00" << QDateTime();
    QTest::newRow("fraction") << "2020-01-31T22:30:00.5Z" << QDateTime();
    QTest::newRow("no such month") << "2020-13-01T10:00:00Z" << QDateTime();
    QTest::newRow("no such hour") << "2020-01-31T24:30:00Z" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
}

void Tst_Transaction::convertTimestamp()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, instant);

    const QDateTime converted = Transaction::convertTimestamp(text);
    if (!instant.isValid()) {
        QVERIFY(!converted.isValid());
        return;
    }
    QVERIFY(converted.isValid());
    QCOMPARE(converted.timeSpec(), Qt::LocalTime);
    QCOMPARE(converted.toUTC(), instant);
    QCOMPARE(converted.time(), instant.time().addSecs(converted.offsetFromUtc()));
}

QTEST_GUILESS_MAIN(Tst_Transaction)
#include "tst_transaction.moc"

#include "transaction.h"

#include <QJsonDocument>
#include <QTranslator>
#include <QtTest>

#include <ctime>

namespace {

QJsonObject json(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

QDateTime utc(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

// Marks the texts of the "Transaction" context so a test can tell translated from raw.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* text, const char*, int) const override
    {
        return qstrcmp(context, "Transaction") ? QString() : "<" + QString(text) + ">";
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class Tst_Transaction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mapForm();
    void denyReason_data();
    void denyReason();
    void details_data();
    void details();
    void convertTimestamp_data();
    void convertTimestamp();
};

void Tst_Transaction::initTestCase()
{
    // A zone off UTC with a clock change, so a stamp left in UTC or read as local time shows.
    qputenv("TZ", "EET-2EEST,M3.5.0/3,M10.5.0/4");
    tzset();
}

void Tst_Transaction::mapForm()
{
    const QVariantMap empty = Transaction().toMap();
    QCOMPARE(empty, (QVariantMap{{"valid", false}, {"type", 0}, {"denyReason", "Unknown Error"},
                                 {"denyReasonId", 0}, {"fareProduct", ""}, {"passengerType", ""},
                                 {"details", Transaction().defaultDetails()}}));
    QCOMPARE(Transaction().defaultDetails().size(), 7);

    const Transaction t(json(R"({"result": true, "type": 999, "ticketId": "T-17",
        "fareProductName": "10 trips", "passengerTypeName": "Student", "denyReason": {"id": 207}})"),
                        nullptr);
    const QVariantMap map = t.toMap();
    QCOMPARE(map.value("valid"), QVariant(true));
    QCOMPARE(map.value("type"), QVariant(999)); // unlisted types keep their number
    QCOMPARE(map.value("fareProduct"), QVariant("10 trips"));
    QCOMPARE(map.value("passengerType"), QVariant("Student"));
    QCOMPARE(map.keys(), empty.keys()); // ticketId and ticket stay out
    QCOMPARE(t.ticketId(), QString("T-17"));

    // Every read translates, so a language switch shows on the next one.
    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    QCOMPARE(t.toMap().value("denyReason"), QVariant("<The card has already been validated>"));
    QCOMPARE(Transaction().denyReason(), QString("<Unknown Error>"));
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(t.denyReason(), QString("The card has already been validated"));
}

void Tst_Transaction::denyReason_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    const QString blocked = "The card is blocked", unknown = "Unknown Error";
    const QList<QPair<int, QString>> rows = {
        {100, "The ticket is invalid"}, {101, "The ticket has expired"},
        {102, "The ticket is not allowed in this route"},
        {103, "The ticket has already been validated"}, {104, "The ticket is not yet active"},
        {105, "Please try again"}, {106, "The ticket does not belong to this operator"},
        {107, "The ticket has an invalid passenger profile"},
        {108, "The ticket is not allowed in this axis"},
        {109, "The ticket is not allowed in this zone"}, {110, "The ticket has invalid timestamp"},
        {200, "The card is invalid"}, {201, "The card has expired"},
        {202, "The card is not allowed in this route"},
        {203, "The card has already been validated"}, {204, "The card does not have enough trips"},
        {205, "The card does not have sufficient balance"}, {206, "This card can no longer be used"},
        {207, "The card has already been validated"}, {208, "The card is not active"},
        {209, "The card does not belong to this operator"}, {210, "Insufficient balance"},
        {211, "Temporarily not available"}, {250, blocked}, {251, blocked}, {252, blocked},
        {253, blocked}, {254, blocked}, {255, blocked}, {300, "The product is blocked"},
        {301, "The product is not yet active"}, {500, "Internal Error"}, {0, unknown},
        {111, unknown}, {212, unknown}, {249, unknown}, {256, unknown}, {999, unknown}, {-1, unknown}};
    for (const auto& row : rows)
        QTest::addRow("%d", row.first) << row.first << row.second;
}

void Tst_Transaction::denyReason()
{
    QFETCH(int, id);
    QFETCH(QString, text);
    const Transaction t(QJsonObject{{"denyReason", QJsonObject{{"id", id}}}}, nullptr);
    QCOMPARE(t.denyReasonId(), id);
    QCOMPARE(t.denyReason(), text);
}

void Tst_Transaction::details_data()
{
    QTest::addColumn<QByteArray>("transaction");
    QTest::addColumn<QVariantMap>("changed"); // the keys that differ from the defaults
    QTest::addColumn<qint64>("expiresInMinutes"); // -1: no expiry

    const QDateTime stamp = utc(2020, 1, 31, 22, 30);
    const QByteArray journeys = R"(, "card": {"storedJourneys": {"activationTimestamp":
        "2020-01-31T22:30:00Z", "after": 7, "transferRemainingMin": 20}}})";
    QTest::newRow("0 barcode") << QByteArray(R"({"type": 0, "barcode": {"fromStopGroupName": "A",
        "toStopGroupName": "B", "transferRemainingMin": 45}, "card": {"balanceAfter": 500}})")
        << QVariantMap{{"fromStopGroupName", "A"}, {"toStopGroupName", "B"},
                       {"transferRemainingMin", 45}} << qint64(-1);
    QTest::newRow("2 e-purse")
        << QByteArray(R"({"type": 2, "card": {"balanceBefore": 1000, "balanceAfter": 850}})")
        << QVariantMap{{"deducted", 1.5}, {"remaining", 8.5}} << qint64(-1);
    QTest::newRow("15 capped, no overflow") << QByteArray(R"({"type": 15, "card":
        {"balanceBefore": 2147483647, "balanceAfter": -2147483648}})")
        << QVariantMap{{"deducted", 42949672.95}, {"remaining", -21474836.48}} << qint64(-1);
    for (int type : {5, 12, 16})
        QTest::addRow("%d stored journeys", type)
            << "{\"type\": " + QByteArray::number(type) + journeys
            << QVariantMap{{"activationTimestamp", stamp}, {"remaining", 7},
                           {"transferRemainingMin", 20}} << qint64(-1);
    QTest::newRow("8 days") << QByteArray(R"({"type": 8, "card": {"periodPass": {
        "remainingDays": 2, "activationTimestamp": "2020-01-31T22:30:00Z"}}})")
        << QVariantMap{{"remaining", 2880}, {"activationTimestamp", stamp}} << qint64(2880);
    QTest::newRow("8 minutes win") << QByteArray(R"({"type": 8, "card": {"periodPass": {
        "remainingMinutes": 30, "remainingDays": 2}}})")
        << QVariantMap{{"remaining", 30}} << qint64(30);
    QTest::newRow("8 null minutes") << QByteArray(R"({"type": 8, "card": {"periodPass": {
        "remainingMinutes": null, "remainingDays": 1}}})")
        << QVariantMap{{"remaining", 1440}} << qint64(1440);
    QTest::newRow("14 transfer e-purse") << QByteArray(R"({"type": 14, "card": {"balanceBefore":
        900, "balanceAfter": 740, "ePurse": {"transferRemainingMin": 12}}})")
        << QVariantMap{{"deducted", 0}, {"remaining", 7.4}, {"transferRemainingMin", 12}}
        << qint64(-1);
    QTest::newRow("3 unlisted") << QByteArray(R"({"type": 3, "barcode": {"fromStopGroupName":
        "A"}, "card": {"balanceBefore": 1000, "storedJourneys": {"after": 3}}})")
        << QVariantMap{} << qint64(-1);
    QTest::newRow("wrong types") << QByteArray(R"({"type": 2, "card": {"balanceBefore": "1000",
        "balanceAfter": true}})") << QVariantMap{} << qint64(-1);
}

void Tst_Transaction::details()
{
    QFETCH(QByteArray, transaction);
    QFETCH(QVariantMap, changed);
    QFETCH(qint64, expiresInMinutes);

    const Transaction t(json(transaction), nullptr);
    QVariantMap expected = t.defaultDetails();
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        expected.insert(it.key(), it.value());

    const QDateTime before = QDateTime::currentDateTime();
    QVariantMap details = t.toMap().value("details").toMap();
    const QDateTime after = QDateTime::currentDateTime();

    // The expiry counts from the moment the details are read, not from the message.
    const QDateTime expires = details.take("expires").toDateTime();
    QCOMPARE(expires.isValid(), expiresInMinutes >= 0);
    if (expires.isValid())
        QVERIFY(expires >= before.addSecs(expiresInMinutes * 60)
                && expires <= after.addSecs(expiresInMinutes * 60));
    expected.remove("expires");
    QCOMPARE(details.keys(), expected.keys());
    for (const QString& key : expected.keys()) {
        const QVariant wanted = expected.value(key);
        QVERIFY2(wanted.userType() == QMetaType::Double
                     ? qFuzzyCompare(details.value(key).toDouble() + 1, wanted.toDouble() + 1)
                     : details.value(key) == wanted,
                 qPrintable(key));
    }
}

void Tst_Transaction::convertTimestamp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("instant"); // invalid: refused

    QTest::newRow("winter") << "2020-01-31T22:30:00Z" << utc(2020, 1, 31, 22, 30);
    QTest::newRow("summer") << "2020-07-15T09:05:00Z" << utc(2020, 7, 15, 9, 5);
    // 03:30 does not exist on the local clock that day; as UTC it is an ordinary instant.
    QTest::newRow("local clock-change gap") << "2020-03-29T03:30:00Z" << utc(2020, 3, 29, 3, 30);
    QTest::newRow("space, no Z") << "2020-01-31 22:30:00" << QDateTime();
    QTest::newRow("no Z") << "2020-01-31T22:30:00" << QDateTime();
    QTest::newRow("offset") << "2020-01-31T22:30:00+02:00" << QDateTime();
    QTest::newRow("no such month") << "2020-13-01T10:00:00Z" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
}

void Tst_Transaction::convertTimestamp()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, instant);
    const QDateTime converted = Transaction::convertTimestamp(text);
    QCOMPARE(converted.isValid(), instant.isValid());
    if (instant.isValid()) {
        QCOMPARE(converted, instant);
        QCOMPARE(converted.timeSpec(), Qt::LocalTime);
        QVERIFY(converted.offsetFromUtc() >= 7200); // really shown in local time
    }
}

QTEST_GUILESS_MAIN(Tst_Transaction)
#include "tst_transaction.moc"

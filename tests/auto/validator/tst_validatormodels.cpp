#include "validatorbarcode.h"
#include "validatorconfig.h"
#include "validatorrfid.h"

#include <QJsonDocument>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

QJsonObject json(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

// The names of the signals an object emitted while the log existed, in declaration order.
class SignalLog
{
public:
    explicit SignalLog(QObject* watched)
    {
        const QMetaObject* meta = watched->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            if (meta->method(i).methodType() == QMetaMethod::Signal)
                m_spies.emplace_back(new QSignalSpy(watched, "2" + meta->method(i).methodSignature()));
        }
    }
    QStringList names() const
    {
        QStringList names;
        for (const auto& spy : m_spies) {
            for (int i = 0; i < spy->count(); ++i)
                names << QString(spy->signal()).section('(', 0, 0);
        }
        return names;
    }

private:
    std::vector<std::unique_ptr<QSignalSpy>> m_spies;
};

} // namespace

class Tst_ValidatorModels : public QObject
{
    Q_OBJECT

private slots:
    void rfidState_data();
    void rfidState();
    void rfidGroups();
    void rfidSams();
    void samFromJson();
    void barcodeAndConfig();
};

void Tst_ValidatorModels::rfidState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");
    const QStringList names = {"Init", "Idle", "Searching", "CardFound", "Updating", "Error"};
    for (int i = 0; i < names.size(); ++i)
        QTest::addRow("%d", i) << i << names.at(i) << (i == 2 || i == 3);
    QTest::newRow("6") << 6 << "Unknown" << false;
    QTest::newRow("-1") << -1 << "Unknown" << false;
}

void Tst_ValidatorModels::rfidState()
{
    QFETCH(int, state);
    QFETCH(QString, name);
    QFETCH(bool, enabled);
    ValidatorRfid rfid;
    rfid.setState("Searching");
    QStringList seen; // the state and enabled flag each signal receiver sees
    connect(&rfid, &ValidatorRfid::stateChanged, this, [&] { seen << rfid.state(); });
    connect(&rfid, &ValidatorRfid::enabledChanged, this, [&] { seen << QString::number(rfid.enabled()); });
    rfid.fromJson(QJsonObject{{"state", state}});
    QCOMPARE(rfid.state(), name);
    QCOMPARE(rfid.enabled(), enabled);
    // enabledChanged goes with every state change, even when enabled stays the same.
    QCOMPARE(seen, state == 2 ? QStringList() : (QStringList{name, QString::number(enabled)}));
}

void Tst_ValidatorModels::rfidGroups()
{
    ValidatorRfid rfid;
    rfid.fromJson(json(R"({"firmware": "2.1", "model": "R5", "manufacturer": "Acme", "uid": "0A",
        "state": 5, "active": true, "error": "timeout", "slots": [true, false, 1], "sams": [{}]})"));
    QCOMPARE(rfid.numberOfSlots(), 3);
    SAM* sam = rfid.sam();

    // Only the identity group: the rest of the group reads as empty, status untouched.
    SignalLog identity(&rfid);
    rfid.fromJson(json(R"({"firmware": "2.2", "uid": "0B"})"));
    QCOMPARE(identity.names(), (QStringList{"firmwareChanged", "manufacturerChanged", "modelChanged",
                                            "deviceUidChanged"}));
    QCOMPARE(rfid.deviceUid(), QString("0B"));
    QCOMPARE(rfid.state(), QString("Error"));
    QCOMPARE(rfid.sam(), sam);

    // Only the status group, with wrong types reading as defaults; identity untouched.
    SignalLog status(&rfid);
    rfid.fromJson(json(R"({"state": "2", "active": "yes", "slots": {}, "sams": [1, null]})"));
    QCOMPARE(status.names(), (QStringList{"activeChanged", "errorChanged", "stateChanged",
                                          "numberOfSlotsChanged", "samChanged", "enabledChanged"}));
    QCOMPARE(rfid.state(), QString("Init"));
    QCOMPARE(rfid.error(), QString());
    QCOMPARE(rfid.numberOfSlots(), 0);
    QCOMPARE(rfid.findChildren<SAM*>().size(), 3); // the replaced one waits for the event loop
    QCOMPARE(rfid.firmware(), QString("2.2"));

    SignalLog neither(&rfid);
    rfid.fromJson(json(R"({"active": true, "model": "X", "sams": []})"));
    QCOMPARE(neither.names(), QStringList());
}

void Tst_ValidatorModels::rfidSams()
{
    ValidatorRfid rfid;
    QSignalSpy changed(&rfid, &ValidatorRfid::samChanged);
    const QJsonObject status = json(R"({"state": 2, "sams": [{"slot": 1, "name": "A"}, {"slot": 2}]})");
    rfid.fromJson(status);
    QPointer<SAM> first = rfid.sam();
    QCOMPARE(first->name(), QString("A"));
    QCOMPARE(first->parent(), &rfid);

    // Identical SAMs still give new objects; the old ones stay usable until the event loop runs
    // (QML may still hold them), then they go.
    rfid.fromJson(status);
    QCOMPARE(changed.count(), 2);
    QVERIFY(rfid.sam() != first);
    QCOMPARE(first->name(), QString("A"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!first);
    QCOMPARE(rfid.findChildren<SAM*>().size(), 2);

    // No "sams" in a status group: no SAM seated any more.
    rfid.fromJson(json(R"({"state": 2})"));
    QCOMPARE(rfid.sam(), nullptr);

    // Objects still waiting for deletion go with the reader.
    auto* reader = new ValidatorRfid;
    reader->fromJson(status);
    QPointer<SAM> pending = reader->sam();
    reader->fromJson(json(R"({"state": 2})"));
    delete reader;
    QVERIFY(!pending);
}

void Tst_ValidatorModels::samFromJson()
{
    SAM sam(json(R"({"slot": 2, "enabled": true, "unlocked": true, "atr": "3B", "batch": "B7",
        "mode": "AV2", "name": "Op", "production": "2019-07-15", "uid": "04", "vendor": "N",
        "version": "3.1"})"), nullptr);
    QCOMPARE(sam.production(), QDate(2019, 7, 15));
    QCOMPARE(QStringList({sam.atr(), sam.batch(), sam.mode(), sam.name(), sam.uid(), sam.vendor(),
                          sam.version()}), QStringList({"3B", "B7", "AV2", "Op", "04", "N", "3.1"}));
    QVERIFY(sam.enabled() && sam.unlocked());

    // Only real changes are announced; missing keys read as defaults.
    SignalLog log(&sam);
    sam.fromJson(json(R"({"slot": 2, "enabled": true, "unlocked": true, "atr": "3B",
        "batch": "B7", "mode": "AV2", "name": "Op", "production": "15/07/2019", "uid": "04",
        "vendor": "N"})"));
    QCOMPARE(log.names(), (QStringList{"productionChanged", "versionChanged"}));
    QVERIFY(!sam.production().isValid());
    QCOMPARE(SAM(json(R"({"production": "2019-02-30"})"), nullptr).production(), QDate());
}

void Tst_ValidatorModels::barcodeAndConfig()
{
    ValidatorBarcode barcode;
    barcode.fromJson(json(R"({"active": true, "firmware": "4.0", "manufacturer": "A", "model": "Q"})"));
    SignalLog barcodeLog(&barcode);
    barcode.fromJson(json(R"({"enabled": true, "model": "Q"})")); // absent keys stay as they are
    barcode.fromJson(json(R"({"firmware": 4})"));
    QCOMPARE(barcodeLog.names(), (QStringList{"enabledChanged", "firmwareChanged"}));
    QVERIFY(barcode.active() && barcode.enabled());
    QCOMPARE(barcode.manufacturer(), QString("A"));

    ValidatorConfig config;
    SignalLog configLog(&config);
    config.setPassbackSecs(0);
    config.setObuUrl(QUrl("mqtt://u:pw@h:1"));
    config.setObuUrl(QUrl("mqtt://u:pw@h:1"));
    config.setObuUrl(QUrl("mqtt://u:other@h:1"));
    QVERIFY(config.setProperty("passbackSecs", 45)); // QML writes them
    QVERIFY(config.setProperty("passbackQrEnabled", true));
    QCOMPARE(configLog.names(), (QStringList{"obuUrlChanged", "obuUrlChanged", "passbackSecsChanged",
                                             "passbackQrEnabledChanged"}));
}

QTEST_GUILESS_MAIN(Tst_ValidatorModels)
#include "tst_validatormodels.moc"

#include "validator.h"

#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QDebug>
#include <QHash>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QStringList>

namespace manager {

namespace {

// The reader's own topics: they belong to the RFID and barcode readers, not to the service's
// base topic.
const QString cardRemovedTopic = QStringLiteral("orvo/rfid/card/removed");
const QString cardFoundTopic = QStringLiteral("orvo/rfid/card/found");
const QString rfidEnableTopic = QStringLiteral("orvo/rfid/enable");
const QString rfidDisableTopic = QStringLiteral("orvo/rfid/disable");
const QString barcodeEnableTopic = QStringLiteral("orvo/barcode/enable");
const QString barcodeDisableTopic = QStringLiteral("orvo/barcode/disable");

const QString infoSuffix = QStringLiteral("/info");
const QString statusSuffix = QStringLiteral("/status");
const QString configSuffix = QStringLiteral("/config");
const QString retrySuffix = QStringLiteral("/rfid/retry");
const QString removedSuffix = QStringLiteral("/rfid/removed");
const QString rfidScannedSuffix = QStringLiteral("/rfid/scanned");
const QString barcodeScannedSuffix = QStringLiteral("/barcode/scanned");
const QString maintenanceSuffix = QStringLiteral("/barcode/maintenance/scanned");

const QString statusOffline = QStringLiteral("offline");
const QString statusDegraded = QStringLiteral("degraded");
const QString statusOutOfService = QStringLiteral("out-of-service");
const QString statusInit = QStringLiteral("init");
const QString statusOnline = QStringLiteral("online");

QJsonObject objectAt(const QJsonObject& object, const char* key)
{
    return object.value(QLatin1String(key)).toObject();
}

} // namespace

Validator::Validator(MqttClient& client, const QString& baseTopic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_baseTopic(baseTopic)
{
    qRegisterMetaType<manager::MaintenanceBarcode>();
    QObject::connect(&m_client, &MqttClient::disconnected, this, &Validator::onMqttDisconnected);

    const QString tag = QStringLiteral("[Validator] ");
    routeJson(m_client, m_baseTopic + infoSuffix, this, &Validator::onInfoReceived, tag);
    routeJson(m_client, m_baseTopic + statusSuffix, this, &Validator::onStatusReceived, tag);
    routeJson(m_client, m_baseTopic + configSuffix, this, &Validator::onConfigReceived, tag);
    m_client.route(m_baseTopic + retrySuffix, this, &Validator::onRetryReceived);
    // The service's own removal notice: subscribed for the service's sake, not acted upon; the
    // reader's notice below is what counts.
    m_client.subscribe(m_baseTopic + removedSuffix, 0);
    routeJson(m_client, m_baseTopic + rfidScannedSuffix, this, &Validator::onCardScannedReceived, tag);
    routeJson(m_client, m_baseTopic + barcodeScannedSuffix, this, &Validator::onBarcodeScannedReceived, tag);
    routeJson(m_client, m_baseTopic + maintenanceSuffix, this, &Validator::onMaintenanceBarcodeReceived, tag);
    // A maintenance barcode carries the on-board computer's password in its address.
    m_client.setConfidential(m_baseTopic + maintenanceSuffix);
    // The reader announces removal with whatever payload it likes.
    m_client.route(cardRemovedTopic, this, [this](const QByteArray&, const QString&) { emit cardRemoved(); });
    routeJson(m_client, cardFoundTopic, this, &Validator::onCardFound, tag);
}

QString Validator::mapCardType(int type)
{
    static const QHash<int, QString> names = {
        {0, QStringLiteral("Unknown")},
        {1, QStringLiteral("ISO14443-4A")},
        {2, QStringLiteral("ISO14443-4B")},
        {4, QStringLiteral("MIFARE Classic 1K")},
        {8, QStringLiteral("MIFARE Classic 4K")},
        {16, QStringLiteral("MIFARE Plus 2K")},
        {32, QStringLiteral("MIFARE Plus 4K")},
        {64, QStringLiteral("MIFARE Ultralight")},
        {128, QStringLiteral("MIFARE Mini")},
        {256, QStringLiteral("MIFARE DESFire")},
        {512, QStringLiteral("EMV")},
        {32768, QStringLiteral("Other")},
    };
    return names.value(type, QStringLiteral("Unknown"));
}

void Validator::onRetryReceived(const QByteArray& data, const QString& /*topic*/)
{
    // Any JSON value, or nothing, means "present the card again"; only broken text is refused.
    if (!data.isEmpty()) {
        QJsonParseError error;
        QJsonDocument::fromJson(data, &error);
        if (error.error != QJsonParseError::NoError) {
            qCritical().noquote().nospace()
                << "[Validator] " << "Failed to parse JSON message: " << error.errorString();
            return;
        }
    }
    emit cardRetry();
}

void Validator::onMaintenanceBarcodeReceived(const QJsonObject& data, const QString& topic)
{
    QStringList wrong;
    const MaintenanceBarcode barcode = MaintenanceBarcode::fromJson(data, &wrong);
    PayloadReader::reportWrongKeys(QStringLiteral("[Validator] "), topic, wrong);
    emit maintenanceBarcodeScanned(barcode);
}

void Validator::onMqttDisconnected()
{
    setStatus(statusOffline);
    setReason(QStringLiteral("MQTT Disconnected"), QStringLiteral("#0001"));
}

void Validator::onInfoReceived(const QJsonObject& info, const QString& /*topic*/)
{
    const QJsonObject device = objectAt(info, "device");
    m_barcode.fromJson(objectAt(device, "barcode"));
    m_rfid.fromJson(objectAt(device, "rfid"));
    setVersion(objectAt(info, "service").value(QLatin1String("version")).toString());
}

void Validator::onStatusReceived(const QJsonObject& status, const QString& topic)
{
    // A gate that cannot be read would decide the passenger screen on a guess ("true" as text
    // would read as a service that is down): keep the last good status and say which keys.
    {
        const PayloadReader reader(status);
        reader.boolean(QStringLiteral("service"), false);
        const PayloadReader state = reader.object(QStringLiteral("state"));
        for (const char* key : { "init", "hasRfid", "hasNtp", "hasRoute", "hasQr", "hasObu" })
            state.boolean(QLatin1String(key), false);
        if (reader.hasWrongKeys()) {
            qWarning().noquote().nospace() << "[Validator] " << "WARN: Ignoring status with wrongly typed values on "
                                           << topic << " : " << reader.wrongKeys().join(QStringLiteral(", "));
            return;
        }
    }

    // The reader model goes first: the "#0003"/"#0004" decision below reads its fresh state.
    const QJsonObject device = objectAt(status, "device");
    m_rfid.fromJson(objectAt(device, "rfid"));
    m_barcode.fromJson(objectAt(device, "barcode"));

    // Status before reason in every rule: receivers of statusChanged still see the old reason.
    if (!status.value(QLatin1String("service")).toBool()) {
        setStatus(statusOffline);
        setReason(QStringLiteral("BLM service down"), QStringLiteral("#0002"));
        return;
    }

    setVehicle(objectAt(status, "obu").value(QLatin1String("vehicleUuid")).toString());
    setRoute(objectAt(status, "route").value(QLatin1String("axisName")).toString());

    const QJsonObject state = objectAt(status, "state");
    auto flag = [&state](const char* key) { return state.value(QLatin1String(key)).toBool(); };

    if (flag("init")) {
        setStatus(statusInit);
        setReason(QString(), QString());
        return;
    }
    if (!flag("hasRfid")) {
        setStatus(statusOffline);
        if (m_rfid.state() == QLatin1String("Updating"))
            setReason(QStringLiteral("RFID firmware is updating"), QStringLiteral("#0003"));
        else
            setReason(QStringLiteral("RFID is not operational"), QStringLiteral("#0004"));
        return;
    }
    // Older services do not report time keeping at all; only an explicit false counts.
    if (state.contains(QLatin1String("hasNtp")) && !flag("hasNtp")) {
        setStatus(statusOffline);
        setReason(QStringLiteral("NTP not synchronized"), QStringLiteral("#0007"));
        return;
    }
    if (!flag("hasRoute")) {
        setStatus(statusOutOfService);
        setReason(QStringLiteral("No route"), QStringLiteral("#0006"));
        return;
    }

    const bool hasQr = flag("hasQr");
    const bool hasObu = flag("hasObu");
    if (hasQr && hasObu) {
        setStatus(statusOnline);
        setReason(QString(), QString());
        return;
    }
    QStringList problems;
    if (!hasObu)
        problems << QStringLiteral("OBC lost");
    if (!hasQr)
        problems << QStringLiteral("Barcode not operational");
    setStatus(statusDegraded);
    setReason(problems.join(QLatin1Char(',')), QStringLiteral("#0005"));
}

QUrl Validator::parseUrl(const QJsonObject& blm)
{
    QUrl url;
    url.setScheme(QStringLiteral("mqtt"));
    url.setHost(blm.value(QLatin1String("obu_host")).toString(), QUrl::DecodedMode);
    const QString username = blm.value(QLatin1String("obu_username")).toString();
    if (!username.isEmpty())
        url.setUserName(username, QUrl::DecodedMode);
    const QString password = blm.value(QLatin1String("obu_password")).toString();
    if (!password.isEmpty())
        url.setPassword(password, QUrl::DecodedMode);
    const int port = blm.value(QLatin1String("obu_port")).toString().toInt(nullptr, 10);
    // Out of range would turn the whole URL invalid and lose host and credentials with it.
    if (port > 0 && port <= 65535)
        url.setPort(port);
    return url;
}

void Validator::onConfigReceived(const QJsonObject& config, const QString& /*topic*/)
{
    const QUrl url = parseUrl(objectAt(config, "blm"));
    m_config.setObuUrl(url);

    const QJsonObject validator = objectAt(config, "validator");
    const int passbackSecs =
        validator.value(QLatin1String("passbackTime")).toString().toInt(nullptr, 10);
    m_config.setPassbackSecs(passbackSecs);
    const bool passbackQr =
        validator.value(QLatin1String("qr_passback")).toString() == QLatin1String("true");
    m_config.setPassbackQrEnabled(passbackQr);

    // The URL is logged without its password: these lines end up in syslog.
    qWarning().noquote().nospace() << "[Validator] " << "Config received : ";
    qWarning().noquote().nospace() << "[Validator] " << "OBU URL         : "
                                   << url.toDisplayString();
    qWarning().noquote().nospace() << "[Validator] " << "Passback Time   : " << passbackSecs
                                   << " sec(s)";
    qWarning().noquote().nospace() << "[Validator] " << "Passback QR En  : "
                                   << (passbackQr ? "true" : "false");

    emit configChanged();
}

void Validator::onCardScannedReceived(const QJsonObject& scan, const QString& /*topic*/)
{
    const Transaction transaction(objectAt(scan, "transaction"), nullptr);
    emit ticketValidated(transaction);
}

void Validator::onBarcodeScannedReceived(const QJsonObject& scan, const QString& topic)
{
    onCardScannedReceived(scan, topic);
}

void Validator::onCardFound(const QJsonObject& card, const QString& /*topic*/)
{
    emit cardDetected(card.value(QLatin1String("uid")).toString(),
                      mapCardType(card.value(QLatin1String("type")).toInt()));
}

void Validator::enableBarcode()
{
    // Guarded by the mirrored state so the reader is not asked twice before it reports back.
    if (!m_barcode.enabled())
        m_client.publish(QByteArray(), barcodeEnableTopic);
}

void Validator::disableBarcode()
{
    if (m_barcode.enabled())
        m_client.publish(QByteArray(), barcodeDisableTopic);
}

void Validator::enableRfid()
{
    if (!m_rfid.enabled()) {
        const QJsonObject request{{QStringLiteral("autoread"), true}};
        m_client.publish(QJsonDocument(request).toJson(QJsonDocument::Indented), rfidEnableTopic);
    }
}

void Validator::disableRfid()
{
    if (m_rfid.enabled())
        m_client.publish(QByteArray(), rfidDisableTopic);
}

void Validator::saveConfig()
{
    // The service reports numbers and flags as strings but expects real JSON types back.
    const QUrl url = m_config.obuUrl();
    const QJsonObject blm{
        {QStringLiteral("obu_username"), url.userName(QUrl::FullyDecoded)},
        {QStringLiteral("obu_password"), url.password(QUrl::FullyDecoded)},
        {QStringLiteral("obu_host"), url.host(QUrl::FullyDecoded)},
        {QStringLiteral("obu_port"), url.port(-1)},
    };
    const QJsonObject validator{
        {QStringLiteral("passbackTime"), m_config.passbackSecs()},
        {QStringLiteral("qr_passback"), m_config.passbackQrEnabled()},
    };
    const QJsonObject config{{QStringLiteral("blm"), blm},
                             {QStringLiteral("validator"), validator}};
    m_client.publish(QJsonDocument(config).toJson(QJsonDocument::Indented),
                     m_baseTopic + configSuffix + QStringLiteral("/set"));
}

void Validator::refreshConfig()
{
    m_client.publish(QByteArrayLiteral("{ }"), m_baseTopic + configSuffix + QStringLiteral("/get"));
}

void Validator::setStatus(const QString& status)
{
    if (m_status == status)
        return;
    qWarning().noquote().nospace() << "[Validator] " << "Validator status is : " << status;
    m_status = status;
    emit statusChanged();
}

void Validator::setReason(const QString& reason, const QString& code)
{
    if (m_reason == reason && m_reasonCode == code)
        return;
    m_reason = reason;
    m_reasonCode = code;
    emit reasonChanged();
}

void Validator::setVersion(const QString& version)
{
    if (m_version == version)
        return;
    m_version = version;
    emit versionChanged();
}

void Validator::setRoute(const QString& route)
{
    if (m_route == route)
        return;
    m_route = route;
    emit routeChanged();
}

void Validator::setVehicle(const QString& vehicle)
{
    if (m_vehicle == vehicle)
        return;
    m_vehicle = vehicle;
    emit vehicleChanged();
}

} // namespace manager

#include "validationservice.h"

#include "mqttclient.h"

#include <QJsonArray>
#include <QTimer>

namespace {
const char* const rfidEnableTopic = "orvo/rfid/enable";
const char* const rfidDisableTopic = "orvo/rfid/disable";
const char* const barcodeEnableTopic = "orvo/barcode/enable";
const char* const barcodeDisableTopic = "orvo/barcode/disable";
const char* const cardFoundTopic = "orvo/rfid/card/found";
const char* const cardRemovedTopic = "orvo/rfid/card/removed";
const char* const cardUid = "04A3F2B1C25E80";
const int desfire = 256;

enum RfidState { Init = 0, Idle = 1, Searching = 2, CardFound = 3, Updating = 4, Error = 5 };

// Reads a whole number given as a JSON number or as a decimal string.
bool readInt(const QJsonValue& value, int* out)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (number != double(qint64(number)) || number < -2147483648.0 || number > 2147483647.0)
            return false;
        *out = int(number);
        return true;
    }
    if (value.isString()) {
        bool ok = false;
        *out = value.toString().trimmed().toInt(&ok);
        return ok;
    }
    return false;
}
} // namespace

ValidationService::ValidationService(manager::MqttClient& client, const QString& base, QObject* parent)
    : SimService(client, base, QStringLiteral("[Validation] "), parent)
    , m_removeTimer(new QTimer(this))
{
    for (const QString& name : flagNames())
        m_flags.insert(name, name != QLatin1String("init"));
    m_removeTimer->setSingleShot(true);
    m_removeTimer->setInterval(600);
    connect(m_removeTimer, &QTimer::timeout, this, &ValidationService::cardRemoved);
    answerGet(QStringLiteral("/info/get"), QStringLiteral("info sent"), [this] { publishInfo(); });
    answerGet(QStringLiteral("/status/get"), QStringLiteral("status sent"), [this] { publishStatus(); });
    answerGet(QStringLiteral("/config/get"), QStringLiteral("config sent"), [this] { publishConfig(); });
}

QStringList ValidationService::flagNames()
{
    return { QStringLiteral("init"), QStringLiteral("hasRfid"), QStringLiteral("hasRoute"), QStringLiteral("hasQr"),
             QStringLiteral("hasObu"), QStringLiteral("hasNtp") };
}

void ValidationService::setRemoveDelay(int msec)
{
    m_removeTimer->setInterval(qMax(0, msec));
}

QStringList ValidationService::requestTopics() const
{
    return { topic(QStringLiteral("/info/get")),   topic(QStringLiteral("/status/get")),
             topic(QStringLiteral("/config/get")), topic(QStringLiteral("/config/set")),
             QLatin1String(rfidEnableTopic),       QLatin1String(rfidDisableTopic),
             QLatin1String(barcodeEnableTopic),    QLatin1String(barcodeDisableTopic) };
}

void ValidationService::publishAll()
{
    publishInfo();
    publishConfig();
    publishStatus();
}

int ValidationService::rfidState() const
{
    if (m_rfidUpdating)
        return Updating;
    if (!m_flags.value(QStringLiteral("hasRfid")))
        return Error;
    if (m_cardPresent && m_rfidEnabled)
        return CardFound;
    return m_rfidEnabled ? Searching : Idle;
}

bool ValidationService::setFlag(const QString& name, bool on)
{
    if (!m_flags.contains(name))
        return false;
    m_flags[name] = on;
    logEvent(QStringLiteral("state %1 %2").arg(name, on ? QStringLiteral("on") : QStringLiteral("off")));
    publishStatus();
    return true;
}

void ValidationService::setServiceUp(bool up)
{
    m_service = up;
    logEvent(up ? QStringLiteral("service up") : QStringLiteral("service down"));
    publishStatus();
    if (up)
        publishInfo();
}

void ValidationService::setRfidUpdating(bool updating)
{
    // The reader is unusable while its firmware is written, so the service says it has none.
    m_rfidUpdating = updating;
    m_flags[QStringLiteral("hasRfid")] = !updating;
    logEvent(updating ? QStringLiteral("RFID firmware update started") : QStringLiteral("RFID firmware update finished"));
    publishStatus();
    if (!updating)
        publishInfo();
}

void ValidationService::handleRequest(const QString& t, const QByteArray& payload, const QJsonObject& request)
{
    if (t == topic(QStringLiteral("/config/set"))) {
        QString error;
        if (!applyConfig(request, &error))
            logRefused(t, payload, error);
        else
            logRequest(t, payload, QStringLiteral("config saved"));
        publishConfig();
    } else if (t == QLatin1String(rfidEnableTopic)) {
        if (!m_service || m_rfidUpdating || !m_flags.value(QStringLiteral("hasRfid"))) {
            logRefused(t, payload, QStringLiteral("the RFID reader is not operational"));
        } else {
            m_rfidEnabled = true;
            logRequest(t, payload, QStringLiteral("RFID reader searching (autoread %1)")
                                       .arg(request.value(QStringLiteral("autoread")).toBool() ? QStringLiteral("on")
                                                                                                : QStringLiteral("off")));
        }
        publishStatus();
    } else if (t == QLatin1String(rfidDisableTopic)) {
        m_rfidEnabled = false;
        logRequest(t, payload, QStringLiteral("RFID reader idle"));
        publishStatus();
    } else if (t == QLatin1String(barcodeEnableTopic) || t == QLatin1String(barcodeDisableTopic)) {
        m_barcodeEnabled = t == QLatin1String(barcodeEnableTopic);
        logRequest(t, payload, m_barcodeEnabled ? QStringLiteral("barcode reader enabled")
                                                : QStringLiteral("barcode reader disabled"));
        publishStatus();
    }
}

bool ValidationService::applyConfig(const QJsonObject& request, QString* why)
{
    const QJsonObject blm = request.value(QStringLiteral("blm")).toObject();
    const QJsonObject validator = request.value(QStringLiteral("validator")).toObject();
    if (blm.isEmpty() && validator.isEmpty()) {
        *why = QStringLiteral("neither \"blm\" nor \"validator\" given");
        return false;
    }
    QString host = m_obuHost, username = m_obuUsername, password = m_obuPassword;
    int port = m_obuPort, passback = m_passbackSecs;
    bool qrPassback = m_qrPassback;
    for (const auto& entry : { std::make_pair("obu_host", &host), std::make_pair("obu_username", &username),
                               std::make_pair("obu_password", &password) }) {
        const QJsonValue value = blm.value(QLatin1String(entry.first));
        if (value.isUndefined())
            continue;
        if (!value.isString()) {
            *why = QStringLiteral("\"%1\" must be a string").arg(QLatin1String(entry.first));
            return false;
        }
        *entry.second = value.toString();
    }
    if (blm.contains(QStringLiteral("obu_port"))) {
        // -1 (or 0) means "no port": the on-board computer's default.
        if (!readInt(blm.value(QStringLiteral("obu_port")), &port) || port < -1 || port > 65535) {
            *why = QStringLiteral("\"obu_port\" must be -1 to 65535");
            return false;
        }
        port = qMax(0, port);
    }
    if (validator.contains(QStringLiteral("passbackTime"))) {
        if (!readInt(validator.value(QStringLiteral("passbackTime")), &passback) || passback < 0) {
            *why = QStringLiteral("\"passbackTime\" must be a whole number of seconds");
            return false;
        }
    }
    if (validator.contains(QStringLiteral("qr_passback"))) {
        const QJsonValue value = validator.value(QStringLiteral("qr_passback"));
        if (value.isBool())
            qrPassback = value.toBool();
        else if (value.toString() == QLatin1String("true") || value.toString() == QLatin1String("false"))
            qrPassback = value.toString() == QLatin1String("true");
        else {
            *why = QStringLiteral("\"qr_passback\" must be true or false");
            return false;
        }
    }
    m_obuHost = host;
    m_obuUsername = username;
    m_obuPassword = password;
    m_obuPort = port;
    m_passbackSecs = passback;
    m_qrPassback = qrPassback;
    return true;
}

QJsonObject ValidationService::config() const
{
    // The service reports numbers and flags as strings, unlike what it accepts.
    return { { QStringLiteral("blm"), QJsonObject { { QStringLiteral("obu_host"), m_obuHost },
                                                    { QStringLiteral("obu_port"), QString::number(m_obuPort) },
                                                    { QStringLiteral("obu_username"), m_obuUsername },
                                                    { QStringLiteral("obu_password"), m_obuPassword } } },
             { QStringLiteral("validator"),
               QJsonObject { { QStringLiteral("passbackTime"), QString::number(m_passbackSecs) },
                             { QStringLiteral("qr_passback"), m_qrPassback ? QStringLiteral("true")
                                                                          : QStringLiteral("false") } } } };
}

QString ValidationService::readerProblem(bool rfid) const
{
    if (!m_service)
        return QStringLiteral("the validation service is down");
    if (rfid && m_rfidUpdating)
        return QStringLiteral("the RFID reader is updating its firmware");
    if (rfid && !m_flags.value(QStringLiteral("hasRfid")))
        return QStringLiteral("the RFID reader is not operational");
    if (rfid && !m_rfidEnabled)
        return QStringLiteral("the RFID reader is idle (the program has not enabled it)");
    if (!rfid && !m_flags.value(QStringLiteral("hasQr")))
        return QStringLiteral("the barcode reader is not operational");
    if (!rfid && !m_barcodeEnabled)
        return QStringLiteral("the barcode reader is disabled (the program has not enabled it)");
    return QString();
}

QString ValidationService::tapCard(bool valid, int denyId, int type)
{
    const QString problem = cardFound(desfire);
    if (!problem.isEmpty())
        return problem;
    const QJsonObject transaction = m_card.validate(valid, denyId, type);
    logEvent(QStringLiteral("card %1: %2, %3").arg(QLatin1String(cardUid), SimCard::productName(type),
                                                   valid ? QStringLiteral("valid") : QStringLiteral("denied %1").arg(denyId)));
    publish(QStringLiteral("/rfid/scanned"), { { QStringLiteral("transaction"), transaction } });
    m_removeTimer->start();
    return QString();
}

QString ValidationService::scanBarcode(bool valid, int denyId)
{
    const QString problem = readerProblem(false);
    if (!problem.isEmpty())
        return problem;
    const QJsonObject transaction = m_card.validate(valid, denyId, 0);
    logEvent(QStringLiteral("barcode ticket %1").arg(valid ? QStringLiteral("valid")
                                                           : QStringLiteral("denied %1").arg(denyId)));
    publish(QStringLiteral("/barcode/scanned"), { { QStringLiteral("transaction"), transaction } });
    return QString();
}

QString ValidationService::cardFound(int cardType)
{
    const QString problem = readerProblem(true);
    if (!problem.isEmpty())
        return problem;
    m_cardPresent = true;
    logEvent(QStringLiteral("card %1 (type %2) in the field").arg(QLatin1String(cardUid)).arg(cardType));
    publishAbsolute(QLatin1String(cardFoundTopic),
                    { { QStringLiteral("uid"), QLatin1String(cardUid) }, { QStringLiteral("type"), cardType } });
    return QString();
}

void ValidationService::cardRemoved()
{
    m_removeTimer->stop();
    m_cardPresent = false;
    logEvent(QStringLiteral("card removed"));
    publishRaw(QLatin1String(cardRemovedTopic), QByteArray());
}

QString ValidationService::cardRetry()
{
    const QString problem = cardFound(desfire);
    if (!problem.isEmpty())
        return problem;
    logEvent(QStringLiteral("card read failed, asking for a retry"));
    publish(QStringLiteral("/rfid/retry"), QJsonObject());
    m_removeTimer->start();
    return QString();
}

void ValidationService::maintenanceBarcode(const QJsonObject& content)
{
    logEvent(QStringLiteral("maintenance barcode scanned"));
    publish(QStringLiteral("/barcode/maintenance/scanned"), content);
}

void ValidationService::publishStatus()
{
    const QJsonObject sam { { QStringLiteral("slot"), 0 },
                            { QStringLiteral("enabled"), true },
                            { QStringLiteral("unlocked"), true },
                            { QStringLiteral("atr"), QStringLiteral("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68") },
                            { QStringLiteral("batch"), QStringLiteral("B2019-27") },
                            { QStringLiteral("mode"), QStringLiteral("secure") },
                            { QStringLiteral("name"), QStringLiteral("Transit SAM") },
                            { QStringLiteral("production"), QStringLiteral("2019-07-15") },
                            { QStringLiteral("uid"), QStringLiteral("04C1D2E3F40512") },
                            { QStringLiteral("vendor"), QStringLiteral("Sekura") },
                            { QStringLiteral("version"), QStringLiteral("3.2") } };
    const bool rfidUp = m_flags.value(QStringLiteral("hasRfid")) && !m_rfidUpdating;
    const QJsonObject rfid { { QStringLiteral("active"), rfidUp },
                             { QStringLiteral("error"), rfidUp || m_rfidUpdating ? QString()
                                                                                 : QStringLiteral("Reader not responding") },
                             { QStringLiteral("state"), rfidState() },
                             { QStringLiteral("slots"), QJsonArray { true, false, false, false } },
                             { QStringLiteral("sams"), rfidUp ? QJsonArray { sam } : QJsonArray() } };
    const QJsonObject barcode { { QStringLiteral("active"), m_flags.value(QStringLiteral("hasQr")) },
                                { QStringLiteral("enabled"), m_barcodeEnabled } };
    QJsonObject state;
    for (auto it = m_flags.constBegin(); it != m_flags.constEnd(); ++it)
        state.insert(it.key(), it.value());
    const bool hasRoute = m_flags.value(QStringLiteral("hasRoute"));
    const bool hasObu = m_flags.value(QStringLiteral("hasObu"));
    publish(QStringLiteral("/status"),
            { { QStringLiteral("service"), m_service },
              { QStringLiteral("device"), QJsonObject { { QStringLiteral("rfid"), rfid },
                                                        { QStringLiteral("barcode"), barcode } } },
              { QStringLiteral("obu"), QJsonObject { { QStringLiteral("vehicleUuid"),
                                                       hasObu ? QStringLiteral("6f1c2a4e-0c3b-4e8e-9a51-3d2f0b7c0412")
                                                              : QString() } } },
              { QStringLiteral("route"), QJsonObject { { QStringLiteral("axisName"), hasRoute ? m_route : QString() } } },
              { QStringLiteral("state"), state } });
}

void ValidationService::publishInfo()
{
    const QJsonObject rfid { { QStringLiteral("firmware"), QStringLiteral("5.2.0") },
                             { QStringLiteral("model"), QStringLiteral("CR-900") },
                             { QStringLiteral("manufacturer"), QStringLiteral("Cardelia") },
                             { QStringLiteral("uid"), QStringLiteral("CR9-0412-7731") } };
    const QJsonObject barcode { { QStringLiteral("firmware"), QStringLiteral("3.1.7") },
                                { QStringLiteral("manufacturer"), QStringLiteral("Lumacode") },
                                { QStringLiteral("model"), QStringLiteral("LC-220") } };
    publish(QStringLiteral("/info"),
            { { QStringLiteral("device"), QJsonObject { { QStringLiteral("rfid"), rfid },
                                                        { QStringLiteral("barcode"), barcode } } },
              { QStringLiteral("service"), QJsonObject { { QStringLiteral("version"), QStringLiteral("4.3.2") } } } });
}

void ValidationService::publishConfig()
{
    publish(QStringLiteral("/config"), config());
}

#include "board.h"

#include "jsonroute.h"
#include "mqttclient.h"
#include "payloadreader.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>

namespace manager {

namespace {

const QString InfoTopic = QStringLiteral("/info");
const QString StatusTopic = QStringLiteral("/status");
const QString ConfigTopic = QStringLiteral("/config");
const QString DisplayTopic = QStringLiteral("/display");
const QString PowerTopic = QStringLiteral("/power");
const QString AudioTopic = QStringLiteral("/audio");
const QString EventTopic = QStringLiteral("/event");
const QString LedPlayTopic = QStringLiteral("/led/play/request/1");

QJsonObject ledStep(int r, int g, int b, int duration)
{
    return QJsonObject{{QStringLiteral("color"),
                        QJsonObject{{QStringLiteral("r"), r}, {QStringLiteral("g"), g}, {QStringLiteral("b"), b}}},
                       {QStringLiteral("duration"), duration}};
}

QJsonObject ledPattern(int repeat, const QJsonArray& steps)
{
    return QJsonObject{{QStringLiteral("repeat"), repeat}, {QStringLiteral("steps"), steps}};
}

// Source texts of the peripheral names; translated when a list is built, so that a change of
// language shows in the next list.
const QMap<QString, const char*>& peripheralNames()
{
    static const QMap<QString, const char*> names{
        {QStringLiteral("display"), QT_TRANSLATE_NOOP("manager::Board", "Display")},
        {QStringLiteral("ftdi"), QT_TRANSLATE_NOOP("manager::Board", "FTDI")},
        {QStringLiteral("mPCIe1"), QT_TRANSLATE_NOOP("manager::Board", "mPCIe #1")},
        {QStringLiteral("mPCIe2"), QT_TRANSLATE_NOOP("manager::Board", "mPCIe #2")},
        {QStringLiteral("qrReader"), QT_TRANSLATE_NOOP("manager::Board", "QR Reader")},
        {QStringLiteral("rfidReader"), QT_TRANSLATE_NOOP("manager::Board", "RFID Reader")},
        {QStringLiteral("touch"), QT_TRANSLATE_NOOP("manager::Board", "Touch")},
        {QStringLiteral("usbHost1"), QT_TRANSLATE_NOOP("manager::Board", "USB Host")},
        {QStringLiteral("usbHub"), QT_TRANSLATE_NOOP("manager::Board", "USB Hub")},
    };
    return names;
}

} // namespace

Board::Board(MqttClient& client, const QString& baseTopic, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_baseTopic(baseTopic)
{
    connect(&m_client, &MqttClient::connected, this, &Board::refresh);
    connect(&m_monitorTimer, &QTimer::timeout, this, &Board::refresh);
    subscribe();
}

void Board::subscribe()
{
    qInfo().noquote().nospace() << "[Board] " << "Subscribing to topics";
    const QString tag = QStringLiteral("[Board] ");
    routeJson(m_client, m_baseTopic + InfoTopic, this, &Board::handleInfo, tag);
    routeJson(m_client, m_baseTopic + StatusTopic, this, &Board::handleStatus, tag);
    routeJson(m_client, m_baseTopic + ConfigTopic, this, &Board::handleConfig, tag);
    routeJson(m_client, m_baseTopic + DisplayTopic, this, &Board::handleDisplay, tag);
    routeJson(m_client, m_baseTopic + PowerTopic, this, &Board::handlePower, tag);
    routeJson(m_client, m_baseTopic + AudioTopic, this, &Board::handleAudio, tag);
    routeJson(m_client, m_baseTopic + EventTopic, this, &Board::handleEvent, tag);
}

QString Board::poleId() const
{
    return m_statusObject.value(QStringLiteral("poleId")).toString();
}

double Board::temperature() const
{
    return m_statusObject.value(QStringLiteral("temperature")).toDouble();
}

double Board::voltage() const
{
    return m_statusObject.value(QStringLiteral("voltage")).toDouble();
}

int Board::uptime() const
{
    return m_statusObject.value(QStringLiteral("uptime")).toInt();
}

bool Board::rtcFailed() const
{
    return m_statusObject.value(QStringLiteral("rtcFailed")).toBool();
}

int Board::displayBrightness() const
{
    return m_displayObject.value(QStringLiteral("brightness")).toInt();
}

QString Board::displayBrightnessMode() const
{
    return m_displayObject.value(QStringLiteral("mode")).toString();
}

int Board::ambientLightSensor() const
{
    return m_displayObject.value(QStringLiteral("sensor")).toInt();
}

bool Board::audioEnabled() const
{
    return !m_audio.value(QStringLiteral("mute"), false).toBool();
}

bool Board::peripheralPower(const QString& peripheral) const
{
    return m_powerObject.value(peripheral).toBool();
}

QString Board::peripheralName(const QString& key)
{
    const auto& names = peripheralNames();
    const auto it = names.constFind(key);
    return it == names.constEnd() ? QString() : QCoreApplication::translate("manager::Board", it.value());
}

QVariantList Board::peripherals() const
{
    QVariantList list;
    for (auto it = m_powerObject.constBegin(); it != m_powerObject.constEnd(); ++it) {
        list.append(QVariantMap{{QStringLiteral("item"), it.key()},
                                {QStringLiteral("descr"), peripheralName(it.key())},
                                {QStringLiteral("value"), it.value().toBool()}});
    }
    return list;
}

void Board::setPeripherals(const QVariantList& peripherals)
{
    qWarning().noquote().nospace() << "[Board] " << "--- SET PERIPHERALS : " << peripherals;
}

void Board::setDelayShutdownFor(int seconds)
{
    if (seconds == m_delayShutdownFor)
        return;
    qInfo().noquote().nospace() << "[Board] " << "Setting board shutdown delay : " << seconds << " sec(s)";
    publish(QStringLiteral("/config/set"),
            QJsonObject{{QStringLiteral("device"), QJsonObject{{QStringLiteral("delayShutdownFor"), seconds}}}});
}

void Board::publish(const QString& suffix, const QJsonObject& payload)
{
    m_client.publish(QJsonDocument(payload).toJson(QJsonDocument::Indented), m_baseTopic + suffix, 0, false);
}

void Board::refresh()
{
    qDebug().noquote().nospace() << "[Board] " << "Refreshing data";
    for (const char* suffix : {"/status/get", "/display/get", "/power/get", "/audio/get"})
        m_client.publish(QByteArrayLiteral("{}"), m_baseTopic + QLatin1String(suffix), 0, false);
}

void Board::monitor(int msec)
{
    // A negative period from a screen is no period at all: stop rather than spin.
    if (msec <= 0) {
        m_monitorTimer.stop();
        qInfo().noquote().nospace() << "[Board] " << "Monitor stopped";
        return;
    }
    m_monitorTimer.setInterval(msec);
    m_monitorTimer.setSingleShot(false);
    m_monitorTimer.start();
    qInfo().noquote().nospace() << "[Board] " << "Monitor started : " << msec << " msec(s)";
    refresh();
}

void Board::setPeripheralPower(const QString& peripheral, bool value)
{
    qInfo().noquote().nospace() << "[Board] " << "Setting peripheral power: " << peripheral << " ("
                                << value << ")";
    publish(QStringLiteral("/power/set"), QJsonObject{{peripheral, value}});
}

void Board::playLed(const char* name, const QJsonObject& pattern)
{
    qInfo().noquote().nospace() << "[Board] " << "Setting LEDs to : " << name;
    publish(LedPlayTopic, pattern);
}

void Board::setLedValid()
{
    playLed("VALID", ledPattern(3, {ledStep(0, 255, 0, 100), ledStep(0, 0, 0, 50)}));
}

void Board::setLedInvalid()
{
    playLed("INVALID", ledPattern(3, {ledStep(255, 0, 0, 100), ledStep(0, 0, 0, 50)}));
}

void Board::setLedTestPattern()
{
    playLed("TEST", ledPattern(30, {ledStep(255, 0, 0, 1000), ledStep(0, 0, 0, 200),
                                    ledStep(0, 255, 0, 1000), ledStep(0, 0, 0, 200)}));
}

void Board::setLedOff()
{
    m_client.publish(QByteArray(), m_baseTopic + QStringLiteral("/led/off/request/1"), 0, false);
}

void Board::setDisplayBrightness(int value)
{
    qInfo().noquote().nospace() << "[Board] " << "Setting display brightness : " << value;
    publish(QStringLiteral("/display/set"), QJsonObject{{QStringLiteral("brightness"), value}});
}

void Board::setDisplayBrightnessMode(const QString& value)
{
    qInfo().noquote().nospace() << "[Board] " << "Setting display brightness mode : " << value;
    publish(QStringLiteral("/display/set"), QJsonObject{{QStringLiteral("mode"), value}});
}

void Board::setAudioEnabled(bool value)
{
    qInfo().noquote().nospace() << "[Board] " << "Setting audio enabled : " << value;
    publish(QStringLiteral("/audio/set"), QJsonObject{{QStringLiteral("mute"), !value}});
}

void Board::playBuzzer(int onMsec, int offMsec, int repeat)
{
    qInfo().noquote().nospace() << "[Board] "
                                << QStringLiteral("Playing buzzer : on=%1 msec, off=%2 msec, repeat=%3")
                                           .arg(onMsec).arg(offMsec).arg(repeat);
    publish(QStringLiteral("/buzzer/play/request/1"),
            QJsonObject{{QStringLiteral("onMsec"), onMsec},
                        {QStringLiteral("offMsec"), offMsec},
                        {QStringLiteral("repeat"), repeat}});
}

void Board::setStatus(const QString& status)
{
    if (status == m_status)
        return;
    m_status = status;
    qInfo().noquote().nospace() << "[Board] " << "Status changed : " << status;
    emit statusChanged();
}

void Board::handleStatus(const QJsonObject& payload, const QString& topic)
{
    qDebug().noquote().nospace() << "[Board] " << "Processing status topic " << topic;
    const PayloadReader reader(payload);
    // The gates decide what the rest means; if one cannot be read, nothing else can.
    const bool service = reader.boolean(QStringLiteral("service"), false);
    if (reader.hasWrongKeys()) {
        reader.reportWrongKeys(QStringLiteral("[Board] "), topic);
        return;
    }
    if (!service) {
        setStatus(QStringLiteral("offline"));
        return;
    }
    const PayloadReader device = reader.object(QStringLiteral("device"));
    const bool active = device.boolean(QStringLiteral("active"), false);
    if (reader.hasWrongKeys()) {
        reader.reportWrongKeys(QStringLiteral("[Board] "), topic);
        return;
    }
    if (!active) {
        setStatus(QStringLiteral("error"));
        return;
    }
    setStatus(QStringLiteral("online"));

    const bool ignition = device.boolean(QStringLiteral("ignition"), m_ignition);
    if (ignition != m_ignition) {
        m_ignition = ignition;
        qDebug().noquote().nospace() << "[Board] " << "Ignition changed : " << ignition;
        emit ignitionChanged();
    }

    const QString poleIdKey = QStringLiteral("poleId");
    const QString poleId = device.text(poleIdKey, this->poleId());
    if (poleId != this->poleId()) {
        qDebug().noquote().nospace() << "[Board] " << "Pole Id changed : " << PayloadReader::brief(poleId);
        m_statusObject.insert(poleIdKey, poleId);
        emit poleIdChanged();
    }
    const QString temperatureKey = QStringLiteral("temperature");
    const double temperature = device.number(temperatureKey, this->temperature());
    if (temperature != this->temperature()) {
        qDebug().noquote().nospace() << "[Board] " << "Temperature changed : " << temperature;
        m_statusObject.insert(temperatureKey, temperature);
        emit temperatureChanged();
    }
    const QString voltageKey = QStringLiteral("voltage");
    const double voltage = device.number(voltageKey, this->voltage());
    if (voltage != this->voltage()) {
        qDebug().noquote().nospace() << "[Board] " << "Voltage changed : " << voltage;
        m_statusObject.insert(voltageKey, voltage);
        emit voltageChanged();
    }
    const QString uptimeKey = QStringLiteral("uptime");
    const int uptime = device.integer(uptimeKey, this->uptime());
    if (uptime != this->uptime()) {
        qDebug().noquote().nospace() << "[Board] " << "Uptime changed : " << uptime;
        m_statusObject.insert(uptimeKey, uptime);
        emit uptimeChanged();
    }

    const QString rtcKey = QStringLiteral("rtcFailed");
    const bool rtcFailed = device.object(QStringLiteral("hardwareStatus")).boolean(rtcKey, this->rtcFailed());
    if (rtcFailed != this->rtcFailed()) {
        qInfo().noquote().nospace() << "[Board] " << "RTC Status changed : "
                                    << (rtcFailed ? "FAIL" : "OK");
        m_statusObject.insert(rtcKey, rtcFailed);
        emit rtcFailedChanged();
    }

    reader.reportWrongKeys(QStringLiteral("[Board] "), topic);
}

void Board::handleInfo(const QJsonObject& payload, const QString& topic)
{
    qInfo().noquote().nospace() << "[Board] " << "Processing info topic " << topic;
    const PayloadReader reader(payload);
    const PayloadReader device = reader.object(QStringLiteral("device"));
    const PayloadReader service = reader.object(QStringLiteral("service"));
    const auto current = [this](const char* key) { return m_info.value(QLatin1String(key)).toString(); };
    m_info.insert(QStringLiteral("firmware"), device.text(QStringLiteral("firmwareVersion"), current("firmware")));
    m_info.insert(QStringLiteral("hardwareId"), device.text(QStringLiteral("hardwareId"), current("hardwareId")));
    m_info.insert(QStringLiteral("hardware"), device.text(QStringLiteral("hardwareVersion"), current("hardware")));
    m_info.insert(QStringLiteral("version"), service.text(QStringLiteral("version"), current("version")));
    reader.reportWrongKeys(QStringLiteral("[Board] "), topic);
    emit infoChanged();
}

void Board::handleConfig(const QJsonObject& payload, const QString& topic)
{
    qInfo().noquote().nospace() << "[Board] " << "Processing config topic " << topic;
    const PayloadReader reader(payload);
    const int delay = reader.object(QStringLiteral("device")).integer(QStringLiteral("delayShutdownFor"),
                                                                        m_delayShutdownFor);
    reader.reportWrongKeys(QStringLiteral("[Board] "), topic);
    if (delay == m_delayShutdownFor)
        return;
    qInfo().noquote().nospace() << "[Board] " << "Board shutdown delay changed : " << delay << " sec(s)";
    m_delayShutdownFor = delay;
    emit delayShutdownForChanged();
}

void Board::handleDisplay(const QJsonObject& payload, const QString& topic)
{
    const PayloadReader reader(payload);
    const QString brightnessKey = QStringLiteral("brightness");
    const int brightness = reader.integer(brightnessKey, displayBrightness());
    if (brightness != displayBrightness()) {
        qDebug().noquote().nospace() << "[Board] " << "Display brightness changed : " << brightness;
        m_displayObject.insert(brightnessKey, brightness);
        emit displayBrightnessChanged();
    }
    const QString sensorKey = QStringLiteral("sensor");
    const int sensor = reader.integer(sensorKey, ambientLightSensor());
    if (sensor != ambientLightSensor()) {
        qDebug().noquote().nospace() << "[Board] " << "Display sensor changed : " << sensor;
        m_displayObject.insert(sensorKey, sensor);
        emit ambientLightSensorChanged();
    }
    const QString modeKey = QStringLiteral("mode");
    const QString mode = reader.text(modeKey, displayBrightnessMode());
    if (mode != displayBrightnessMode()) {
        qDebug().noquote().nospace() << "[Board] " << "Display brightness mode changed : "
                                     << PayloadReader::brief(mode);
        m_displayObject.insert(modeKey, mode);
        emit displayBrightnessModeChanged();
    }
    reader.reportWrongKeys(QStringLiteral("[Board] "), topic);
}

bool Board::acceptsPeripheral(const QString& key, bool firstPowerMessage)
{
    if (peripheralNames().contains(key) || m_extraPeripherals.contains(key))
        return true;
    // The board's first power message answers "/power/get" with every switch it has; a switch
    // that is not in the name table is admitted from it alone, and only a few, so that no
    // client can make the map, the list and the time to handle a message grow without end.
    if (!firstPowerMessage || m_extraPeripherals.size() >= MaxExtraPeripherals)
        return false;
    m_extraPeripherals.insert(key);
    return true;
}

void Board::handlePower(const QJsonObject& payload, const QString& topic)
{
    const bool first = !m_powerSeen;
    m_powerSeen = true;
    bool changed = false;
    QStringList wrong;
    QStringList unknown;
    // QJsonObject iterates in sorted key order.
    for (auto it = payload.constBegin(); it != payload.constEnd(); ++it) {
        const QJsonValue value = it.value();
        if (value.isNull())
            continue;
        if (!acceptsPeripheral(it.key(), first)) {
            unknown.append(it.key());
            continue;
        }
        if (!value.isBool()) {
            wrong.append(it.key());
            continue;
        }
        if (m_powerObject.value(it.key()) == value)
            continue;
        qInfo().noquote().nospace() << "[Board] " << "Peripheral power changed '"
                                    << PayloadReader::brief(it.key()) << "' : " << value.toBool();
        m_powerObject.insert(it.key(), value);
        changed = true;
        emit peripheralPowerChanged(it.key(), value.toBool());
    }
    if (!unknown.isEmpty()) {
        qWarning().noquote().nospace() << "[Board] " << "WARN: Ignoring " << unknown.size()
                                       << " unknown peripheral(s) on " << topic << " : "
                                       << PayloadReader::keyList(unknown);
    }
    if (!wrong.isEmpty())
        PayloadReader::reportWrongKeys(QStringLiteral("[Board] "), topic, wrong);
    if (changed)
        emit peripheralsChanged();
}

void Board::handleEvent(const QJsonObject& payload, const QString& topic)
{
    const PayloadReader reader(payload);
    const QString name = reader.text(QStringLiteral("name"), QString());
    const QJsonValue data = payload.value(QStringLiteral("data"));
    QString dataText;
    if (data.isObject())
        dataText = QString::fromUtf8(QJsonDocument(data.toObject()).toJson(QJsonDocument::Compact));
    else if (data.isArray())
        dataText = QString::fromUtf8(QJsonDocument(data.toArray()).toJson(QJsonDocument::Compact));
    else
        dataText = data.toVariant().toString();
    qInfo().noquote().nospace() << "[Board] " << "Event received : " << PayloadReader::brief(name) << " "
                                << PayloadReader::brief(dataText);
    reader.reportWrongKeys(QStringLiteral("[Board] "), topic);
    if (name != QLatin1String("IgnitionChanged"))
        return;
    // The service reports the input as 0 or 1; everything but a plain 0 means on.
    m_ignition = dataText != QLatin1String("0");
    emit ignitionChanged();
}

void Board::handleAudio(const QJsonObject& payload, const QString& topic)
{
    const PayloadReader reader(payload);
    const QString muteKey = QStringLiteral("mute");
    const bool current = m_audio.value(muteKey, false).toBool();
    const bool mute = reader.boolean(muteKey, current);
    reader.reportWrongKeys(QStringLiteral("[Board] "), topic);
    if (mute == current)
        return;
    m_audio.insert(muteKey, mute);
    emit audioEnabledChanged();
}

} // namespace manager

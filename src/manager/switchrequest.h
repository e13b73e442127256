#pragma once

#include <QString>

namespace manager {

class MqttClient;

// The on/off request of a device service that answers on its own topics (the stand-alone
// barcode reader, the GPS receiver): an empty message on the base topic plus "/enable" or
// "/disable", QoS 0, not retained. Neither request looks at the mirrored state; the service's
// own status message tells whether it took effect.
class SwitchRequest
{
public:
    SwitchRequest(MqttClient& client, const QString& baseTopic);

    void enable() const { send(true); }
    void disable() const { send(false); }
    void send(bool on) const;

private:
    MqttClient& m_client;
    QString m_baseTopic;
};

} // namespace manager

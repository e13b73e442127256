// A settings request on "/config/set" as the broker hands it over, through the program's own
// topics into the settings store, whose one check (type, then range, then the cast) decides
// what is taken. Afterwards every setting still has the JSON type of its default, the shutdown
// delay is within its range, the broker settings and the serial-number path are as before, and
// every setting the request changed holds what the store's check makes of the requested value.
// Input: the payload.
#include "services.h"

#include <QJsonDocument>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const QString& what)
{
    fprintf(stderr, "%s\n", qPrintable(what));
    abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray payload = fuzz::bytes(data, size);
    {
        fuzz::Services services;
        Config& config = services.config;
        config.setHiddenKeys(manager::OwnTopics::secretKeys());
        config.setRange(QStringLiteral("gui/shutdownDelaySec"), GUIManager::ShutdownDelayMinSec,
                        GUIManager::ShutdownDelayMaxSec);
        const QJsonObject before = config.toJson();
        services.receive(payload, QStringLiteral("orvo/ui/config/set"));

        const QJsonObject after = config.toJson();
        const QJsonObject defaults = QJsonObject::fromVariantMap([] {
            QVariantMap grouped;
            for (auto it = GUIManager::Defaults.cbegin(); it != GUIManager::Defaults.cend(); ++it) {
                QVariantMap group = grouped.value(it.key().section(QLatin1Char('/'), 0, 0)).toMap();
                group.insert(it.key().section(QLatin1Char('/'), 1), it.value());
                grouped.insert(it.key().section(QLatin1Char('/'), 0, 0), group);
            }
            return grouped;
        }());
        const QJsonObject request = QJsonDocument::fromJson(payload).object();
        for (auto group = defaults.begin(); group != defaults.end(); ++group) {
            const QJsonObject members = group.value().toObject();
            for (auto member = members.begin(); member != members.end(); ++member) {
                const QString key = group.key() + QLatin1Char('/') + member.key();
                const QJsonValue was = before.value(group.key()).toObject().value(member.key());
                const QJsonValue now = after.value(group.key()).toObject().value(member.key());
                if (now.type() != member.value().type())
                    fail(QStringLiteral("%1 lost its type").arg(key));
                if ((group.key() == QLatin1String("mqtt") || key == QLatin1String("gui/deviceId")) && now != was)
                    fail(QStringLiteral("%1 was changed over the broker").arg(key));
                if (now == was)
                    continue;
                QVariant typed;
                const QJsonValue asked = request.value(group.key()).toObject().value(member.key());
                if (!config.check(key, asked.toVariant(), &typed) || QJsonValue::fromVariant(typed) != now)
                    fail(QStringLiteral("%1 holds what the check would not make of the request").arg(key));
            }
        }
        const int delay = config.get(QStringLiteral("gui/shutdownDelaySec")).toInt();
        if (delay < GUIManager::ShutdownDelayMinSec || delay > GUIManager::ShutdownDelayMaxSec)
            fail(QStringLiteral("shutdown delay out of range: %1").arg(delay));
    }
    fuzz::settle();
    return 0;
}

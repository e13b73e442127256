#include "sam.h"

#include <QJsonValue>

namespace {

template<typename T, typename Signal>
void assign(SAM* sam, T& member, const T& value, Signal changed)
{
    if (member == value)
        return;
    member = value;
    emit(sam->*changed)();
}

} // namespace

SAM::SAM(QObject* parent)
    : QObject(parent)
{
}

SAM::SAM(const QJsonObject& sam, QObject* parent)
    : QObject(parent)
{
    fromJson(sam);
}

void SAM::fromJson(const QJsonObject& sam)
{
    auto string = [&sam](const char* key) { return sam.value(QLatin1String(key)).toString(); };

    assign(this, m_slot, sam.value(QLatin1String("slot")).toInt(), &SAM::slotChanged);
    assign(this, m_enabled, sam.value(QLatin1String("enabled")).toBool(), &SAM::enabledChanged);
    assign(this, m_unlocked, sam.value(QLatin1String("unlocked")).toBool(), &SAM::unlockedChanged);
    assign(this, m_atr, string("atr"), &SAM::atrChanged);
    assign(this, m_batch, string("batch"), &SAM::batchChanged);
    assign(this, m_mode, string("mode"), &SAM::modeChanged);
    assign(this, m_name, string("name"), &SAM::nameChanged);
    const QDate production = QDate::fromString(string("production"), QStringLiteral("yyyy-MM-dd"));
    assign(this, m_production, production, &SAM::productionChanged);
    assign(this, m_uid, string("uid"), &SAM::uidChanged);
    assign(this, m_vendor, string("vendor"), &SAM::vendorChanged);
    assign(this, m_version, string("version"), &SAM::versionChanged);
}

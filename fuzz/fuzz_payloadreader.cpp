// The reader every proxy reads service messages with: parsing, typed reads with their
// fall-backs at any depth, the wrong-key report and the masked and shortened log forms.
#include "fuzzsupport.h"
#include "payloadreader.h"

#include <QElapsedTimer>
#include <QJsonArray>

namespace {

void readAll(const manager::PayloadReader& reader, int depth)
{
    const QJsonObject& object = reader.json();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString& key = it.key();
        reader.contains(key);
        reader.text(key, QStringLiteral("kept"));
        reader.integer(key, 7);
        reader.number(key, 0.5);
        reader.boolean(key, true);
        if (depth < 8)
            readAll(reader.object(key), depth + 1);
    }
    reader.textMap(object.keys(), QVariantMap { { QStringLiteral("kept"), 1 } });
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
    // A message meets one of these paths, never all: the longest is what it may cost.
    QElapsedTimer timer;
    timer.start();
    manager::PayloadReader::masked(payload);
    qint64 longest = timer.nsecsElapsed();
    timer.restart();
    manager::PayloadReader::masked(payload, true);
    longest = qMax(longest, timer.nsecsElapsed());
    manager::PayloadReader::brief(QString::fromUtf8(payload));
    timer.restart();
    QJsonObject object;
    QString error;
    if (manager::PayloadReader::parse(payload, &object, &error)) {
        const manager::PayloadReader reader(object);
        readAll(reader, 0);
        manager::PayloadReader::keyList(reader.wrongKeys());
        reader.reportWrongKeys(QStringLiteral("[Fuzz] "), QStringLiteral("fuzz/topic"));
    }
    fuzz::noteHandling(qMax(longest, timer.nsecsElapsed()));
    return 0;
}

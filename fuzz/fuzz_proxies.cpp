// Each proxy's message handling, statefully: a run of up to eight messages, each on one of the
// topics the program subscribes to, so that a status may follow a configuration and a
// scan may follow a session. Input: records separated by NUL bytes, each the index of the topic
// (first byte, modulo the number of subscriptions) followed by the payload.
#include "services.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> records = fuzz::bytes(data, size).split('\0');
    {
        fuzz::Services services;
        const QStringList topics = services.topics();
        int count = 0;
        for (const QByteArray& record : records) {
            if (record.isEmpty() || ++count > 8)
                continue;
            const QString& topic = topics.at(int(uchar(record.at(0))) % topics.size());
            services.dispatch(record.mid(1), topic);
        }
    }
    fuzz::settle();
    return 0;
}

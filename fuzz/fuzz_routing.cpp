// Any topic, any payload, through the real receiving path: the client's debug line, its routing
// and every proxy and the program's own topics that subscribe to it.
// Input: "topic\npayload".
#include "services.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray topic;
    QByteArray payload;
    fuzz::splitFirstLine(fuzz::bytes(data, size), &topic, &payload);
    {
        fuzz::Services services;
        services.receive(payload, QString::fromUtf8(topic));
    }
    fuzz::settle();
    return 0;
}

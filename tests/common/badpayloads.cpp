#include "badpayloads.h"

QList<BadPayload> unparsablePayloads()
{
    const int megabyte = 1 << 20;
    const int deep = 100000;
    return {
        {"cut short", R"({"service": tru)"},
        {"malformed", "{service: true}"},
        {"binary", QByteArray("\0\xff{}", 4)},
        {"1 MB garbage", QByteArray(megabyte, 'x')},
        {"1 MB unterminated string", R"({"service": ")" + QByteArray(megabyte, 'x')},
        {"deep arrays", QByteArray(deep, '[') + QByteArray(deep, ']')},
        {"deep objects", QByteArray("{\"a\":").repeated(deep / 20) + "1" + QByteArray(deep / 20, '}')},
        {"deep arrays unterminated", QByteArray(deep, '[')},
        {"deep objects unterminated", QByteArray(deep, '{')},
    };
}

QList<BadPayload> nonObjectPayloads()
{
    return {
        {"array", R"([{"service": true}])"},
        {"empty array", "[]"},
        {"number", "42"},
        {"boolean", "false"},
        {"string", R"("online")"},
        {"null", "null"},
        {"1 MB array", "[" + QByteArray("0,").repeated(1 << 19) + "0]"},
    };
}

QList<BadPayload> allBadPayloads()
{
    return unparsablePayloads() + nonObjectPayloads();
}

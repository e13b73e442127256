#pragma once

#include <QByteArray>
#include <QList>

// Payloads that no service message may be, named for data rows. A handler fed one must log one
// line and keep its last good state. The empty payload is not among them: some services read
// it as an empty object.
struct BadPayload
{
    const char* name;
    QByteArray payload;
};

// Not JSON at all: cut short, malformed, binary, a megabyte long, nested past the parser's depth.
QList<BadPayload> unparsablePayloads();
// JSON, but not an object.
QList<BadPayload> nonObjectPayloads();
// Both lists, the unparsable first.
QList<BadPayload> allBadPayloads();

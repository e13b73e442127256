// The command line: each input line is one argument after the program's name.
#include "cliargs.h"
#include "fuzzsupport.h"

#include <QStringList>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QStringList arguments { QStringLiteral("VovadudozAD") };
    const QList<QByteArray> lines = fuzz::bytes(data, size).split('\n');
    for (const QByteArray& line : lines)
        arguments << QString::fromUtf8(line);
    parseCLIArgs(arguments, false);
    parseCLIArgs(arguments, true);
    return 0;
}

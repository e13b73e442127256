// The masking that every log line goes through (the log handler, on whichever thread logs, the
// GUI thread included) on lines of 200 KB, in the shapes that cost a pattern search the most:
// many key candidates, endless values, many colons and '@', unbalanced quotes. A line of
// ordinary length is the reference. Median and worst of the wall-clock time per line.
#include "benchsupport.h"
#include "secretmask.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <vector>

namespace {

// 200 KB unless the first argument gives another size in KB: the figures at two sizes show
// whether the cost grows with the length alone.
int LineChars = 200 * 1024;

QString repeated(const QString& unit, const QString& tail = QString())
{
    QString line;
    line.reserve(LineChars + unit.size() + tail.size());
    while (line.size() < LineChars)
        line += unit;
    return line + tail;
}

struct Shape
{
    const char* name;
    QString line;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]).toInt() > 0)
        LineChars = QByteArray(argv[1]).toInt() * 1024;
    const std::vector<Shape> shapes {
        { "ordinary line (120 chars)", QStringLiteral("[Board] Received on topic: orvo/board/status : {\"service\":true,\"ignition\":true,\"voltage\":24.1}") },
        { "JSON, many keys, one PIN", repeated(QStringLiteral("\"key\":\"value\","), QStringLiteral("\"settingsPin\":\"424242\"}")) },
        { "words, one pin=", repeated(QStringLiteral("word "), QStringLiteral("pin=424242")) },
        { "pin= with an endless value", QStringLiteral("pin=") + repeated(QStringLiteral("x")) },
        { "key after key, no value", repeated(QStringLiteral("pin ")) },
        { "colons", repeated(QStringLiteral("a:")) },
        { "colons and '@'", repeated(QStringLiteral("a:b@")) },
        { "URL users, no scheme", repeated(QStringLiteral("u:p@h ")) },
        { "URLs with scheme", repeated(QStringLiteral("mqtt://u:p@h/ ")) },
        { "unbalanced quotes", repeated(QStringLiteral("\"pin")) },
        { "escaped keys", repeated(QStringLiteral("\\u0050in:1,")) },
        { "escaped quotes", repeated(QStringLiteral("\\\""), QStringLiteral("pin:1")) },
        { "values with keys inside", repeated(QStringLiteral("a:\"b:'c:[")) },
        { "lists after ordinary keys", repeated(QStringLiteral("a:[")) },
        { "list after pin=", QStringLiteral("pin:[") + repeated(QStringLiteral("1,")) },
    };
    std::printf("%-30s %12s %12s\n", qPrintable(QStringLiteral("line (%1 KB unless said)").arg(LineChars / 1024)),
                "median ms", "worst ms");
    for (const Shape& shape : shapes) {
        std::vector<qint64> times;
        const int runs = shape.line.size() > 1000 ? 15 : 2000;
        for (int i = 0; i < runs; ++i) {
            const qint64 start = bench::nowNs();
            const QString masked = SecretMask::maskText(shape.line);
            times.push_back(bench::nowNs() - start);
            if (masked.isEmpty())
                return 1;
        }
        std::printf("%-30s %12.3f %12.3f\n", shape.name, bench::percentile(times, 0.5) / 1e6,
                    bench::percentile(times, 1.0) / 1e6);
    }
    std::printf("target: every 200 KB line well under 10 ms (a 64 KB input under 10 ms)\n");
    return 0;
}

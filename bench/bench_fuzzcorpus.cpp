// Every committed fuzz input through its target, optimised and without sanitizers: the time
// one input costs the GUI thread. No input of up to 64 KB may take more than 10 ms. Each input
// runs five times and counts with its median, so one preemption on a busy machine does not
// make a slow input. What a target builds for every input (the proxies and a settings file,
// for the MQTT targets) is no part of a message's cost: those targets time the program's own
// handling (fuzz::noteHandling), and only that counts. Prints, per target, the inputs, the median of their medians, the slowest
// input and the verdict; the last line is the verdict over all.
// Usage: bench_fuzzcorpus [--corpus DIR] [TARGET...] (default: every target, fuzz/corpus);
// DIR holds a folder per target, as build-fuzz/findings does.
#include "fuzzsupport.h"
#include "targettable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr double BoundMs = 10.0;
constexpr int Repeats = 5;

double medianMs(const FuzzTarget* target, const QByteArray& data)
{
    std::vector<double> runs;
    for (int i = 0; i < Repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        fuzz::takeHandling();
        target->test(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
        const qint64 whole = timer.nsecsElapsed();
        const qint64 handling = fuzz::takeHandling();
        runs.push_back((handling < 0 ? whole : handling) / 1e6);
    }
    std::nth_element(runs.begin(), runs.begin() + Repeats / 2, runs.end());
    return runs[Repeats / 2];
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<const FuzzTarget*> targets;
    QString corpus = QStringLiteral(VOVADUDOZ_SOURCE_DIR "/fuzz/corpus");
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--corpus") == 0 && i + 1 < argc)
            corpus = QString::fromLocal8Bit(argv[++i]);
        else if (const FuzzTarget* target = findFuzzTarget(argv[i]))
            targets.push_back(target);
        else
            fprintf(stderr, "No fuzz target %s\n", argv[i]);
    }
    if (targets.empty()) {
        for (size_t i = 0; i < FuzzTargetCount; ++i)
            targets.push_back(&FuzzTargets[i]);
    }

    bool allWithin = true;
    printf("%-14s %7s %10s %10s  %s\n", "target", "inputs", "median ms", "slowest ms", "slowest input");
    for (const FuzzTarget* target : targets) {
        target->init(&argc, &argv);
        const QDir folder(corpus + QLatin1Char('/') + QLatin1String(target->name));
        const QStringList names = folder.entryList(QDir::Files, QDir::Name);
        std::vector<double> medians;
        double slowest = 0;
        QString slowestName;
        for (const QString& name : names) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const double median = medianMs(target, file.readAll());
            medians.push_back(median);
            if (median > slowest) {
                slowest = median;
                slowestName = name;
            }
        }
        if (medians.empty())
            continue;
        std::nth_element(medians.begin(), medians.begin() + medians.size() / 2, medians.end());
        const bool within = slowest <= BoundMs;
        allWithin = allWithin && within;
        printf("%-14s %7zu %10.3f %10.3f  %s%s\n", target->name, names.size(),
               medians[medians.size() / 2], slowest, qPrintable(slowestName), within ? "" : "  OVER 10 ms");
        fflush(stdout);
    }
    printf("Every input within %.0f ms: %s\n", BoundMs, allWithin ? "yes" : "NO");
    return 0;
}

// Replays a fuzz target's committed corpus without libFuzzer, for the test suite: every file of
// the folder, in name order, through the target's entry point; a crash, a sanitizer report or a
// target's own abort fails the run. Usage: fuzz_replay TARGET FOLDER [BOUND_MS].
// Each input is timed and the slowest three are printed; an input slower than BOUND_MS (default
// 2000, for a busy machine under the sanitizers) fails the run, as it would hang the screen.
// The 10 ms bound itself is measured by the optimised benchmark (bench/bench_fuzzcorpus).
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "targettable.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "Usage: %s TARGET FOLDER [BOUND_MS]\n", argv[0]);
        return 2;
    }
    const FuzzTarget* target = findFuzzTarget(argv[1]);
    if (!target) {
        fprintf(stderr, "No fuzz target %s\n", argv[1]);
        return 2;
    }
    const qint64 boundMs = argc > 3 ? atoll(argv[3]) : 2000;
    target->init(&argc, &argv);

    const QDir folder(QString::fromLocal8Bit(argv[2]));
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        fprintf(stderr, "No inputs in %s\n", argv[2]);
        return 1;
    }
    std::vector<std::pair<qint64, QString>> times;
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            fprintf(stderr, "Cannot read %s\n", qPrintable(file.fileName()));
            return 1;
        }
        const QByteArray data = file.readAll();
        QElapsedTimer timer;
        timer.start();
        target->test(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
        times.emplace_back(timer.nsecsElapsed() / 1000, name);
    }
    std::sort(times.rbegin(), times.rend());
    printf("%s: %zu inputs replayed; slowest:", argv[1], times.size());
    for (size_t i = 0; i < times.size() && i < 3; ++i)
        printf(" %s %.1f ms", qPrintable(times[i].second), times[i].first / 1000.0);
    printf("\n");
    if (times.front().first > boundMs * 1000) {
        fprintf(stderr, "%s took longer than %lld ms\n", qPrintable(times.front().second), boundMs);
        return 1;
    }
    return 0;
}

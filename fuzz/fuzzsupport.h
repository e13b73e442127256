#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: the application object, a quiet log and a scratch folder.
// Each target defines LLVMFuzzerInitialize (calling start()) and LLVMFuzzerTestOneInput; the
// fuzzing build links them with libFuzzer, the test build with replay.cpp, which renames them
// (fuzz/CMakeLists.txt) so that one executable holds every target.
namespace fuzz {

// Creates the QCoreApplication once and silences the log: the program's own handler with both
// outputs off writes nothing and formats nothing. Idempotent.
void start();

// A folder of this process for the targets that read files (gui.conf, login.ini, events.ini),
// in memory when the machine offers it: a file write per input must not dominate the run.
QString scratchDir();

// Replaces path's content with data.
void writeFile(const QString& path, const QByteArray& data);

// Runs what the input queued (deferred deletes, queued calls), so nothing carries over.
void settle();

// The input as bytes, at most 64 KB: longer inputs say nothing that shorter ones do not, and
// the time bound is stated for that size.
inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), int(size > 65536 ? 65536 : size));
}

// The time the program itself spent on the input, when the target builds more around it than
// the program would (the proxies, a settings file): targets add what they time, the corpus
// benchmark takes it (-1 when the target noted nothing, and the whole input counts).
void noteHandling(qint64 nanoseconds);
qint64 takeHandling();

// "topic\npayload": the first line and the rest.
void splitFirstLine(const QByteArray& input, QByteArray* first, QByteArray* rest);

} // namespace fuzz

#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// Reads the command line into a map of configuration overrides (keys of the settings store,
// plus "config" for the settings file name).
struct CliParseResult
{
    QVariantMap overrides;
    bool exit = false;   // help, version or a parse error ends the process
    int exitCode = 0;
    QString output;      // text for standard output (help, version)
};

// The pure part of the parser, for tests: no printing and no exit. With logOptions false
// nothing is logged (used for the early check in main).
CliParseResult parseCLIArgs(const QStringList& arguments, bool logOptions = true);

// Carries out a result that ends the process: prints help or version, exits.
void finishCLI(const CliParseResult& result);

// Parses QCoreApplication::arguments(); prints help or version, or reports a parse error,
// and ends the process in those cases.
QVariantMap parseCLIArgs();

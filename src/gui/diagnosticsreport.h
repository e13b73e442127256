#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariantMap>

class Diagnostics;

// The device test report at one moment: the device's identity and versions followed by every
// self-test result, taken from the diagnostics when it is made. It gives the same values as
// the text file saved from the "Diagnostics" page, as the payload of the report's QR code, and
// as a list of named values for anything that publishes the report.
class DiagnosticsReport
{
public:
    using Value = QPair<QString, QString>;

    DiagnosticsReport(const Diagnostics& diagnostics, const QDateTime& now);

    // The 35 values in the order of the QR code, each under the name the page reads it by
    // ("deviceUid", "date", ..., "rtc", "usbHub", ..., "serialPortTest").
    const QList<Value>& values() const { return m_values; }
    // The same, keyed by name.
    QVariantMap toVariantMap() const;
    // One value by name; empty for an unknown name.
    QString value(const QString& name) const;

    // The device facts come first in values(); every value after them is a self-test result.
    static constexpr int FactCount = 9;
    // "pass" when every self-test result is one the page shows as good ("OK"), else "fail":
    // an untested, missing or failed result fails the whole test.
    static QString result(const QList<Value>& values);
    // What the depot reads of this test: "deviceId", "time" (UTC), "result" and "values"
    // (the 35 values by name).
    QVariantMap toPublication() const;

    // The report file's text: a header and one right-aligned line per result.
    QString text() const;
    // The 35 values joined with ";".
    QString qrPayload() const;
    // "TestReport_yyyyMMdd_hhmm.txt" in the working directory, written as "./<name>".
    static QString fileName(const QDateTime& now);

private:
    QList<Value> m_values;
    QDateTime m_time;
};

#include <QTest>

#include "loglimiter.h"

using manager::LogLimiter;

class Tst_LogLimiter : public QObject
{
    Q_OBJECT

private slots:
    void oneLinePerKeyAndPeriod_data();
    void oneLinePerKeyAndPeriod();
    void manyKeysStayBounded();
};

using Steps = QList<QPair<QString, qint64>>;
using Answers = QList<bool>;

void Tst_LogLimiter::oneLinePerKeyAndPeriod_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<Answers>("allowed");
    QTest::addColumn<int>("lastSuppressed");
    QTest::newRow("first line passes") << Steps{{"a", 0}} << Answers{true} << 0;
    QTest::newRow("repeat within the minute")
        << Steps{{"a", 0}, {"a", 1}, {"a", 59999}} << Answers{true, false, false} << 0;
    QTest::newRow("again after the minute, with the count")
        << Steps{{"a", 0}, {"a", 10}, {"a", 20}, {"a", 60000}} << Answers{true, false, false, true} << 2;
    QTest::newRow("keys are independent")
        << Steps{{"a", 0}, {"b", 1}, {"a", 2}, {"b", 3}} << Answers{true, true, false, false} << 0;
    QTest::newRow("period counts from the last line let through")
        << Steps{{"a", 0}, {"a", 60000}, {"a", 100000}, {"a", 120000}} << Answers{true, true, false, true} << 1;
    QTest::newRow("start time far from zero")
        << Steps{{"a", 5000000}, {"a", 5000001}} << Answers{true, false} << 0;
}

void Tst_LogLimiter::oneLinePerKeyAndPeriod()
{
    QFETCH(Steps, steps);
    QFETCH(Answers, allowed);
    QFETCH(int, lastSuppressed);
    LogLimiter limiter(60000);
    Answers answers;
    int suppressed = -1;
    for (const auto& step : qAsConst(steps)) {
        int count = -1;
        const bool ok = limiter.allow(step.first, step.second, &count);
        answers << ok;
        if (ok)
            suppressed = count;
    }
    QCOMPARE(answers, allowed);
    QCOMPARE(suppressed, lastSuppressed);
}

void Tst_LogLimiter::manyKeysStayBounded()
{
    LogLimiter limiter(60000, 100);
    // A flood of distinct topics inside one minute: the first 100 get their line, the rest
    // share one slot, so one more line and then silence.
    int lines = 0;
    for (int i = 0; i < 10000; ++i)
        lines += limiter.allow(QStringLiteral("t%1").arg(i), i) ? 1 : 0;
    QCOMPARE(lines, 101);
    QVERIFY(limiter.keyCount() <= 101);
    // A minute later the quiet keys are forgotten and new ones get their line again.
    QVERIFY(limiter.allow(QStringLiteral("fresh"), 200000));
    QVERIFY(limiter.keyCount() <= 101);
}

QTEST_GUILESS_MAIN(Tst_LogLimiter)
#include "tst_loglimiter.moc"

#include <QFile>
#include <QJSEngine>
#include <QObject>
#include <QTest>

// The shipped polkit rule, run as polkitd runs it: addRule() hands a function of (action,
// subject) that answers "yes" or nothing (leaving the decision to the defaults).
class Tst_PolkitRule : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void decision_data();
    void decision();

private:
    QJSEngine m_engine;
};

void Tst_PolkitRule::initTestCase()
{
    QFile rule(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/packaging/polkit/50-vovadudozad.rules"));
    QVERIFY(rule.open(QIODevice::ReadOnly));
    const QJSValue setup = m_engine.evaluate(QStringLiteral(
        "var rules = [];"
        "var polkit = { Result: { YES: 'yes', NO: 'no', AUTH_ADMIN: 'auth_admin' },"
        "               addRule: function(f) { rules.push(f); } };"));
    QVERIFY(!setup.isError());
    const QJSValue loaded = m_engine.evaluate(QString::fromUtf8(rule.readAll()), rule.fileName());
    QVERIFY2(!loaded.isError(), qPrintable(loaded.toString()));
    QCOMPARE(m_engine.evaluate(QStringLiteral("rules.length")).toInt(), 1);
}

void Tst_PolkitRule::decision_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("result"); // "undefined": the rule leaves it to the defaults
    const QString zone = QStringLiteral("org.freedesktop.timedate1.set-timezone");
    QTest::newRow("service sets the time zone") << zone << "vovadudozad" << "yes";
    QTest::newRow("another user sets the time zone") << "org.freedesktop.timedate1.set-timezone" << "bus" << "undefined";
    QTest::newRow("user whose name contains the service's") << zone << "vovadudozad2" << "undefined";
    QTest::newRow("service sets the time") << "org.freedesktop.timedate1.set-time" << "vovadudozad" << "undefined";
    QTest::newRow("service switches NTP") << "org.freedesktop.timedate1.set-ntp" << "vovadudozad" << "undefined";
    QTest::newRow("service sets the RTC mode") << "org.freedesktop.timedate1.set-local-rtc" << "vovadudozad" << "undefined";
    QTest::newRow("service reboots") << "org.freedesktop.login1.reboot" << "vovadudozad" << "undefined";
    QTest::newRow("service manages units") << "org.freedesktop.systemd1.manage-units" << "vovadudozad" << "undefined";
}

void Tst_PolkitRule::decision()
{
    QFETCH(QString, action);
    QFETCH(QString, user);
    QFETCH(QString, result);
    QJSValue rule = m_engine.evaluate(QStringLiteral("rules[0]"));
    QJSValue actionObject = m_engine.newObject();
    actionObject.setProperty(QStringLiteral("id"), action);
    QJSValue subject = m_engine.newObject();
    subject.setProperty(QStringLiteral("user"), user);
    subject.setProperty(QStringLiteral("local"), true);
    subject.setProperty(QStringLiteral("active"), false);
    const QJSValue answer = rule.call({actionObject, subject});
    QVERIFY2(!answer.isError(), qPrintable(answer.toString()));
    QCOMPARE(answer.isUndefined() ? QStringLiteral("undefined") : answer.toString(), result);
}

QTEST_GUILESS_MAIN(Tst_PolkitRule)
#include "tst_polkitrule.moc"

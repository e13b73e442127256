#include "productdetails.h"
#include "qmlrules.h"
#include "reportqr.h"
#include "sounds.h"
#include "statusrules.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

// The decision tables behind the screens: every row of each table, and that QML reaches them.
class Tst_QmlRules : public QObject
{
    Q_OBJECT

private slots:
    void statusColours_data();
    void statusColours();
    void productKinds_data();
    void productKinds();
    void periods_data();
    void periods();
    void reportQr_data();
    void reportQr();
    void reportImageUrl();
    void reachableFromQml();
};

void Tst_QmlRules::statusColours_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("colour");

    QTest::newRow("validator online") << "validator" << "online" << "green";
    QTest::newRow("validator init") << "validator" << "init" << "amber";
    QTest::newRow("validator degraded") << "validator" << "degraded" << "amber";
    QTest::newRow("validator out of service") << "validator" << "out-of-service" << "amber";
    QTest::newRow("validator offline") << "validator" << "offline" << "red";
    // A reason text is not a status: its row follows the status instead.
    QTest::newRow("validator reason text") << "validator" << "BLM service down" << "green";
    QTest::newRow("connection up") << "connection" << "Connected" << "green";
    QTest::newRow("connection down") << "connection" << "Disconnected" << "red";
    QTest::newRow("connection between") << "connection" << "Connecting" << "amber";
    QTest::newRow("connectivity full") << "connectivity" << "Full" << "green";
    QTest::newRow("connectivity portal") << "connectivity" << "Portal" << "amber";
    QTest::newRow("connectivity limited") << "connectivity" << "Limited" << "amber";
    QTest::newRow("connectivity none") << "connectivity" << "None" << "red";
    QTest::newRow("update offline") << "update" << "Disconnected" << "red";
    QTest::newRow("update ready") << "update" << "Ready to install" << "green";
    QTest::newRow("update downloading") << "update" << "Downloading" << "amber";
    QTest::newRow("update installing") << "update" << "Installing" << "amber";
    QTest::newRow("update idle") << "update" << "Up to date" << "plain";
    QTest::newRow("diagnostics untested") << "diagnostics" << "" << "grey";
    QTest::newRow("diagnostics ok") << "diagnostics" << "OK" << "green";
    QTest::newRow("diagnostics error") << "diagnostics" << "ERROR" << "red";
    QTest::newRow("diagnostics error text") << "diagnostics" << "ERROR: no echo" << "red";
    QTest::newRow("diagnostics missing") << "diagnostics" << "MISSING" << "amber";
    QTest::newRow("diagnostics ok in lower case") << "diagnostics" << "ok" << "amber";
    QTest::newRow("no rule") << "" << "offline" << "plain";
    QTest::newRow("unknown rule") << "network" << "Disconnected" << "plain";
}

void Tst_QmlRules::statusColours()
{
    QFETCH(QString, rule);
    QFETCH(QString, value);
    QFETCH(QString, colour);
    QCOMPARE(StatusRules::colourName(rule, value), colour);
}

void Tst_QmlRules::productKinds_data()
{
    QTest::addColumn<QVariant>("type");
    QTest::addColumn<QString>("valid");        // the kind on the "Valid" screen
    QTest::addColumn<QString>("alreadyValid"); // and on "AlreadyValid"

    QTest::newRow("single ticket") << QVariant(0) << "ticket" << "ticket";
    QTest::newRow("purse") << QVariant(2) << "purse" << "purse";
    QTest::newRow("journeys 5") << QVariant(5) << "journeys" << "journeys";
    QTest::newRow("period") << QVariant(8) << "period" << "period";
    QTest::newRow("journeys 12") << QVariant(12) << "journeys" << "journeys";
    QTest::newRow("transfer") << QVariant(14) << "transfer" << "transfer";
    QTest::newRow("capped purse") << QVariant(15) << "purse" << "";
    QTest::newRow("capped journeys") << QVariant(16) << "journeys" << "";
    QTest::newRow("no figures") << QVariant(1) << "" << "";
    QTest::newRow("unknown") << QVariant(99) << "" << "";
    QTest::newRow("as text") << QVariant("5") << "journeys" << "journeys";
    QTest::newRow("as a whole double") << QVariant(8.0) << "period" << "period";
    QTest::newRow("fraction") << QVariant(2.5) << "" << "";
    QTest::newRow("missing") << QVariant() << "" << "";
    QTest::newRow("word") << QVariant("purse") << "" << "";
    QTest::newRow("beyond an int") << QVariant(1e30) << "" << "";
    QTest::newRow("infinite") << QVariant("inf") << "" << "";
}

void Tst_QmlRules::productKinds()
{
    QFETCH(QVariant, type);
    QFETCH(QString, valid);
    QFETCH(QString, alreadyValid);
    QCOMPARE(ProductDetails::kind(type, false), valid);
    QCOMPARE(ProductDetails::kind(type, true), alreadyValid);
}

void Tst_QmlRules::periods_data()
{
    QTest::addColumn<QVariant>("minutes");
    QTest::addColumn<double>("count");
    QTest::addColumn<QString>("unit");

    QTest::newRow("one minute") << QVariant(1) << 1.0 << "min";
    QTest::newRow("no minutes") << QVariant(0) << 0.0 << "mins";
    QTest::newRow("two hours is still minutes") << QVariant(120) << 120.0 << "mins";
    QTest::newRow("just over two hours") << QVariant(121) << 2.0 << "hours";
    QTest::newRow("half hour rounds up") << QVariant(150) << 3.0 << "hours";
    QTest::newRow("a day is still hours") << QVariant(1440) << 24.0 << "hours";
    QTest::newRow("just over a day") << QVariant(1441) << 1.0 << "day";
    QTest::newRow("a day and a half") << QVariant(2160) << 2.0 << "days";
    QTest::newRow("thirty days") << QVariant(43200) << 30.0 << "days";
    QTest::newRow("as text") << QVariant("90") << 90.0 << "mins";
    QTest::newRow("unreadable") << QVariant("soon") << 0.0 << "mins";
    QTest::newRow("missing") << QVariant() << 0.0 << "mins";
}

void Tst_QmlRules::periods()
{
    QFETCH(QVariant, minutes);
    QFETCH(double, count);
    QFETCH(QString, unit);
    const QVariantMap period = ProductDetails::period(minutes);
    QCOMPARE(period.value("count").toDouble(), count);
    QCOMPARE(period.value("unit").toString(), unit);
}

void Tst_QmlRules::reportQr_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<int>("modules");
    QTest::addColumn<int>("pixels"); // per module in 340 px

    const QString svg = "data:image/svg,<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %1\">";
    QTest::newRow("version 1") << svg.arg(23) << 23 << 11;        // 29 modules with the quiet zone
    QTest::newRow("report size") << svg.arg(63) << 63 << 4;       // 69
    QTest::newRow("largest") << svg.arg(179) << 179 << 1;         // wider than the space: 1 px
    QTest::newRow("no view box") << QString("data:image/svg,<svg>") << 0 << 0;
    QTest::newRow("empty") << QString() << 0 << 0;
    QTest::newRow("absurd size") << svg.arg(123456789) << 0 << 0;
}

void Tst_QmlRules::reportQr()
{
    QFETCH(QString, uri);
    QFETCH(int, modules);
    QFETCH(int, pixels);
    QCOMPARE(ReportQr::modules(uri), modules);
    QCOMPARE(ReportQr::modulePixels(modules, 340), pixels);
    if (pixels > 0)
        QVERIFY((modules + 2 * ReportQr::extraModules()) * pixels <= 340 || pixels == 1);
}

void Tst_QmlRules::reportImageUrl()
{
    const QString svg = "<svg viewBox=\"0 0 23 23\"><path fill=\"#000000\" d=\"M1,1h1v1z\"/></svg>";
    const QString url = ReportQr::imageUrl("data:image/svg," + svg);
    QVERIFY(url.startsWith("data:image/svg+xml;charset=utf-8,"));
    // No "#" left to end the URL, and the SVG comes back whole.
    QVERIFY(!url.contains('#'));
    QCOMPARE(QUrl::fromPercentEncoding(url.mid(url.indexOf(',') + 1).toLatin1()), svg);
    QCOMPARE(ReportQr::imageUrl(""), QString());
    QCOMPARE(ReportQr::imageUrl("file:///etc/passwd,x"), QString());
}

void Tst_QmlRules::reachableFromQml()
{
    QmlRules::registerTypes();
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQml 2.15\nimport com.orvo.rules 1.0\nQtObject {\n"
                      "property string reason: StatusRules.colourName(\"validator\", \"offline\")\n"
                      "property string kind: ProductDetails.kind(16, true) + '|' + ProductDetails.kind(16, false)\n"
                      "property string period: ProductDetails.period(1441).count + ' ' + ProductDetails.period(1441).unit\n"
                      "property int modules: ReportQr.modules('data:image/svg,<svg viewBox=\"0 0 25 25\">')\n"
                      "property string sound: Sounds.valid\n}",
                      QUrl("qrc:/rules.qml"));
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    QCOMPARE(object->property("reason").toString(), QString("red"));
    QCOMPARE(object->property("kind").toString(), QString("|journeys"));
    QCOMPARE(object->property("period").toString(), QString("1 day"));
    QCOMPARE(object->property("modules").toInt(), 25);
    // The path the package installs the sound at (tools/soundgen writes it there).
    QCOMPARE(object->property("sound").toString(), QString("/opt/orvo/vovadudozad/Valid.wav"));
    QCOMPARE(Sounds::invalid(), QString("/opt/orvo/vovadudozad/Invalid.wav"));
}

QTEST_MAIN(Tst_QmlRules)
#include "tst_qmlrules.moc"

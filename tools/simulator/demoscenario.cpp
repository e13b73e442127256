#include "demoscenario.h"

#include "commandinterpreter.h"

#include <QDebug>
#include <QTimer>

DemoScenario::DemoScenario(CommandInterpreter& interpreter, QObject* parent)
    : QObject(parent)
    , m_interpreter(interpreter)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(4000);
    connect(m_timer, &QTimer::timeout, this, &DemoScenario::runNext);
}

QVector<DemoScenario::Step> DemoScenario::steps()
{
    return {
        { QStringLiteral("state init on"), QStringLiteral("Busy"),
          QStringLiteral("the validator starting up (Busy)") },
        { QStringLiteral("state init off"), QStringLiteral("ScanScreens"),
          QStringLiteral("the idle screen asking for a card or a ticket") },
        { QStringLiteral("tap valid 2"), QStringLiteral("Valid"),
          QStringLiteral("Valid: e-purse, fare deducted and balance left") },
        { QStringLiteral("tap valid 5"), QStringLiteral("Valid"),
          QStringLiteral("Valid: journeys left") },
        { QStringLiteral("tap valid 8"), QStringLiteral("Valid"),
          QStringLiteral("Valid: period pass with its expiry") },
        { QStringLiteral("tap 205 2"), QStringLiteral("Invalid"),
          QStringLiteral("Invalid: not enough balance") },
        { QStringLiteral("tap 207 5"), QStringLiteral("AlreadyValid"),
          QStringLiteral("AlreadyValid") },
        { QStringLiteral("scan valid"), QStringLiteral("Valid"),
          QStringLiteral("Valid: barcode ticket from Harbour to Old Town") },
        { QStringLiteral("retry"), QStringLiteral("Retry"),
          QStringLiteral("Retry: present the card again") },
        { QStringLiteral("state hasQr off"), QStringLiteral("ScanScreens"),
          QStringLiteral("the idle screen still (degraded, barcode reader lost)") },
        { QStringLiteral("state hasQr on"), QStringLiteral("ScanScreens"),
          QStringLiteral("the idle screen") },
        { QStringLiteral("state hasRoute off"), QStringLiteral("OutOfService"),
          QStringLiteral("OutOfService: no route") },
        { QStringLiteral("state hasRoute on"), QStringLiteral("ScanScreens"),
          QStringLiteral("the idle screen") },
        { QStringLiteral("rfid updating on"), QStringLiteral("OutOfOrder"),
          QStringLiteral("OutOfOrder #0003: RFID firmware updating") },
        { QStringLiteral("rfid updating off"), QStringLiteral("ScanScreens"),
          QStringLiteral("the idle screen") },
        { QStringLiteral("service down"), QStringLiteral("OutOfOrder"),
          QStringLiteral("OutOfOrder #0002: validation service down") },
        { QStringLiteral("service up"), QStringLiteral("ScanScreens"),
          QStringLiteral("the idle screen") },
        { QStringLiteral("ignition off"), QStringLiteral("ScreenSaver"),
          QStringLiteral("the screen saver") },
        { QStringLiteral("ignition on"), QStringLiteral("ScanScreens"),
          QStringLiteral("the idle screen") },
    };
}

void DemoScenario::setPauseMillis(int msec)
{
    m_timer->setInterval(qMax(0, msec));
}

int DemoScenario::pauseMillis() const
{
    return m_timer->interval();
}

bool DemoScenario::isRunning() const
{
    return m_next >= 0;
}

void DemoScenario::start()
{
    if (isRunning()) {
        qInfo().noquote().nospace() << "[Demo] already running";
        return;
    }
    qInfo().noquote().nospace() << "[Demo] " << steps().size() << " steps, " << m_timer->interval() << " ms apart";
    m_next = 0;
    runNext();
}

void DemoScenario::stop()
{
    if (!isRunning())
        return;
    m_timer->stop();
    m_next = -1;
    qInfo().noquote().nospace() << "[Demo] stopped";
}

void DemoScenario::runNext()
{
    const QVector<Step> all = steps();
    if (m_next < 0)
        return;
    if (m_next >= all.size()) {
        m_next = -1;
        qInfo().noquote().nospace() << "[Demo] finished";
        emit finished();
        return;
    }
    const Step& step = all.at(m_next);
    ++m_next;
    // The screen name in brackets is what scripts/run checks against the program's log.
    qInfo().noquote().nospace() << "[Demo] step " << m_next << "/" << all.size() << ": " << step.command
                                << "  -> expect " << step.expect << " [" << step.screen << "]";
    const QString result = m_interpreter.execute(step.command);
    if (result.startsWith(QLatin1String("error: ")))
        qWarning().noquote().nospace() << "[Demo] " << result;
    m_timer->start();
}

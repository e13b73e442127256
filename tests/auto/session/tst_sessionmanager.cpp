#include "config.h"
#include "logcapture.h"
#include "sessionactivity.h"
#include "sessionmanager.h"

#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QTouchEvent>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <ctime>
#include <sys/stat.h>
#include <utime.h>

namespace {

// Records the order of the session's signals.
struct SignalOrder
{
    QStringList names;
    QObject context; // disconnects when the recorder goes out of scope
    explicit SignalOrder(SessionManager& s)
    {
        QObject::connect(&s, &SessionManager::accessGranted, &context, [this] { names << "granted"; });
        QObject::connect(&s, &SessionManager::accessDenied, &context, [this] { names << "denied"; });
        QObject::connect(&s, &SessionManager::sessionActiveChanged, &context, [this] { names << "active"; });
        QObject::connect(&s, &SessionManager::expired, &context, [this] { names << "expired"; });
    }
};

} // namespace

class Tst_SessionManager : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<SessionManager> m_session;
    qint64 m_now = 0;

    void makeSession(const QString& pin)
    {
        m_session.reset();
        m_config.reset();
        QFile::remove(m_dir.filePath("gui.conf"));
        m_config = std::make_unique<Config>(m_dir.filePath("gui.conf"),
                                            QVariantMap { { "gui/settingsPin", pin } });
        m_session = std::make_unique<SessionManager>(*m_config);
        m_now = 1000;
        m_session->setClock([this] { return m_now; });
    }
    void expire() { QVERIFY(QMetaObject::invokeMethod(m_session.get(), "onExpired")); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { makeSession("4711"); }
    void cleanup()
    {
        m_session.reset();
        m_config.reset();
    }

    void correctPinOpensSession()
    {
        SignalOrder order(*m_session);
        QTest::ignoreMessage(QtInfoMsg, "[SessionManager] Login requested with PIN");
        QTest::ignoreMessage(QtInfoMsg, "[SessionManager] User logged-in : Maintenance, Technician");
        m_session->loginRequest("4711");

        QCOMPARE(order.names, (QStringList { "granted", "active" }));
        QVERIFY(m_session->sessionActive());
        const auto user = m_session->user();
        QVERIFY(user.has_value());
        QCOMPARE(user->id, 1);
        QCOMPARE(user->firstName, QString("Maintenance"));
        QCOMPARE(user->lastName, QString("Technician"));
        const QTimer& timer = m_session->sessionTimer();
        QVERIFY(timer.isActive());
        QVERIFY(timer.isSingleShot());
        QCOMPARE(timer.interval(), 600000);
        QVERIFY(m_session->remainingTime() > 590000);
    }

    void wrongPinIsRefused_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("entered");
        QTest::newRow("wrong") << "4711" << "1234";
        QTest::newRow("prefix") << "4711" << "471";
        QTest::newRow("trailing blank") << "4711" << "4711 ";
        QTest::newRow("empty entry") << "4711" << "";
        QTest::newRow("no PIN configured, empty entry") << "" << "";
        QTest::newRow("no PIN configured, any entry") << "" << "0000";
    }
    void wrongPinIsRefused()
    {
        QFETCH(QString, configured);
        QFETCH(QString, entered);
        makeSession(configured);
        SignalOrder order(*m_session);
        QTest::ignoreMessage(QtWarningMsg, "[SessionManager] WARN: Access denied");
        m_session->loginRequest(entered);
        QCOMPARE(order.names, QStringList { "denied" });
        QVERIFY(!m_session->sessionActive());
        QVERIFY(!m_session->user().has_value());
        QVERIFY(!m_session->sessionTimer().isActive());
    }

    void enteredPinNeverReachesTheLog()
    {
        LogCapture log;
        m_session->loginRequest("987654");
        m_session->loginRequest("4711");
        QVERIFY(m_session->sessionActive());
        for (const QString& line : log.all()) {
            QVERIFY2(!line.contains("987654") && !line.contains("4711"), qPrintable(line));
        }
        QCOMPARE(log.countContaining("[SessionManager] Entered PIN    : 6 character(s)"), 1);
        QCOMPARE(log.countContaining("[SessionManager] Entered PIN    : 4 character(s)"), 1);
    }

    void fiveWrongPinsLockEveryLoginForAMinute()
    {
        for (int i = 0; i < 5; ++i)
            m_session->loginRequest("0000");

        QSignalSpy denied(m_session.get(), &SessionManager::accessDenied);
        QSignalSpy granted(m_session.get(), &SessionManager::accessGranted);
        {
            LogCapture log;
            m_now += 59999;
            m_session->loginRequest("4711");
            QCOMPARE(denied.count(), 1);
            QCOMPARE(granted.count(), 0);
            QVERIFY(!m_session->sessionActive());
            int warnings = 0;
            for (const QString& line : log.all())
                warnings += line.contains("WARN") ? 1 : 0;
            QCOMPARE(warnings, 1);
        }

        m_now += 1;
        m_session->loginRequest("4711");
        QCOMPARE(granted.count(), 1);
        QVERIFY(m_session->sessionActive());
    }

    void lockCountsOnlyWrongPinsInARow()
    {
        QSignalSpy granted(m_session.get(), &SessionManager::accessGranted);
        // A correct login in between starts the count afresh.
        for (int i = 0; i < 4; ++i)
            m_session->loginRequest("0000");
        m_session->loginRequest("4711");
        for (int i = 0; i < 4; ++i)
            m_session->loginRequest("0000");
        m_session->loginRequest("4711");
        QCOMPARE(granted.count(), 2);

        // After a lock-out has run out, one wrong PIN does not lock again.
        for (int i = 0; i < 5; ++i)
            m_session->loginRequest("0000");
        m_now += 60000;
        m_session->loginRequest("0000");
        m_session->loginRequest("4711");
        QCOMPARE(granted.count(), 3);
    }

    void lockoutDoublesUpToAnHour()
    {
        // Each further run of five wrong PINs locks twice as long as the one before, at most
        // an hour; the PIN page reads the seconds left.
        QSignalSpy changed(m_session.get(), &SessionManager::lockoutChanged);
        const QList<int> expected { 60, 120, 240, 480, 960, 1920, 3600, 3600 };
        for (int seconds : expected) {
            for (int i = 0; i < 5; ++i) {
                QVERIFY(!m_session->lockedOut());
                m_session->loginRequest("0000");
            }
            QVERIFY(m_session->lockedOut());
            QCOMPARE(m_session->lockoutRemainingSec(), seconds);
            QVERIFY(m_session->lockoutTimer().isActive());
            QCOMPARE(m_session->lockoutTimer().interval(), 1000);
            m_now += qint64(seconds) * 1000 - 1;
            QCOMPARE(m_session->lockoutRemainingSec(), 1);
            m_now += 1;
            // The tick announces the end and stops.
            changed.clear();
            QVERIFY(QMetaObject::invokeMethod(m_session.get(), "onLockoutTick"));
            QCOMPARE(changed.count(), 1);
            QVERIFY(!m_session->lockedOut());
            QVERIFY(!m_session->lockoutTimer().isActive());
        }

        // A correct PIN starts afresh: the next run locks for a minute again.
        m_session->loginRequest("4711");
        QVERIFY(m_session->sessionActive());
        for (int i = 0; i < 5; ++i)
            m_session->loginRequest("0000");
        QCOMPARE(m_session->lockoutRemainingSec(), 60);
    }

    void lockoutSurvivesRestart()
    {
        // Tried from outside: right after a restart the lock-out was gone.
        QFile::remove(m_dir.filePath(SessionManager::StateFileName));
        const auto start = [this] {
            m_session = std::make_unique<SessionManager>(*m_config, m_dir.path());
            m_session->setClock([this] { return m_now; });
        };
        start();
        for (int i = 0; i < 10; ++i) { // two runs: the second locks for two minutes
            m_session->loginRequest("0000");
            m_now += i == 4 ? 60000 : 0;
        }
        QCOMPARE(m_session->lockoutRemainingSec(), 120);

        m_now += 500000; // the new process's clock has nothing to do with the old one's
        start();
        QVERIFY(m_session->lockedOut());
        QVERIFY(m_session->lockoutRemainingSec() >= 110 && m_session->lockoutRemainingSec() <= 120);
        QVERIFY(m_session->lockoutTimer().isActive());
        QSignalSpy granted(m_session.get(), &SessionManager::accessGranted);
        m_session->loginRequest("4711");
        QCOMPARE(granted.count(), 0);

        // The count of wrong PINs and of runs survives too: three now, two after a restart
        // lock, for four minutes.
        m_now += 121000;
        for (int i = 0; i < 3; ++i)
            m_session->loginRequest("0000");
        QVERIFY(!m_session->lockedOut());
        start();
        QVERIFY(!m_session->lockedOut());
        m_session->loginRequest("0000");
        m_session->loginRequest("0000");
        QCOMPARE(m_session->lockoutRemainingSec(), 240);

        // A garbled state file is read as no lock-out, not as a crash or an endless one.
        m_session.reset();
        {
            QFile file(m_dir.filePath(SessionManager::StateFileName));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[login]\nfailed=-7\nlockouts=zz\nlockedUntilUtcMs=99999999999999999\nlockoutMs=-1\n");
        }
        start();
        QVERIFY(!m_session->lockedOut());
        m_session->loginRequest("4711");
        QCOMPARE(granted.count(), 0); // the spy watched the earlier object
        QVERIFY(m_session->sessionActive());
    }

    // An empty lock beside the state file (a power cut while it was being written) made the
    // first wrong PIN freeze the screen for half a minute. The refusal comes at once and the
    // count is kept once the lock turns out to be a leftover.
    void wrongPinNeverWaitsOnALock()
    {
        const QString state = m_dir.filePath(SessionManager::StateFileName);
        QFile::remove(state);
        m_session = std::make_unique<SessionManager>(*m_config, m_dir.path());
        m_session->setClock([this] { return m_now; });
        const QString lock = state + QStringLiteral(".lock");
        {
            QFile f(lock);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QSignalSpy denied(m_session.get(), &SessionManager::accessDenied);
        m_session->loginRequest("0000");
        QCOMPARE(denied.count(), 1);
        QVERIFY(m_session->isSavePending());
        QVERIFY(QFile::exists(lock));

        const time_t then = time(nullptr) - 60;
        const utimbuf times { then, then };
        QCOMPARE(::utime(QFile::encodeName(lock).constData(), &times), 0);
        QTRY_VERIFY(!m_session->isSavePending());
        QVERIFY(!QFile::exists(lock));
        QCOMPARE(QSettings(state, QSettings::IniFormat).value("login/failed").toInt(), 1);
    }

    // Anyone who could rewrite it could reset the lock-out: owner only, under any umask, from
    // the first write on and across the replacements of later ones.
    void stateFileIsPrivate()
    {
        const QString state = m_dir.filePath(SessionManager::StateFileName);
        QFile::remove(state);
        const mode_t before = ::umask(0);
        m_session = std::make_unique<SessionManager>(*m_config, m_dir.path());
        m_session->setClock([this] { return m_now; });
        m_session->loginRequest("0000");
        const QFile::Permissions first = QFileInfo(state).permissions();
        m_session->loginRequest("0000");
        ::umask(before);
        QCOMPARE(first, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(QFileInfo(state).permissions(), first);
        QCOMPARE(QSettings(state, QSettings::IniFormat).value("login/failed").toInt(), 2);
    }

    void expiryEndsSession()
    {
        m_session->loginRequest("4711");
        SignalOrder order(*m_session);
        QTest::ignoreMessage(QtInfoMsg, "[SessionManager] Session expired");
        expire();
        QCOMPARE(order.names, (QStringList { "active", "expired" }));
        QVERIFY(!m_session->sessionActive());
        QVERIFY(!m_session->user().has_value());

        // A stale timeout after the session ended announces nothing.
        expire();
        QCOMPARE(order.names.size(), 2);
    }

    void secondLoginRestartsTimer()
    {
        m_session->loginRequest("4711");
        // Until the session has visibly run down a little.
        QTRY_VERIFY(m_session->remainingTime() < m_session->sessionTimer().interval() - 20);
        const int before = m_session->remainingTime();
        SignalOrder order(*m_session);
        m_session->loginRequest("4711");
        QCOMPARE(order.names, (QStringList { "granted", "active" }));
        QVERIFY2(m_session->remainingTime() > before,
                 qPrintable(QString("%1 <= %2").arg(m_session->remainingTime()).arg(before)));
        QCOMPARE(m_session->sessionTimer().interval(), 600000);
    }

    void logout()
    {
        {
            LogCapture log;
            SignalOrder order(*m_session);
            m_session->logoutRequest();
            QVERIFY(order.names.isEmpty());
            QCOMPARE(log.countContaining("[SessionManager]"), 0);
        }
        m_session->loginRequest("4711");
        SignalOrder order(*m_session);
        QTest::ignoreMessage(QtInfoMsg, "[SessionManager] User logged-out : Maintenance, Technician");
        m_session->logoutRequest();
        QCOMPARE(order.names, QStringList { "active" });
        QVERIFY(!m_session->sessionActive());
        QVERIFY(!m_session->sessionTimer().isActive());
        QCOMPARE(m_session->remainingTime(), -1);
    }

    void resetTimerOnlyWithinSession()
    {
        m_session->resetTimer();
        QVERIFY(!m_session->sessionTimer().isActive());
        m_session->loginRequest("4711");
        m_session->resetTimer();
        QVERIFY(m_session->sessionTimer().isActive());
        QCOMPARE(m_session->sessionTimer().interval(), 600000);
    }

    // The ten minutes count from the technician's last touch in the maintenance area, not
    // from the login; the filter only looks at the events and never takes one.
    void touchInMaintenanceAreaRestartsTimer_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("inArea");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("press in the area") << int(QEvent::MouseButtonPress) << true << true;
        QTest::newRow("touch in the area") << int(QEvent::TouchBegin) << true << true;
        QTest::newRow("key in the area") << int(QEvent::KeyPress) << true << true;
        QTest::newRow("pointer moving, no press") << int(QEvent::MouseMove) << true << false;
        QTest::newRow("press on a passenger screen") << int(QEvent::MouseButtonPress) << false << false;
    }
    void touchInMaintenanceAreaRestartsTimer()
    {
        QFETCH(int, kind);
        QFETCH(bool, inArea);
        QFETCH(bool, restarts);

        SessionActivity activity(*m_session, [&] { return inArea; });
        QObject window;
        window.installEventFilter(&activity);
        m_session->loginRequest("4711");
        QVERIFY(QTest::qWaitFor([this] { return m_session->remainingTime() < SessionManager::SessionTimeoutMs - 30; }, 5000));
        const int before = m_session->remainingTime();

        std::unique_ptr<QEvent> event;
        const QPointF at(10, 10);
        if (kind == QEvent::TouchBegin)
            event = std::make_unique<QTouchEvent>(QEvent::TouchBegin);
        else if (kind == QEvent::KeyPress)
            event = std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier);
        else
            event = std::make_unique<QMouseEvent>(QEvent::Type(kind), at, at, at,
                                                  kind == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                                                  kind == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                                                  Qt::NoModifier);
        QCoreApplication::sendEvent(&window, event.get());
        const int after = m_session->remainingTime();
        if (restarts)
            QVERIFY2(after > before, qPrintable(QString("%1 <= %2").arg(after).arg(before)));
        else
            QVERIFY2(after <= before, qPrintable(QString("%1 > %2").arg(after).arg(before)));

        // Without a session a touch starts no timer that could later end one.
        m_session->logoutRequest();
        QCoreApplication::sendEvent(&window, event.get());
        QVERIFY(!m_session->sessionTimer().isActive());
    }

    void pinChangeKeepsOpenSession()
    {
        m_session->loginRequest("4711");
        SignalOrder order(*m_session);
        m_config->set("gui/settingsPin", "2468");
        QVERIFY(m_session->sessionActive());
        QCOMPARE(m_session->user()->id, 1);
        QCOMPARE(m_session->user()->pin, QString("2468"));
        QVERIFY(order.names.isEmpty());

        m_session->logoutRequest();
        m_session->loginRequest("4711");
        QVERIFY(!m_session->sessionActive());
        m_session->loginRequest("2468");
        QVERIFY(m_session->sessionActive());
    }
};

QTEST_GUILESS_MAIN(Tst_SessionManager)
#include "tst_sessionmanager.moc"

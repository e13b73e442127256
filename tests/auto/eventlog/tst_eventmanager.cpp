#include "config.h"
#include "event.h"
#include "eventlistmodel.h"
#include "eventmanager.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

struct Entry
{
    QString name;
    QDateTime timestamp;
};

QStringList names(const QVariant& data)
{
    QStringList out;
    for (QObject* o : data.value<QList<QObject*>>())
        out << o->property("name").toString();
    return out;
}

QStringList names(const QList<Event*>& events)
{
    QStringList out;
    for (const Event* e : events)
        out << e->name();
    return out;
}

} // namespace

class Tst_EventManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Config> m_config;
    // A fixed "now" for the prune and the periods: Sunday 15 March 2026, 12:00 local time.
    const QDateTime m_now { QDate(2026, 3, 15), QTime(12, 0) };

    QString iniPath() const { return m_dir->filePath("events.ini"); }

    std::unique_ptr<EventManager> open()
    {
        return std::make_unique<EventManager>(*m_config, m_dir->path(), [this] { return m_now; });
    }

    // Writes the file the way the log itself does, so loading can be tried on any content.
    void writeFile(const QList<Entry>& entries, const QVariantMap& extra = {})
    {
        QSettings s(iniPath(), QSettings::NativeFormat);
        s.clear();
        s.beginWriteArray("events");
        for (int i = 0; i < entries.size(); ++i) {
            s.setArrayIndex(i);
            s.setValue("category", "General");
            s.setValue("name", entries.at(i).name);
            s.setValue("desc", QString());
            s.setValue("timestamp", entries.at(i).timestamp);
        }
        s.endArray();
        for (auto it = extra.begin(); it != extra.end(); ++it)
            s.setValue(it.key(), it.value());
        s.sync();
    }

    QList<Entry> recent(int count)
    {
        QList<Entry> list;
        for (int i = 0; i < count; ++i)
            list.append({ QString("e%1").arg(i), m_now.addSecs(-86400 + i) });
        return list;
    }

    int fileSize()
    {
        QSettings s(iniPath(), QSettings::NativeFormat);
        return s.value("events/size").toInt();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_config = std::make_unique<Config>(m_dir->filePath("gui.conf"), QVariantMap {});
    }
    void cleanup()
    {
        m_config.reset();
        m_dir.reset();
    }

    void loadsOnlyTheLastThousand()
    {
        writeFile(recent(1500));
        QTest::ignoreMessage(QtInfoMsg, "[EventManager] Loading saved events : from=500 to=1500");
        auto log = open();
        QCOMPARE(log->events().size(), 1000);
        QCOMPARE(log->events().first()->name(), QString("e500"));
        QCOMPARE(log->events().last()->name(), QString("e1499"));
    }

    void pushKeepsAtMost1001()
    {
        writeFile(recent(1000));
        auto log = open();
        log->push(new Event("Board", "p1", {}, m_now));
        QCOMPARE(log->events().size(), 1001);
        QCOMPARE(log->events().first()->name(), QString("e0"));

        QPointer<Event> oldest = log->events().first();
        log->push(new Event("Board", "p2", {}, m_now));
        QCOMPARE(log->events().size(), 1001);
        QCOMPARE(log->events().first()->name(), QString("e1"));
        QCOMPARE(log->events().last()->name(), QString("p2"));
        log->waitForWrites();
        QCOMPARE(fileSize(), 1001);
        QVERIFY(!names(log->data()).contains("e0"));

        // Dropped events die later, so a QML row still showing one is not left dangling.
        QVERIFY(!oldest.isNull());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(oldest.isNull());
    }

    void pruneOld_data()
    {
        QTest::addColumn<qint64>("ageMs");
        QTest::addColumn<bool>("kept");
        const qint64 thirtyDays = 30LL * 86400 * 1000;
        QTest::newRow("exactly 30 days") << thirtyDays << false;
        QTest::newRow("one ms older") << thirtyDays + 1 << false;
        QTest::newRow("one second younger") << thirtyDays - 1000 << true;
        QTest::newRow("a day") << qint64(86400000) << true;
    }
    void pruneOld()
    {
        QFETCH(qint64, ageMs);
        QFETCH(bool, kept);
        // The extra key shows whether the file was rewritten: a rewrite drops it.
        writeFile({ { "old", m_now.addMSecs(-ageMs) }, { "new", m_now } }, { { "extra/marker", 1 } });
        auto log = open();
        // Nothing goes at start: the owner prunes once the clock can be trusted.
        QCOMPARE(names(log->events()), (QStringList { "old", "new" }));
        QTest::ignoreMessage(QtInfoMsg, QString("[EventManager] Deleted %1 event(s) older than 2026-02-13 12:00:00")
                                            .arg(kept ? 0 : 1).toUtf8());
        log->pruneOld();
        log->waitForWrites();
        QCOMPARE(names(log->events()), kept ? (QStringList { "old", "new" }) : QStringList { "new" });
        QSettings s(iniPath(), QSettings::NativeFormat);
        QCOMPARE(s.contains("extra/marker"), kept);
    }

    void nameFilter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("ign") << "ign" << QStringList { "Ignition off", "Ignition on" };
        QTest::newRow("case") << "MAINT" << QStringList { "Maintenance login" };
        QTest::newRow("empty") << "" << QStringList { "Ignition off", "Maintenance login", "Ignition on" };
        QTest::newRow("none") << "xyz" << QStringList {};
    }
    void nameFilter()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        auto log = open();
        log->push(new Event("Board", "Ignition on", {}, m_now.addSecs(-30)));
        log->push(new Event("General", "Maintenance login", {}, m_now.addSecs(-20)));
        log->push(new Event("Board", "Ignition off", {}, m_now.addSecs(-10)));
        QSignalSpy changed(log.get(), &EventManager::dataChanged);
        log->applyFilter(filter);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(names(log->data()), expected);
    }

    void periodFilter_data()
    {
        QTest::addColumn<QString>("period");
        QTest::addColumn<QStringList>("expected");
        const QStringList all { "later today", "now", "59 min", "90 min", "3 h", "6 h", "yesterday late",
                                "yesterday", "6 days", "8 days", "20 days" };
        QTest::newRow("Last hour") << "Last hour" << QStringList { "now", "59 min" };
        QTest::newRow("Last 2 hours") << "Last 2 hours" << QStringList { "now", "59 min", "90 min" };
        QTest::newRow("Last 5 hours") << "Last 5 hours" << QStringList { "now", "59 min", "90 min", "3 h" };
        QTest::newRow("Today") << "Today" << QStringList { "later today", "now", "59 min", "90 min", "3 h", "6 h" };
        QTest::newRow("Yesterday") << "Yesterday" << QStringList { "yesterday" };
        QTest::newRow("Last week") << "Last week"
                                   << QStringList { "now", "59 min", "90 min", "3 h", "6 h", "yesterday late",
                                                    "yesterday", "6 days" };
        QTest::newRow("Last month") << "Last month" << QStringList(all.mid(1));
        QTest::newRow("All history") << "All history" << all;
    }
    void periodFilter()
    {
        QFETCH(QString, period);
        QFETCH(QStringList, expected);
        auto log = open();
        const QDate today = m_now.date();
        // Pushed out of time order: the visible list sorts by time, not by arrival.
        log->push(new Event("x", "now", {}, m_now));
        log->push(new Event("x", "20 days", {}, m_now.addDays(-20)));
        log->push(new Event("x", "8 days", {}, QDateTime(today.addDays(-8), QTime(23, 0))));
        log->push(new Event("x", "6 days", {}, QDateTime(today.addDays(-7), QTime(0, 0))));
        log->push(new Event("x", "yesterday", {}, QDateTime(today.addDays(-1), QTime(8, 0))));
        // Ranges end at hh:59:59.000, so the last half second of a day belongs to none.
        log->push(new Event("x", "yesterday late", {}, QDateTime(today.addDays(-1), QTime(23, 59, 59, 500))));
        log->push(new Event("x", "6 h", {}, m_now.addSecs(-6 * 3600)));
        log->push(new Event("x", "3 h", {}, m_now.addSecs(-3 * 3600)));
        log->push(new Event("x", "90 min", {}, m_now.addSecs(-5400)));
        log->push(new Event("x", "59 min", {}, m_now.addSecs(-3540)));
        log->push(new Event("x", "later today", {}, QDateTime(today, QTime(23, 59, 58))));
        log->push(new Event("x", "today, last half second", {}, QDateTime(today, QTime(23, 59, 59, 500))));
        log->applyFilterPeriod("Today");
        log->applyFilterPeriod(period);
        QStringList shown = names(log->data());
        shown.removeAll("today, last half second"); // in the future of the fixed clock except for "All history"
        if (period == "All history")
            QCOMPARE(names(log->data()).first(), QString("today, last half second"));
        QCOMPARE(shown, expected);
    }

    void rangeWithoutEnd()
    {
        auto log = open();
        log->push(new Event("x", "before", {}, m_now.addSecs(-10)));
        log->push(new Event("x", "at", {}, m_now));
        log->push(new Event("x", "after", {}, m_now.addDays(400)));
        log->applyFilter(m_now);
        QCOMPARE(names(log->data()), (QStringList { "after", "at" }));
    }

    void modelFollowsTheLog()
    {
        // The page's list, checked by the model tester through pushes, filters and clears. A row
        // that stays keeps its index (the view keeps its delegate, expanded or not); nothing
        // resets the whole model.
        writeFile(recent(3)); // e0, e1, e2, a day old
        auto log = open();
        QAbstractItemModel* model = log->model();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto shown = [model] {
            QStringList out;
            for (int row = 0; row < model->rowCount(); ++row)
                out << model->index(row, 0).data(EventListModel::NameRole).toString();
            return out;
        };
        QCOMPARE(shown(), (QStringList { "e2", "e1", "e0" }));
        QSignalSpy reset(model, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        const QPersistentModelIndex e1 = model->index(1, 0);

        log->push(new Event("Board", "Ignition on", "engine", m_now));
        QCOMPARE(shown(), (QStringList { "Ignition on", "e2", "e1", "e0" }));
        QCOMPARE(inserted.count(), 1);
        QVERIFY(e1.isValid());
        QCOMPARE(e1.row(), 2);
        const QModelIndex top = model->index(0, 0);
        QCOMPARE(top.data(EventListModel::CategoryRole).toString(), QString("Board"));
        QCOMPARE(top.data(EventListModel::DescriptionRole).toString(), QString("engine"));
        QCOMPARE(top.data(EventListModel::TimestampRole).toDateTime(), m_now);
        QCOMPARE(top.data(EventListModel::DayRole).toString(), QString("2026-03-15"));
        QCOMPARE(model->roleNames().value(EventListModel::TimestampRole), QByteArray("timestamp"));

        log->applyFilter("IGN");
        QCOMPARE(shown(), QStringList { "Ignition on" });
        log->applyFilter("");
        log->applyFilter(2); // events carry no severity: every choice lists them all
        QCOMPARE(shown(), (QStringList { "Ignition on", "e2", "e1", "e0" }));
        log->applyFilterPeriod("Last hour");
        QCOMPARE(shown(), QStringList { "Ignition on" });
        log->push(new Event("Board", "Ignition off", {}, m_now.addDays(-2))); // outside the period
        QCOMPARE(shown(), QStringList { "Ignition on" });
        log->applyFilterPeriod("All history");
        QCOMPARE(shown(), (QStringList { "Ignition on", "e2", "e1", "e0", "Ignition off" }));

        log->clear(m_now.addSecs(-3600));
        QCOMPARE(shown(), QStringList { "Ignition on" });
        log->clear();
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(reset.count(), 0);
    }

    void persistsAcrossRestart()
    {
        const QDateTime when = m_now.addMSecs(-1234);
        const QString desc = "User ID : 1\nFirst name : Μαρία; \"quoted\" = %1\nLast name : a\\b";
        {
            auto log = open();
            log->push(new Event("General", "Maintenance login", desc, when));
            log->push(new Event("Board", "Ignition on", {}, m_now));
        }
        auto log = open();
        QCOMPARE(log->events().size(), 2);
        const Event* e = log->events().first();
        QCOMPARE(e->category(), QString("General"));
        QCOMPARE(e->name(), QString("Maintenance login"));
        QCOMPARE(e->description(), desc);
        QCOMPARE(e->timestamp(), when);
        QCOMPARE(log->events().last()->category(), QString("Board"));
    }

    void writesOffTheCallerKeepTheirOrder()
    {
        // A burst of pushes: the writer thread may skip states in between, never the last
        // one, and never writes an older state after a newer one.
        auto log = open();
        for (int i = 0; i < 300; ++i)
            log->push(new Event("Board", QString("burst %1").arg(i), {}, m_now));
        log->waitForWrites();
        QCOMPARE(fileSize(), 300);
        QSettings s(iniPath(), QSettings::NativeFormat);
        QCOMPARE(s.value("events/300/name").toString(), QString("burst 299"));

        // Destruction waits for the last write.
        log->push(new Event("Board", "last", {}, m_now));
        log.reset();
        QCOMPARE(fileSize(), 301);
    }

    void staleLockRemovedAtStart_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("ageSec");
        QTest::addColumn<bool>("held");
        QTest::addColumn<bool>("removed");
        // A power cut between creating the lock and filling it in: the writer would wait for
        // it to grow old (start-up took 11 s longer).
        QTest::newRow("empty, left over") << QByteArray() << 3600 << false << true;
        QTest::newRow("garbage, left over") << QByteArray("\x00\xff\n\n") << 3600 << false << true;
        QTest::newRow("names a process, left over") << QByteArray("1\nVovadudozAD\nhost\n") << 3600 << false << true;
        // Another writer that has just created its lock and not yet written its process id into
        // it, or that is at work, keeps it.
        QTest::newRow("empty, just created") << QByteArray() << 0 << false << false;
        QTest::newRow("held by a writer") << QByteArray() << 3600 << true << false;
    }
    void staleLockRemovedAtStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, ageSec);
        QFETCH(bool, held);
        QFETCH(bool, removed);
        writeFile(recent(3));
        const QString lock = iniPath() + ".lock";
        {
            QFile f(lock);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const time_t then = time(nullptr) - ageSec;
        const utimbuf times { then, then };
        QCOMPARE(::utime(QFile::encodeName(lock).constData(), &times), 0);
        const int fd = held ? ::open(QFile::encodeName(lock).constData(), O_RDONLY | O_CLOEXEC) : -1;
        if (held)
            QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        auto log = open();
        QCOMPARE(QFile::exists(lock), !removed);
        QCOMPARE(log->events().size(), 3);
        if (!removed)
            QFile::remove(lock);
        if (fd >= 0)
            ::close(fd);
    }

    // A clock far ahead (a failed real-time clock) that the board or NTP vouches for must not
    // erase the history: only what is old by the clock and before the newest entry found at
    // start goes. This run's own entries carry the suspect clock and do not count.
    void pruneNeverFollowsAClockJump_data()
    {
        QTest::addColumn<int>("clockAheadDays");
        QTest::addColumn<QStringList>("kept");
        const QStringList recent { "10 days", "1 day", "started" };
        QTest::newRow("clock right") << 0 << recent;
        QTest::newRow("clock 20 days ahead") << 20 << recent;
        QTest::newRow("clock 10 years ahead") << 3653 << recent;
    }
    void pruneNeverFollowsAClockJump()
    {
        QFETCH(int, clockAheadDays);
        QFETCH(QStringList, kept);
        writeFile({ { "40 days", m_now.addDays(-40) }, { "10 days", m_now.addDays(-10) }, { "1 day", m_now.addDays(-1) } });
        const QDateTime clock = m_now.addDays(clockAheadDays);
        EventManager log(*m_config, m_dir->path(), [clock] { return clock; });
        log.push(new Event("General", "started", {}, clock));
        log.pruneOld();
        QCOMPARE(names(log.events()), kept);
    }

    // It holds the names of technicians: owner only, whatever the umask.
    void fileIsPrivate()
    {
        const mode_t before = ::umask(0);
        {
            auto log = open();
            log->push(new Event("General", "Maintenance login", "First name : Maria", m_now));
        }
        ::umask(before);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(iniPath()).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), 0600);
    }

    void clearAll()
    {
        auto log = open();
        QSignalSpy changed(log.get(), &EventManager::dataChanged);
        log->clear();
        QCOMPARE(changed.count(), 0);
        QVERIFY(!QFile::exists(iniPath()) || fileSize() == 0);

        log->push(new Event("x", "a", {}, m_now));
        QPointer<Event> a = log->events().first();
        changed.clear();
        log->clear();
        QCOMPARE(changed.count(), 1);
        QVERIFY(log->events().isEmpty());
        QVERIFY(names(log->data()).isEmpty());
        log->waitForWrites();
        QCOMPARE(fileSize(), 0);
        QVERIFY(!a.isNull());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(a.isNull());
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("expected");
        const QStringList three { "e0", "e1", "e2" };
        QTest::newRow("size line lost") << QByteArray("size=3\n") << three;
        QTest::newRow("size too large") << QByteArray("size=99999999\n") << three;
        QTest::newRow("size not a number") << QByteArray("size=abc\n") << three;
        QTest::newRow("size too small") << QByteArray("size=1\n") << three;
    }
    void damagedFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        writeFile(recent(3));
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        QVERIFY(text.contains("size=3\n"));
        text.replace("size=3\n", content == "size=3\n" ? QByteArray() : content);
        text.append("\n"); // a new length, so no cached copy of the old file is used
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();

        auto log = open();
        QCOMPARE(names(log->events()), expected);
        // The next write repairs the file.
        log->push(new Event("x", "fresh", {}, m_now));
        log.reset();
        log = open();
        QCOMPARE(names(log->events()), expected + QStringList { "fresh" });
    }

    void truncatedOrGarbledFile_data()
    {
        QTest::addColumn<int>("keep");     // bytes of the good file kept; -1 keeps all
        QTest::addColumn<QByteArray>("junk");
        QTest::newRow("cut inside the last entry") << -2 << QByteArray();
        QTest::newRow("binary junk appended") << -1 << QByteArray("\x00\xff\x01[[[=\n\x80\x81==\n", 13);
        QTest::newRow("junk section") << -1 << QByteArray("\n[events\nevents/x=@Variant(\\0\\0\\xff\n");
    }
    void truncatedOrGarbledFile()
    {
        QFETCH(int, keep);
        QFETCH(QByteArray, junk);
        writeFile(recent(5));
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        if (keep == -2) // cut in the middle of the last entry, losing the size line with it
            text.truncate(text.indexOf("5\\timestamp") + 15);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text + junk);
        f.close();

        auto log = open();
        const QStringList got = names(log->events());
        for (const char* n : { "e0", "e1", "e2", "e3" })
            QVERIFY2(got.contains(n), qPrintable(got.join(',')));
        for (const Event* e : log->events())
            QVERIFY(e->timestamp().isValid());
    }

    void pureGarbageGivesEmptyLog()
    {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919) % 251);
        f.write(junk);
        f.close();
        auto log = open();
        QVERIFY(log->events().isEmpty());
        log->push(new Event("x", "a", {}, m_now));
        log.reset();
        QCOMPARE(names(open()->events()), QStringList { "a" });
    }

    void loginAndLogoutTexts()
    {
        const QDateTime when(QDate(2026, 3, 15), QTime(9, 30));
        // A name holding a placeholder must not pull the following fields into itself.
        const EventLogin login(User { 7, "An%2na", "Pap", "1" }, when);
        QCOMPARE(login.category(), QString("General"));
        QCOMPARE(login.name(), QString("Maintenance login"));
        QCOMPARE(login.description(), QString("User ID : 7\nFirst name : An%2na\nLast name : Pap\nDate : ")
                                          + when.toString(Qt::TextDate));
        QCOMPARE(login.timestamp(), when);
        const EventLogout logout(when);
        QCOMPARE(logout.name(), QString("Maintenance logout"));
        QCOMPARE(logout.description(), "Date : " + when.toString(Qt::TextDate));
    }
};

QTEST_GUILESS_MAIN(Tst_EventManager)
#include "tst_eventmanager.moc"

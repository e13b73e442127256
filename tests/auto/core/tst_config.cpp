#include "config.h"
#include "logcapture.h"

#include <QFile>
#include <QJsonDocument>
#include <QLockFile>
#include <QScopeGuard>
#include <QSettings>
#include <QSysInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

// The shape of the program's own table: four groups, typed values.
const QVariantMap Defaults {
    { "log/level", 2 }, { "log/syslog", true }, { "log/stderr", true }, { "log/color", false },
    { "mqtt/host", "localhost" }, { "mqtt/port", 1883 }, { "mqtt/username", QString() },
    { "mqtt/password", QString() }, { "mqtt/base", "orvo/ui" }, { "gui/settingsPin", QString() },
    { "gui/showCursor", true }, { "gui/deviceId", "/etc/serialnumber" }, { "gui/locale", "el_GR" },
    { "gui/displayOffMin", 3 }, { "gui/shutdownDelaySec", 60 }, { "gui/showErrorDesc", false },
    { "gui/screenSaverBg", "black" }, { "gui/screenSaverImg", "qrc:/qml/images/Icons/orvo.png" },
    { "gui/animSwitchSec", 0 }, { "topics/barcode", "orvo/barcode" }, { "topics/blm", "orvo/blm" },
    { "topics/board", "orvo/board" }, { "topics/inspector", "orvo/inspector" },
    { "topics/network", "orvo/network" }, { "topics/device", "orvo/device" },
};

QStringList g_messages;


// Writes the file the way editors do: a new file renamed over the old one.
void replaceFile(const QString& path, const QByteArray& content)
{
    const QString tmp = path + QStringLiteral(".swp");
    QFile f(tmp);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    QVERIFY(::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) == 0);
}

// Sets a file's modification time that many seconds into the past.
void age(const QString& path, int seconds)
{
    const time_t then = time(nullptr) - seconds;
    const utimbuf times { then, then };
    QCOMPARE(::utime(QFile::encodeName(path).constData(), &times), 0);
}

void touch(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

// The tests point TMPDIR at a folder of their own; this puts back what was there.
void restoreTmpdir(const QByteArray& before)
{
    if (before.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", before);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class Tst_Config : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("gui-%1.conf").arg(m_counter++));
        g_messages.clear();
    }

    void createsDefaultFile()
    {
        auto capture = std::make_unique<LogCapture>();
        {
            Config config(m_file, Defaults);
            Q_UNUSED(config)
        }
        g_messages = capture->all();
        capture.reset();

        QCOMPARE(g_messages.filter(QStringLiteral("[Config] Creating default config file : ")).size(), 1);
        QSettings settings(m_file, QSettings::IniFormat);
        QCOMPARE(settings.allKeys().size(), 25);
        QCOMPARE(settings.childGroups(), (QStringList { "gui", "log", "mqtt", "topics" }));
        QCOMPARE(settings.value("gui/settingsPin").toString(), QString());
        QCOMPARE(settings.value("mqtt/port").toInt(), 1883);

        // A second start finds the file and does not announce a creation again.
        g_messages.clear();
        capture = std::make_unique<LogCapture>();
        {
            Config config(m_file, Defaults);
            QCOMPARE(config.keys().size(), 25);
        }
        g_messages = capture->all();
        capture.reset();
        QVERIFY(g_messages.filter(QStringLiteral("Creating default")).isEmpty());
    }

    void overrideWinsButFileAndJsonKeepStoredValue()
    {
        Config config(m_file, Defaults);
        config.addOverrides({ { "mqtt/host", "broker.example" } });
        QCOMPARE(config.get("mqtt/host").toString(), QStringLiteral("broker.example"));
        QCOMPARE(config.toJson().value("mqtt").toObject().value("host").toString(), QStringLiteral("localhost"));
        QCOMPARE(QSettings(m_file, QSettings::IniFormat).value("mqtt/host").toString(), QStringLiteral("localhost"));

        // The most recent override of a key wins.
        config.addOverrides({ { "mqtt/host", "second.example" } });
        QCOMPARE(config.get("mqtt/host").toString(), QStringLiteral("second.example"));
    }

    void setEmitsOnlyOnRealChange()
    {
        Config config(m_file, Defaults);
        QSignalSpy changed(&config, &Config::configChanged);

        const QByteArray before = readAll(m_file);
        config.set("gui/locale", "el_GR");
        QCOMPARE(changed.count(), 0);
        QCOMPARE(readAll(m_file), before);

        config.set("gui/locale", "en_IE");
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toMap(), (QVariantMap { { "gui/locale", "en_IE" } }));
        QCOMPARE(QSettings(m_file, QSettings::IniFormat).value("gui/locale").toString(), QStringLiteral("en_IE"));
    }

    void setRemovesOverride()
    {
        Config config(m_file, Defaults);
        config.addOverrides({ { "mqtt/port", 1884 } });
        config.addOverrides({ { "mqtt/port", 1885 } });
        config.set("mqtt/port", 1999);
        QCOMPARE(config.get("mqtt/port").toInt(), 1999);

        // Setting the stored value again keeps an override that came afterwards.
        config.addOverrides({ { "mqtt/port", 2000 } });
        config.set("mqtt/port", 1999);
        QCOMPARE(config.get("mqtt/port").toInt(), 2000);
    }

    void outsideEditsAreReportedOnce()
    {
        Config config(m_file, Defaults);
        QSignalSpy fileChanged(&config, &Config::configFileChanged);
        QSignalSpy changed(&config, &Config::configChanged);
        QVector<QString> order;
        connect(&config, &Config::configFileChanged, this, [&order] { order << "file"; });
        connect(&config, &Config::configChanged, this, [&order] { order << "values"; });

        {
            QSettings settings(m_file, QSettings::IniFormat);
            settings.setValue("gui/locale", "en_IE");
            settings.setValue("log/level", 3);
        }
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(fileChanged.count(), 1);
        QCOMPARE(order, (QVector<QString> { "file", "values" }));
        const QVariantMap changes = changed.at(0).at(0).toMap();
        QCOMPARE(changes.keys(), (QStringList { "gui/locale", "log/level" }));
        QCOMPARE(config.get("log/level").toInt(), 3);

        // Rewriting the same values changes nothing and reports nothing. Absence is proved by
        // an edit made after it: once that one is applied, the rewrite has been handled too.
        {
            QFile file(m_file);
            const QByteArray same = readAll(m_file);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(same), same.size());
        }
        {
            QSettings settings(m_file, QSettings::IniFormat);
            settings.setValue("log/level", 1);
        }
        QTRY_COMPARE(config.get("log/level").toInt(), 1);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(fileChanged.count(), 2);
        QCOMPARE(changed.at(1).at(0).toMap().keys(), QStringList { "log/level" });
    }

    void editorReplaceKeepsTheWatch()
    {
        Config config(m_file, Defaults);
        QSignalSpy changed(&config, &Config::configChanged);

        QByteArray content = readAll(m_file);
        content.replace("locale=el_GR", "locale=en_IE");
        replaceFile(m_file, content);
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(config.get("gui/locale").toString(), QStringLiteral("en_IE"));

        // The watch must survive the first replace.
        content.replace("locale=en_IE", "locale=de_DE");
        replaceFile(m_file, content);
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(config.get("gui/locale").toString(), QStringLiteral("de_DE"));

        // And a save of our own after that still does not come back as an outside change: once
        // an outside edit made after it is applied, the save would have been seen too.
        QSignalSpy fileChanged(&config, &Config::configFileChanged);
        config.set("gui/locale", "el_GR");
        content = readAll(m_file);
        QVERIFY(content.contains("locale=el_GR"));
        content.replace("level=2", "level=1");
        replaceFile(m_file, content);
        QTRY_COMPARE(config.get("log/level").toInt(), 1);
        QCOMPARE(fileChanged.count(), 1);
        QCOMPARE(changed.count(), 4);
        QCOMPARE(changed.last().at(0).toMap().keys(), QStringList { "log/level" });
    }

    void jsonRoundTrip()
    {
        Config config(m_file, Defaults);
        const QJsonObject json = config.toJson();
        QCOMPARE(json.keys(), (QStringList { "gui", "log", "mqtt", "topics" }));
        QCOMPARE(json.value("log").toObject().value("level"), QJsonValue(2));
        QCOMPARE(json.value("log").toObject().value("syslog"), QJsonValue(true));
        QCOMPARE(json.value("gui").toObject().value("locale"), QJsonValue("el_GR"));

        QSignalSpy changed(&config, &Config::configChanged);
        QJsonObject gui { { "locale", "en_IE" }, { "unknownMember", 7 } };
        QJsonObject patch { { "gui", gui }, { "nosuchgroup", QJsonObject { { "x", 1 } } }, { "log", 5 } };
        config.fromJson(patch);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toMap(), (QVariantMap { { "gui/locale", "en_IE" } }));
        QCOMPARE(QSettings(m_file, QSettings::IniFormat).value("gui/locale").toString(), QStringLiteral("en_IE"));
        QVERIFY(!config.keys().contains("gui/unknownMember"));

        // Applying the store's own JSON form changes nothing.
        config.fromJson(config.toJson());
        QCOMPARE(changed.count(), 1);

        // An override survives fromJson.
        config.addOverrides({ { "mqtt/host", "forced" } });
        config.fromJson(QJsonObject { { "mqtt", QJsonObject { { "host", "other" } } } });
        QCOMPARE(config.get("mqtt/host").toString(), QStringLiteral("forced"));
        QCOMPARE(config.toJson().value("mqtt").toObject().value("host").toString(), QStringLiteral("other"));
    }

    void garbledFileStartsWithWhatItCanRead()
    {
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("orphan=1\n"
                "[gui]\nlocale=en_IE\nlocale=fr_FR\n=novalue\n\x01\x02\xff garbage line\n"
                "[log]\nlevel=not-a-number\n"
                "[mqtt\nhost=broken-section\n"
                "[topics]\nblm/extra/deep=x\n");
        f.close();

        Config config(m_file, Defaults);
        QCOMPARE(config.get("mqtt/port").toInt(), 1883);
        QVERIFY(!config.get("gui/locale").toString().isEmpty());
        QCOMPARE(config.get("log/level"), QVariant(2)); // no integer: the default stays

        // toJson never breaks: no empty group, no key without a group.
        const QJsonObject json = config.toJson();
        QVERIFY(!json.contains(QString()));
        QVERIFY(json.value("topics").toObject().contains("blm"));
        QVERIFY(json.value("topics").toObject().value("blm").isString());
        QVERIFY(!QJsonDocument(json).toJson().isEmpty());
    }

    void unwritableFileKeepsValuesInMemory()
    {
        const QString path = m_dir.filePath(QStringLiteral("missing-dir/sub/gui.conf"));
        Config config(path, Defaults);
        QSignalSpy changed(&config, &Config::configChanged);
        config.set("gui/locale", "en_IE");
        QCOMPARE(changed.count(), 1);
        QCOMPARE(config.get("gui/locale").toString(), QStringLiteral("en_IE"));
        QCOMPARE(config.keys().size(), 25);
    }

    void printPadsKeys()
    {
        Config config(m_file, Defaults);
        config.addOverrides({ { "mqtt/host", "forced" } });
        auto capture = std::make_unique<LogCapture>();
        config.print();
        g_messages = capture->all();
        capture.reset();

        const QString dashes = QStringLiteral("[Config] ") + QString(60, '-');
        QCOMPARE(g_messages.size(), 25 + 4);
        QCOMPARE(g_messages.at(0), dashes);
        QCOMPARE(g_messages.at(1), QStringLiteral("[Config]  SETTINGS (%1)").arg(m_file));
        QCOMPARE(g_messages.last(), dashes);
        // "gui/shutdownDelaySec" is the longest default key (20 characters).
        QVERIFY(g_messages.contains(QStringLiteral("[Config]  gui/shutdownDelaySec : 60")));
        QVERIFY(g_messages.contains(QStringLiteral("[Config]  gui/locale           : el_GR")));
        QVERIFY(g_messages.contains(QStringLiteral("[Config]  mqtt/host            : forced")));
    }

    void fileStaysPrivate()
    {
        // The file holds the PIN and the broker password: owner only, from its creation on and
        // across every replacement, whatever the umask.
        const mode_t umaskBefore = ::umask(022);
        const auto modeAndInode = [this] {
            struct stat info {};
            ::stat(QFile::encodeName(m_file).constData(), &info);
            return qMakePair(int(info.st_mode & 07777), quint64(info.st_ino));
        };
        {
            Config config(m_file, Defaults);
            const auto created = modeAndInode();
            QCOMPARE(created.first, 0600);
            config.set("gui/settingsPin", "8642");
            const auto rewritten = modeAndInode();
            QCOMPARE(rewritten.first, 0600);
            QVERIFY(rewritten.second != created.second); // replaced, not written in place

            // A copy that an editor left readable is tightened at the next write.
            replaceFile(m_file, readAll(m_file));
            QCOMPARE(::chmod(QFile::encodeName(m_file).constData(), 0644), 0);
            config.set("gui/settingsPin", "1357");
            QCOMPARE(modeAndInode().first, 0600);
            QCOMPARE(QSettings(m_file, QSettings::IniFormat).value("gui/settingsPin").toString(), QString("1357"));
        }
        ::umask(umaskBefore);
    }

    // A writer's lock beside the file (another process at work, or an empty one a power cut
    // left) never holds the caller: the write waits for the lock on the event loop.
    void writeNeverWaitsOnALock_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<bool>("leftOver");
        QTest::newRow("held by a writer") << "held" << false;
        QTest::newRow("empty, just created") << "fresh" << false;
        QTest::newRow("empty, left over") << "old" << true;
        // A power cut right after the lock was filled in: young, but its holder is gone.
        QTest::newRow("filled in, holder gone") << "gone" << true;
        QTest::newRow("filled in, earlier boot") << "reboot" << true;
        // Its writer let go and is about to remove it: only its age makes it a leftover.
        QTest::newRow("filled in, holder running") << "running" << false;
        // A power cut between its creation and its filling in, seen after the reboot: written
        // before this boot, so left over at once, whatever it holds.
        QTest::newRow("empty, before this boot") << "fresh, before boot" << true;
        QTest::newRow("filled in, holder running, before this boot") << "running, before boot" << true;
    }

    void writeNeverWaitsOnALock()
    {
        QFETCH(QString, lock);
        QFETCH(bool, leftOver);
        // The kernel's idea of this boot lies in the past; tests move it after the lock.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(SettingsFile::bootTimeMs() > 0 && SettingsFile::bootTimeMs() < now);
        if (lock.endsWith(QLatin1String(", before boot"))) {
            SettingsFile::setBootClock([now] { return now + 60000; });
            lock.chop(QStringLiteral(", before boot").size());
        }
        const auto kernelBoot = qScopeGuard([] { SettingsFile::setBootClock({}); });
        Config config(m_file, Defaults);
        const QString lockFile = m_file + QStringLiteral(".lock");
        touch(lockFile);
        int held = -1;
        if (lock == QLatin1String("held")) {
            held = ::open(QFile::encodeName(lockFile).constData(), O_RDONLY | O_CLOEXEC);
            QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        } else if (lock == QLatin1String("old")) {
            age(lockFile, 3600);
        } else if (lock != QLatin1String("fresh")) {
            QVERIFY(QFile::remove(lockFile));
            if (lock == QLatin1String("gone")) {
                // The settings library's own lock, taken by a process that then dies holding it.
                const pid_t child = ::fork();
                if (child == 0) {
                    QLockFile taken(lockFile);
                    ::_exit(taken.tryLock(0) ? 0 : 1);
                }
                QVERIFY(child > 0);
                int status = -1;
                QCOMPARE(::waitpid(child, &status, 0), child);
                QCOMPARE(status, 0);
                QVERIFY(QFileInfo(lockFile).size() > 0);
            } else {
                // What the library writes: pid, program, host, machine id, boot id.
                const QByteArray boot = lock == QLatin1String("reboot") ? QByteArray("00000000-0000-0000-0000-000000000000")
                                                                        : QSysInfo::bootUniqueId();
                QFile f(lockFile);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(QByteArray::number(QCoreApplication::applicationPid()) + "\ntst_config\n"
                        + QSysInfo::machineHostName().toUtf8() + "\n" + QSysInfo::machineUniqueId() + "\n" + boot + "\n");
            }
        }
        const auto inFile = [this] { return QSettings(m_file, QSettings::IniFormat).value("gui/locale").toString(); };

        LogCapture log;
        config.set("gui/locale", "en_IE");
        QCOMPARE(config.get("gui/locale").toString(), QStringLiteral("en_IE"));
        if (leftOver) {
            QVERIFY(!config.isSavePending());
            QCOMPARE(inFile(), QStringLiteral("en_IE"));
            QVERIFY(!QFile::exists(lockFile));
            QCOMPARE(log.count("[Settings] WARN: Removed a stale lock file : " + lockFile), 1);
            return;
        }
        // set() came back while the lock is still there: it did not wait for it.
        QVERIFY(config.isSavePending());
        QVERIFY(QFile::exists(lockFile));
        QCOMPARE(inFile(), QStringLiteral("el_GR"));
        // An edit of the file meanwhile does not undo the change waiting to be written.
        QMetaObject::invokeMethod(&config, "onFileChanged", Q_ARG(QString, m_file));
        QCOMPARE(config.get("gui/locale").toString(), QStringLiteral("en_IE"));

        // Tries go on every few milliseconds; the wait is reported once.
        QTest::qWait(4 * SettingsFile::RetryMs);
        QVERIFY(config.isSavePending());
        QCOMPARE(log.countContaining(" is held; writing when it is free"), 1);

        if (held >= 0) {
            // The writer is done: it removes its lock and lets go.
            QVERIFY(QFile::remove(lockFile));
            ::close(held);
        } else {
            // Nobody filled it in: once old enough to be a leftover it is removed.
            age(lockFile, 10);
        }
        QTRY_VERIFY(!config.isSavePending());
        QCOMPARE(inFile(), QStringLiteral("en_IE"));
        QVERIFY(!QFile::exists(lockFile));
    }

    // With the settings in the temporary folder, the private copy that each read makes shows up
    // in the watched folder; it is no edit, and reading again would make the next copy.
    void ownCopiesAreNoEdit()
    {
        QTemporaryDir temp;
        QVERIFY(temp.isValid());
        const QByteArray tmpdirBefore = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        const QString file = temp.filePath(QStringLiteral("gui.conf"));
        {
            Config config(file, Defaults);
            QSignalSpy changed(&config, &Config::configChanged);
            const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            QVERIFY(watch >= 0);
            QVERIFY(::inotify_add_watch(watch, QFile::encodeName(temp.path()).constData(), IN_CREATE) >= 0);
            const auto copiesMade = [watch] {
                int copies = 0;
                alignas(inotify_event) char buffer[4096];
                ssize_t n;
                while ((n = ::read(watch, buffer, sizeof buffer)) > 0) {
                    for (char* p = buffer; p < buffer + n;) {
                        const auto* event = reinterpret_cast<const inotify_event*>(p);
                        if (event->len > 0 && QByteArray(event->name).startsWith("vovadudoz-settings-"))
                            ++copies;
                        p += sizeof(inotify_event) + event->len;
                    }
                }
                return copies;
            };
            // The folder changed because of a copy of ours: nothing is read again.
            QMetaObject::invokeMethod(&config, "onDirectoryChanged", Q_ARG(QString, temp.path()));
            QCOMPARE(copiesMade(), 0);

            // A real edit is still read (once).
            QByteArray content = readAll(file);
            content.replace("locale=el_GR", "locale=en_IE");
            replaceFile(file, content);
            QMetaObject::invokeMethod(&config, "onDirectoryChanged", Q_ARG(QString, temp.path()));
            QCOMPARE(changed.count(), 1);
            QCOMPARE(config.get("gui/locale").toString(), QStringLiteral("en_IE"));
            QCOMPARE(copiesMade(), 1);
            ::close(watch);
        }
        restoreTmpdir(tmpdirBefore);
    }

    // A power cut during a write leaves the half-written replacement beside the file, and one
    // during a read leaves the private copy in the temporary folder: both hold the PIN.
    void leftoverCopiesGoAtStart()
    {
        QTemporaryDir temp;
        QVERIFY(temp.isValid());
        const QByteArray tmpdirBefore = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        const QString oldReplacement = m_file + QStringLiteral(".Ab12Cd");
        const QString oldCopy = temp.filePath(QStringLiteral("vovadudoz-settings-Xy34Zw.conf"));
        const QString liveReplacement = m_file + QStringLiteral(".Qr56St"); // another writer, now
        const QString backup = m_file + QStringLiteral(".bak");              // not ours to remove
        for (const QString& path : { oldReplacement, oldCopy, liveReplacement, backup })
            touch(path);
        for (const QString& path : { oldReplacement, oldCopy, backup })
            age(path, 7200);
        {
            LogCapture log;
            Config config(m_file, Defaults);
            QCOMPARE(log.countStartingWith("[Settings] WARN: Removed a copy left by an unfinished write : "), 2);
        }
        QVERIFY(!QFile::exists(oldReplacement));
        QVERIFY(!QFile::exists(oldCopy));
        QVERIFY(QFile::exists(liveReplacement));
        QVERIFY(QFile::exists(backup));
        restoreTmpdir(tmpdirBefore);
    }

    // Whoever writes a value, it keeps the type of its default, so the JSON form (and "/config")
    // says 5 and true, never "5" and "true"; what has no such form is refused, the last value kept.
    void valuesKeepTheirDeclaredType()
    {
        Config config(m_file, Defaults);
        QSignalSpy changed(&config, &Config::configChanged);
        config.fromJson(QJsonObject { { "gui", QJsonObject { { "animSwitchSec", "5" }, { "showErrorDesc", "true" },
                                                             { "displayOffMin", 7.0 } } } });
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toMap().value("gui/animSwitchSec"), QVariant(5));
        QJsonObject gui = config.toJson().value("gui").toObject();
        QCOMPARE(gui.value("animSwitchSec"), QJsonValue(5));
        QCOMPARE(gui.value("showErrorDesc"), QJsonValue(true));
        QCOMPARE(gui.value("displayOffMin"), QJsonValue(7));

        config.set("log/syslog", "FALSE");
        QCOMPARE(config.get("log/syslog"), QVariant(false));

        // An outside edit of the file: text on disk, typed in the store.
        QByteArray content = readAll(m_file);
        content.replace("animSwitchSec=5", "animSwitchSec=9");
        replaceFile(m_file, content);
        QTRY_COMPARE(config.get("gui/animSwitchSec"), QVariant(9));
        QCOMPARE(config.toJson().value("gui").toObject().value("animSwitchSec"), QJsonValue(9));

        auto capture = std::make_unique<LogCapture>();
        changed.clear();
        config.fromJson(QJsonObject { { "gui", QJsonObject { { "animSwitchSec", "five" }, { "showErrorDesc", "yes" },
                                                             { "displayOffMin", 2.5 } } } });
        config.set("log/level", QVariantList { 1, 2 });
        QCOMPARE(capture->countStartingWith("[Config] WARN: Refusing "), 4);
        QVERIFY(capture->contains("[Config] WARN: Refusing gui/animSwitchSec = 'five' : is not an integer; keeping 9"));
        capture.reset();
        QCOMPARE(changed.count(), 0);
        gui = config.toJson().value("gui").toObject();
        QCOMPARE(gui.value("animSwitchSec"), QJsonValue(9));
        QCOMPARE(gui.value("showErrorDesc"), QJsonValue(true));
        QCOMPARE(gui.value("displayOffMin"), QJsonValue(7));
        QCOMPARE(config.get("log/level"), QVariant(2));
    }

    // One check for every writer (set, fromJson and whoever asks check() first, as the broker's
    // "/config/set" does): the type, then the range, and only then the conversion, so a number
    // beyond any integer is refused, never converted.
    void oneCheck_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("stored"); // invalid: refused
        QTest::newRow("whole number") << "gui/displayOffMin" << QVariant(7.0) << QVariant(7);
        QTest::newRow("number as text") << "gui/displayOffMin" << QVariant(" 12") << QVariant(12);
        QTest::newRow("beyond every integer") << "gui/displayOffMin" << QVariant(1e30) << QVariant();
        QTest::newRow("far below") << "gui/animSwitchSec" << QVariant(-1e300) << QVariant();
        QTest::newRow("just beyond int") << "gui/animSwitchSec" << QVariant(2147483648.0) << QVariant();
        QTest::newRow("fraction") << "gui/animSwitchSec" << QVariant(2.5) << QVariant();
        QTest::newRow("beyond, with a range") << "gui/shutdownDelaySec" << QVariant(1e30) << QVariant();
        QTest::newRow("outside the range") << "gui/shutdownDelaySec" << QVariant(901) << QVariant();
        QTest::newRow("flag as a digit") << "gui/showCursor" << QVariant("0") << QVariant(false);
        QTest::newRow("flag as a word") << "log/color" << QVariant("TRUE") << QVariant(true);
        QTest::newRow("flag as anything else") << "log/color" << QVariant("yes") << QVariant();
        QTest::newRow("a list") << "gui/locale" << QVariant(QVariantList { "en_IE" }) << QVariant();
        QTest::newRow("an object") << "gui/locale" << QVariant(QVariantMap { { "a", 1 } }) << QVariant();
        QTest::newRow("null") << "gui/locale" << QJsonValue(QJsonValue::Null).toVariant() << QVariant();
    }

    void oneCheck()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QVariant, stored);
        QVariant typed;
        QString reason;
        Config config(m_file, Defaults);
        config.setRange("gui/shutdownDelaySec", 5, 900);
        QCOMPARE(config.check(key, value, &typed, &reason), stored.isValid());
        QCOMPARE(typed, stored);
        QCOMPARE(reason.isEmpty(), stored.isValid());
        const QVariant before = config.get(key);
        auto capture = std::make_unique<LogCapture>();
        config.set(key, value);
        QCOMPARE(config.get(key), stored.isValid() ? stored : before);
        config.set(key, before);
        config.fromJson(QJsonObject { { key.section('/', 0, 0), QJsonObject { { key.section('/', 1), QJsonValue::fromVariant(value) } } } });
        QCOMPARE(config.get(key), stored.isValid() ? stored : before);
        QCOMPARE(capture->countStartingWith("[Config] WARN: Refusing " + key), stored.isValid() ? 0 : 2);
    }

    // A declared range holds for every writer: set, fromJson, the file at start and an edit.
    void rangeRefusedFromEverySource()
    {
        {
            QSettings file(m_file, QSettings::IniFormat);
            file.setValue("gui/shutdownDelaySec", 0);
        }
        Config config(m_file, Defaults);
        QCOMPARE(config.get("gui/shutdownDelaySec"), QVariant(0));
        auto capture = std::make_unique<LogCapture>();
        config.setRange("gui/shutdownDelaySec", 5, 900);
        QCOMPARE(config.get("gui/shutdownDelaySec"), QVariant(60));
        QCOMPARE(capture->countStartingWith("[Config] WARN: Refusing gui/shutdownDelaySec = '0' : is outside 5..900"), 1);

        config.set("gui/shutdownDelaySec", 120);
        QSignalSpy changed(&config, &Config::configChanged);
        config.set("gui/shutdownDelaySec", -5);
        config.fromJson(QJsonObject { { "gui", QJsonObject { { "shutdownDelaySec", 901 } } } });
        config.fromJson(QJsonObject { { "gui", QJsonObject { { "shutdownDelaySec", "4" } } } });
        QByteArray content = readAll(m_file);
        content.replace("shutdownDelaySec=120", "shutdownDelaySec=-1");
        content.replace("locale=el_GR", "locale=en_IE");
        replaceFile(m_file, content);
        QTRY_COMPARE(config.get("gui/locale").toString(), QStringLiteral("en_IE"));
        QCOMPARE(config.get("gui/shutdownDelaySec"), QVariant(120));
        QCOMPARE(capture->countStartingWith("[Config] WARN: Refusing gui/shutdownDelaySec"), 5);
        capture.reset();
        QCOMPARE(changed.count(), 1); // the locale only
        QVERIFY(!changed.at(0).at(0).toMap().contains("gui/shutdownDelaySec"));

        // The bounds themselves are good values.
        config.set("gui/shutdownDelaySec", 5);
        QCOMPARE(config.get("gui/shutdownDelaySec"), QVariant(5));
        config.fromJson(QJsonObject { { "gui", QJsonObject { { "shutdownDelaySec", 900 } } } });
        QCOMPARE(config.get("gui/shutdownDelaySec"), QVariant(900));
    }

    void printMasksSecrets()
    {
        Config config(m_file, Defaults);
        config.setHiddenKeys({ "mqtt/password", "gui/settingsPin" });
        config.set("gui/settingsPin", "482913");
        config.addOverrides({ { "mqtt/password", "s3cret" } });
        auto capture = std::make_unique<LogCapture>();
        config.print();
        g_messages = capture->all();
        capture.reset();

        const QString all = g_messages.join('\n');
        QVERIFY(!all.contains("482913"));
        QVERIFY(!all.contains("s3cret"));
        QVERIFY(g_messages.contains(QStringLiteral("[Config]  gui/settingsPin      : ********")));
        QVERIFY(g_messages.contains(QStringLiteral("[Config]  mqtt/password        : ********")));
        // An unset secret prints as empty, so the log still tells that it is missing.
        config.set("gui/settingsPin", QString());
        g_messages.clear();
        capture = std::make_unique<LogCapture>();
        config.print();
        g_messages = capture->all();
        capture.reset();
        QVERIFY(g_messages.contains(QStringLiteral("[Config]  gui/settingsPin      : ")));

        // A PIN with a comma, edited into the file, reads back as a list: still a secret.
        QByteArray content = readAll(m_file);
        content.replace("settingsPin=", "settingsPin=48,29,13");
        replaceFile(m_file, content);
        QTRY_COMPARE(config.get("gui/settingsPin").toStringList().size(), 3);
        capture = std::make_unique<LogCapture>();
        config.print();
        g_messages = capture->all();
        capture.reset();
        QVERIFY(g_messages.contains(QStringLiteral("[Config]  gui/settingsPin      : ********")));
        QVERIFY(!g_messages.join('\n').contains("29"));
    }

private:
    QTemporaryDir m_dir;
    QString m_file;
    int m_counter = 0;
};

QTEST_GUILESS_MAIN(Tst_Config)
#include "tst_config.moc"

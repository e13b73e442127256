#include "config.h"
#include "logcapture.h"

#include <QFile>
#include <QJsonDocument>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

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
        QCOMPARE(config.get("log/level").toInt(), 0); // wrong type reads as a default 0

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
    }

private:
    QTemporaryDir m_dir;
    QString m_file;
    int m_counter = 0;
};

QTEST_GUILESS_MAIN(Tst_Config)
#include "tst_config.moc"

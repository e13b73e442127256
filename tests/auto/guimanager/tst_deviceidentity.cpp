#include "config.h"
#include "deviceidentity.h"
#include "guimanager.h"
#include "logcapture.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Drops the effective user for the life of the object, so that folder permissions apply also
// when the tests run as root.
class AsUser
{
public:
    static constexpr uid_t Nobody = 65534;
    AsUser()
    {
        if (::geteuid() == 0)
            m_dropped = ::setegid(Nobody) == 0 && ::seteuid(Nobody) == 0;
    }
    ~AsUser()
    {
        if (m_dropped) {
            (void)::seteuid(0);
            (void)::setegid(0);
        }
    }
    bool ok() const { return ::geteuid() != 0; }

private:
    bool m_dropped = false;
};

} // namespace

class Tst_DeviceIdentity : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loadKeepsIdOnBadFile_data();
    void loadKeepsIdOnBadFile();
    void loadFirstNonEmptyLine();
    void namedPipeDoesNotBlock();
    void setIdWritesAtomically();
    void failedRenameKeepsOldFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<DeviceIdentity> m_identity;
    QString m_path;
};

void Tst_DeviceIdentity::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath("serialnumber");
    QVERIFY(writeFile(m_path, "SN-0001\n"));
    m_config.reset(new Config(m_dir->filePath("gui.conf"), GUIManager::Defaults));
    m_config->set("gui/deviceId", m_path);
    m_identity.reset(new DeviceIdentity(*m_config));
    m_identity->load();
    QCOMPARE(m_identity->id(), QString("SN-0001"));
}

void Tst_DeviceIdentity::cleanup()
{
    m_identity.reset();
    m_config.reset();
    m_dir.reset();
}

void Tst_DeviceIdentity::loadKeepsIdOnBadFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("folder") << "folder";
    QTest::newRow("device") << "device";
    QTest::newRow("only blank lines") << "blank";
}

void Tst_DeviceIdentity::loadKeepsIdOnBadFile()
{
    QFETCH(QString, kind);
    QString path = m_dir->filePath("other");
    if (kind == "folder")
        QVERIFY(QDir(m_dir->path()).mkdir("other"));
    else if (kind == "device")
        path = "/dev/zero"; // readable without end: would read 64 KiB of nothing as a line
    else if (kind == "blank")
        QVERIFY(writeFile(path, "\n   \n\t\n"));

    QSignalSpy changed(m_identity.get(), &DeviceIdentity::idChanged);
    LogCapture log;
    m_config->set("gui/deviceId", path);
    m_identity->load();
    QCOMPARE(m_identity->id(), QString("SN-0001"));
    QCOMPARE(changed.count(), 0);
    if (kind != "blank")
        QCOMPARE(log.lines(QtCriticalMsg).filter("Could not load device S/N from file : " + path).size(), 1);
}

void Tst_DeviceIdentity::loadFirstNonEmptyLine()
{
    QVERIFY(writeFile(m_path, "\n \n  SN-0002 \nSN-9999\n"));
    QSignalSpy changed(m_identity.get(), &DeviceIdentity::idChanged);
    m_identity->load();
    QCOMPARE(m_identity->id(), QString("SN-0002"));
    m_identity->load(); // announced again, also when the id is the same
    QCOMPARE(changed.count(), 2);
}

void Tst_DeviceIdentity::namedPipeDoesNotBlock()
{
    // A named pipe without a writer holds a blocking open() for good: the GUI thread froze.
    const QString fifo = m_dir->filePath("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    m_config->set("gui/deviceId", fifo);
    LogCapture log;
    auto done = std::async(std::launch::async, [this] { m_identity->load(); });
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Let the stuck open() return so that the test can report instead of hanging.
        QFile writer(fifo);
        writer.open(QIODevice::WriteOnly);
        writer.close();
        done.wait();
        QFAIL("Loading the device id from a named pipe blocked");
    }
    QCOMPARE(m_identity->id(), QString("SN-0001"));
    QCOMPARE(log.lines(QtCriticalMsg).filter("not a regular file").size(), 1);
}

void Tst_DeviceIdentity::setIdWritesAtomically()
{
    // A second name for the old file: a write in place would change what it shows too, a
    // write-and-rename leaves it alone.
    const QString previous = m_dir->filePath("previous");
    QCOMPARE(::link(QFile::encodeName(m_path).constData(), QFile::encodeName(previous).constData()), 0);
    QSignalSpy changed(m_identity.get(), &DeviceIdentity::idChanged);
    QVERIFY(m_identity->setId("  SN-0042 "));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(readFile(m_path), QByteArray("SN-0042"));
    QCOMPARE(readFile(previous), QByteArray("SN-0001\n"));
    QCOMPARE(QDir(m_dir->path()).entryList({ "serialnumber*" }, QDir::Files), QStringList { "serialnumber" });

    // Nothing to write: the same id, or an empty one that would blank the file.
    QVERIFY(!m_identity->setId("SN-0042"));
    QVERIFY(!m_identity->setId("   "));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(readFile(m_path), QByteArray("SN-0042"));
}

void Tst_DeviceIdentity::failedRenameKeepsOldFile()
{
    // A folder that takes no new file: the write-and-rename is impossible, and a write in
    // place could leave a cut-off serial number after a power cut. The old file stays.
    const QString folder = m_dir->filePath("ro");
    QVERIFY(QDir(m_dir->path()).mkdir("ro"));
    const QString path = folder + "/serialnumber";
    QVERIFY(writeFile(path, "SN-0001"));
    QCOMPARE(::chown(QFile::encodeName(path).constData(), AsUser::Nobody, AsUser::Nobody) == 0 || ::geteuid() != 0, true);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755), 0);
    m_config->set("gui/deviceId", path);

    QSignalSpy failed(m_identity.get(), &DeviceIdentity::saveFailed);
    {
        AsUser user;
        QVERIFY2(user.ok(), "needs a user that folder permissions apply to");
        QVERIFY(!m_identity->setId("SN-0002"));
    }
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(readFile(path), QByteArray("SN-0001"));
    QCOMPARE(m_identity->id(), QString("SN-0002")); // in effect in memory until the next start
}

QTEST_GUILESS_MAIN(Tst_DeviceIdentity)
#include "tst_deviceidentity.moc"

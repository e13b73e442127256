#include "config.h"
#include "deviceidentity.h"
#include "guimanager.h"
#include "imagesourcecheck.h"
#include "logcapture.h"

#include <QBuffer>
#include <QImage>
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

// The PNG chunk checksum (CRC-32), so that an edited header still reads as a valid picture.
quint32 pngCrc(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
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
    void screenSaverImage_data();
    void screenSaverImage();
    void screenSaverImageRefusalLoggedOnce();

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

// The screen saver's picture comes from a setting that "/config/set" may change: only a picture
// compiled in, or a small regular picture file inside the state folder, is ever opened.
void Tst_DeviceIdentity::screenSaverImage_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("accepted"); // the URL to load, relative to the state folder; empty: refused
    QTest::addColumn<QString>("why");

    QTest::newRow("compiled-in logo") << "qrc:/qml/images/Icons/orvo.png" << "qrc:/qml/images/Icons/orvo.png" << "";
    QTest::newRow("compiled-in, resource path") << ":/qml/images/Icons/orvo.png" << "qrc:/qml/images/Icons/orvo.png" << "";
    QTest::newRow("compiled-in, missing") << "qrc:/qml/images/nothing.png" << "" << "no such resource";
    QTest::newRow("small picture in the state folder") << "logo.png" << "logo.png" << "";
    QTest::newRow("same, as a file URL") << "file://STATE/logo.png" << "logo.png" << "";
    QTest::newRow("same, as an absolute path") << "STATE/logo.png" << "logo.png" << "";
    QTest::newRow("terminal device") << "file:///dev/ptmx" << "" << "outside the state folder";
    QTest::newRow("named pipe in the state folder") << "fifo.png" << "" << "not a regular file";
    QTest::newRow("web address") << "http://127.0.0.1:9/logo.png" << "" << "not a resource or a local file";
    QTest::newRow("file URL naming a host") << "file://example.invalid/logo.png" << "" << "not a local file";
    QTest::newRow("link to a picture outside") << "outside-link.png" << "" << "outside the state folder";
    QTest::newRow("climbing out") << "../logo.png" << "" << "outside the state folder";
    QTest::newRow("file too large") << "big.png" << "" << "larger than";
    QTest::newRow("small file, huge picture") << "huge.png" << "" << "declares 12000 x 12000 pixels";
    QTest::newRow("not a picture") << "gui.conf" << "" << "not a picture";
    QTest::newRow("empty") << "" << "" << "empty";
}

void Tst_DeviceIdentity::screenSaverImage()
{
    QFETCH(QString, value);
    QFETCH(QString, accepted);
    QFETCH(QString, why);

    QDir dir(m_dir->path());
    QVERIFY(dir.mkdir("state"));
    const QString state = QFileInfo(dir.filePath("state")).canonicalFilePath();
    QImage small(64, 32, QImage::Format_RGB32);
    small.fill(Qt::blue);
    QVERIFY(small.save(state + "/logo.png"));
    QVERIFY(small.save(m_dir->filePath("logo.png"))); // the same picture, one folder up
    QVERIFY(QFile::link(m_dir->filePath("logo.png"), state + "/outside-link.png"));
    QCOMPARE(::mkfifo(QFile::encodeName(state + "/fifo.png").constData(), 0600), 0);
    QVERIFY(writeFile(state + "/gui.conf", "[gui]\nlocale=el_GR\n"));
    QByteArray big = readFile(state + "/logo.png");
    big.append(QByteArray(ImageSourceCheck::MaxFileBytes, '\0')); // a valid header, a long tail
    QVERIFY(writeFile(state + "/big.png", big));
    // A PNG header that declares 12000 x 12000 pixels: a few hundred bytes on disk, more than
    // half a gigabyte once decoded.
    QByteArray huge = readFile(state + "/logo.png");
    const QByteArray side = QByteArray::fromHex("00002ee0");
    huge.replace(16, 4, side);
    huge.replace(20, 4, side);
    const quint32 crc = pngCrc(huge.mid(12, 17)); // "IHDR" and its 13 bytes
    huge[29] = char(crc >> 24);
    huge[30] = char(crc >> 16);
    huge[31] = char(crc >> 8);
    huge[32] = char(crc);
    QVERIFY(writeFile(state + "/huge.png", huge));

    value.replace("STATE", state);
    ImageSourceCheck check(dir.filePath("state"));
    QUrl url;
    const QString refusal = check.refusal(value, &url);
    if (accepted.isEmpty()) {
        QVERIFY2(refusal.contains(why), qPrintable(refusal));
        QVERIFY(url.isEmpty());
    } else {
        QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
        const QString expected = accepted.startsWith("qrc:") ? accepted : QUrl::fromLocalFile(state + "/" + accepted).toString();
        QCOMPARE(url.toString(), expected);
    }
}

void Tst_DeviceIdentity::screenSaverImageRefusalLoggedOnce()
{
    const QString fallback = "qrc:/qml/images/Icons/orvo.png";
    ImageSourceCheck check(m_dir->path());
    LogCapture log;
    for (int read = 0; read < 3; ++read)
        QCOMPARE(check.source("file:///dev/ptmx", fallback), fallback);
    QCOMPARE(log.countContaining("Screen-saver image refused (outside the state folder"), 1);
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(m_dir->filePath("mine.png")));
    QCOMPARE(check.source("mine.png", fallback),
             QUrl::fromLocalFile(QFileInfo(m_dir->filePath("mine.png")).canonicalFilePath()).toString());
    QCOMPARE(log.countContaining("Screen-saver image refused"), 1);
}

QTEST_GUILESS_MAIN(Tst_DeviceIdentity)
#include "tst_deviceidentity.moc"

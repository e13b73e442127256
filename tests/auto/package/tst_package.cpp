#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLibraryInfo>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The Debian package as scripts/package makes it, built here from the already-built test tree
// (cpack installs into its own staging folder; nothing is compiled again).
namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 120000,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run result;
    if (!process.waitForStarted(10000)) {
        result.err = process.errorString();
        return result;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = QStringLiteral("timed out");
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The value of one "Key=value" line of a unit or environment file.
QString unitValue(const QString& text, const QString& key)
{
    const QRegularExpression re(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                QRegularExpression::MultilineOption);
    return re.match(text).captured(1).trimmed();
}

} // namespace

class Tst_Package : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void contents_data();
    void contents();
    void versionIsTheProgramsVersion();
    void lintianFindsNoErrors();
    void dependsOnEveryImportedQmlModule();
    void etcFilesAreConffiles();
    void unitVerifies();
    void partsAgreeOnUserAndStateFolder();
    void sysusersMakesAnUnprivilegedUser();
    void devicesStayReachable_data();
    void devicesStayReachable();
    void brokerIdentities();

private:
    QTemporaryDir m_dir;
    QString m_deb;
    QString m_root;      // the package unpacked
    QStringList m_listing;
};

void Tst_Package::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("cpack")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty())
        QSKIP("cpack or dpkg-deb missing (scripts/setup installs them)");
    QVERIFY(m_dir.isValid());

    // gzip rather than xz: the test needs the package, not its smallest form.
    const Run cpack = run(QStringLiteral("cpack"),
                          {QStringLiteral("-G"), QStringLiteral("DEB"),
                           QStringLiteral("--config"), QStringLiteral(VOVADUDOZ_BINARY_DIR "/CPackConfig.cmake"),
                           QStringLiteral("-B"), m_dir.filePath(QStringLiteral("out")),
                           QStringLiteral("-D"), QStringLiteral("CPACK_DEBIAN_COMPRESSION_TYPE=gzip")},
                          240000);
    QVERIFY2(cpack.code == 0, qPrintable(cpack.out + cpack.err));
    const QStringList debs = QDir(m_dir.filePath(QStringLiteral("out"))).entryList({QStringLiteral("*.deb")});
    QCOMPARE(debs.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^vovadudozad_[0-9][A-Za-z0-9.+~]*_[a-z0-9]+\\.deb$")).match(debs.first()).hasMatch(),
             qPrintable(debs.first()));
    m_deb = m_dir.filePath(QStringLiteral("out/") + debs.first());

    const Run list = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), m_deb});
    QCOMPARE(list.code, 0);
    m_listing = list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    m_root = m_dir.filePath(QStringLiteral("root"));
    QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root}).code, 0);
}

void Tst_Package::contents_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("program") << "/opt/orvo/vovadudozad/VovadudozAD" << true;
    QTest::newRow("valid sound") << "/opt/orvo/vovadudozad/Valid.wav" << false;
    QTest::newRow("invalid sound") << "/opt/orvo/vovadudozad/Invalid.wav" << false;
    QTest::newRow("unit") << "/lib/systemd/system/vovadudozad.service" << false;
    QTest::newRow("user") << "/usr/lib/sysusers.d/vovadudozad.conf" << false;
    QTest::newRow("platform settings") << "/etc/default/vovadudozad" << false;
    QTest::newRow("polkit rule") << "/usr/share/polkit-1/rules.d/50-vovadudozad.rules" << false;
    QTest::newRow("broker settings") << "/etc/mosquitto/conf.d/vovadudozad.conf" << false;
    QTest::newRow("broker access list") << "/etc/mosquitto/vovadudozad.acl" << false;
    QTest::newRow("fleet bridge") << "/etc/mosquitto/conf.d/vovadudozad-bridge.conf" << false;
    QTest::newRow("broker identities") << "/usr/libexec/vovadudozad/broker-users" << true;
    QTest::newRow("copyright") << "/usr/share/doc/vovadudozad/copyright" << false;
    QTest::newRow("changelog") << "/usr/share/doc/vovadudozad/changelog.gz" << false;
}

void Tst_Package::contents()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    QString line;
    for (const QString& entry : qAsConst(m_listing))
        if (entry.endsWith(QStringLiteral(" .") + path))
            line = entry;
    QVERIFY2(!line.isEmpty(), qPrintable(path + QStringLiteral(" not in the package")));
    // Root's, and nobody else may write it: the service user cannot replace its own program.
    QVERIFY2(line.contains(QStringLiteral(" root/root ")), qPrintable(line));
    QCOMPARE(line.left(10), executable ? QStringLiteral("-rwxr-xr-x") : QStringLiteral("-rw-r--r--"));
}

void Tst_Package::versionIsTheProgramsVersion()
{
    // The package names the build it carries: "0.3.0-12-gf3f2826" is packaged as
    // "0.3.0+12.gf3f2826" (a '-' would start a Debian revision), and the changelog names it.
    // A cross build's program runs through the emulator that tests/CMakeLists.txt names.
    const QStringList runner = qEnvironmentVariable("VOVADUDOZ_TARGET_RUNNER").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QStringList command = runner + QStringList{m_root + QStringLiteral("/opt/orvo/vovadudozad/VovadudozAD"),
                                                     QStringLiteral("--version")};
    const Run printed = run(command.first(), command.mid(1));
    QCOMPARE(printed.code, 0);
    const QString version = printed.out.trimmed().section(QLatin1Char(' '), 1);
    QVERIFY2(!version.isEmpty(), qPrintable(printed.out));
    QString debian = version;
    const int dash = debian.indexOf(QLatin1Char('-'));
    if (dash > 0)
        debian = debian.left(dash) + QLatin1Char('+') + debian.mid(dash + 1).replace(QLatin1Char('-'), QLatin1Char('.'));
    const Run field = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QStringLiteral("Version")});
    QCOMPARE(field.code, 0);
    QCOMPARE(field.out.trimmed(), debian);
    const Run changelog = run(QStringLiteral("zcat"), {m_root + QStringLiteral("/usr/share/doc/vovadudozad/changelog.gz")});
    QVERIFY2(changelog.out.startsWith(QStringLiteral("vovadudozad (") + debian + QLatin1Char(')')), qPrintable(changelog.out));
    QVERIFY2(changelog.out.contains(version), qPrintable(changelog.out));
}

void Tst_Package::lintianFindsNoErrors()
{
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
        QSKIP("lintian missing (scripts/setup installs it)");
    const Run lintian = run(QStringLiteral("lintian"), {QStringLiteral("--fail-on"), QStringLiteral("error"), m_deb}, 240000);
    QVERIFY2(lintian.code == 0, qPrintable(lintian.out + lintian.err));
    if (!lintian.out.trimmed().isEmpty())
        qInfo("lintian:\n%s", qPrintable(lintian.out));
}

void Tst_Package::dependsOnEveryImportedQmlModule()
{
    // Every module the QML files import is found in the toolkit's QML folder, and the package
    // that holds it on this machine is in Depends (or Recommends, for a panel that is loaded
    // only when chosen): shlibdeps cannot see what the engine loads.
    QSet<QString> depends;
    for (const char* name : {"Depends", "Recommends"}) {
        const Run field = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QLatin1String(name)});
        QCOMPARE(field.code, 0);
        for (const QString& alternatives : field.out.split(QLatin1Char(',')))
            for (const QString& dep : alternatives.split(QLatin1Char('|')))
                depends.insert(dep.trimmed().section(QLatin1Char(' '), 0, 0));
    }

    const QString qmlRoot = QLibraryInfo::location(QLibraryInfo::Qml2ImportsPath);
    const QRegularExpression importRe(QStringLiteral("^\\s*import\\s+([A-Za-z][\\w.]*)\\s+(\\d+)"),
                                      QRegularExpression::MultilineOption);
    QMap<QString, QString> qmldirOf; // module -> its qmldir
    QDirIterator it(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/qml"), {QStringLiteral("*.qml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        auto matches = importRe.globalMatch(fileText(it.next()));
        while (matches.hasNext()) {
            const auto m = matches.next();
            const QString module = m.captured(1);
            // The program registers its own modules ("com.orvo...") from C++: nothing to install.
            if (qmldirOf.contains(module) || module.startsWith(QLatin1String("com.orvo.")))
                continue;
            // The engine looks for the major version on each part from the last one back,
            // then for the plain path.
            const QStringList parts = module.split(QLatin1Char('.'));
            QStringList candidates;
            for (int i = parts.size() - 1; i >= 0; --i) {
                QStringList versioned = parts;
                versioned[i] += QLatin1Char('.') + m.captured(2);
                candidates << versioned.join(QLatin1Char('/'));
            }
            candidates << parts.join(QLatin1Char('/'));
            QString found;
            for (const QString& c : qAsConst(candidates))
                if (found.isEmpty() && QFile::exists(qmlRoot + QLatin1Char('/') + c + QStringLiteral("/qmldir")))
                    found = qmlRoot + QLatin1Char('/') + c + QStringLiteral("/qmldir");
            QVERIFY2(!found.isEmpty(), qPrintable(module + QStringLiteral(" is imported but not installed here")));
            qmldirOf.insert(module, found);
        }
    }
    QVERIFY(!qmldirOf.isEmpty());

    for (auto m = qmldirOf.cbegin(); m != qmldirOf.cend(); ++m) {
        const Run owner = run(QStringLiteral("dpkg"), {QStringLiteral("-S"), m.value()});
        QVERIFY2(owner.code == 0, qPrintable(m.value() + QStringLiteral(" belongs to no package")));
        const QString package = owner.out.section(QLatin1Char(':'), 0, 0).trimmed();
        QVERIFY2(depends.contains(package),
                 qPrintable(QStringLiteral("%1 comes from %2, which is not in Depends or Recommends").arg(m.key(), package)));
    }
}

void Tst_Package::etcFilesAreConffiles()
{
    // dpkg keeps a vehicle's edits of these files across upgrades only if they are conffiles.
    const Run control = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), m_deb, m_dir.filePath(QStringLiteral("control"))});
    QCOMPARE(control.code, 0);
    const QStringList conffiles = fileText(m_dir.filePath(QStringLiteral("control/conffiles"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList etc;
    for (const QString& entry : qAsConst(m_listing)) {
        const QString path = entry.section(QStringLiteral(" ."), -1);
        if (path.startsWith(QStringLiteral("/etc/")) && !entry.startsWith(QLatin1Char('d')))
            etc << path;
    }
    QVERIFY(!etc.isEmpty());
    etc.sort();
    QStringList sorted = conffiles;
    sorted.sort();
    QCOMPARE(sorted, etc);
}

void Tst_Package::unitVerifies()
{
    if (QStandardPaths::findExecutable(QStringLiteral("systemd-analyze")).isEmpty())
        QSKIP("systemd-analyze missing");
    // Verified where it can find the program: the unpacked package's.
    QString unit = fileText(m_root + QStringLiteral("/lib/systemd/system/vovadudozad.service"));
    QVERIFY(unit.contains(QStringLiteral("ExecStart=/opt/orvo/vovadudozad/VovadudozAD")));
    unit.replace(QStringLiteral("ExecStart=/opt/"), QStringLiteral("ExecStart=") + m_root + QStringLiteral("/opt/"));
    QDir().mkpath(m_dir.filePath(QStringLiteral("units")));
    const QString copy = m_dir.filePath(QStringLiteral("units/vovadudozad.service"));
    QFile file(copy);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(unit.toUtf8());
    file.close();

    const Run verify = run(QStringLiteral("systemd-analyze"), {QStringLiteral("verify"), copy});
    // verify also reports unknown keys and bad values only as messages, so any message
    // about our unit is a failure.
    QVERIFY2(verify.code == 0 && !verify.err.contains(QStringLiteral("vovadudozad.service")),
             qPrintable(verify.out + verify.err));
}

void Tst_Package::partsAgreeOnUserAndStateFolder()
{
    const QString unit = fileText(m_root + QStringLiteral("/lib/systemd/system/vovadudozad.service"));
    const QString sysusers = fileText(m_root + QStringLiteral("/usr/lib/sysusers.d/vovadudozad.conf"));
    const QString polkit = fileText(m_root + QStringLiteral("/usr/share/polkit-1/rules.d/50-vovadudozad.rules"));
    const QString acl = fileText(m_root + QStringLiteral("/etc/mosquitto/vovadudozad.acl"));

    const QString user = unitValue(unit, QStringLiteral("User"));
    QVERIFY(!user.isEmpty());
    QVERIFY(user != QStringLiteral("root"));
    QVERIFY2(QRegularExpression(QStringLiteral("^u %1 ").arg(user), QRegularExpression::MultilineOption).match(sysusers).hasMatch(), qPrintable(sysusers));
    QVERIFY(polkit.contains(QStringLiteral("subject.user == \"%1\"").arg(user)));

    // Written state: the working directory is the state folder systemd makes and hands over.
    const QString state = unitValue(unit, QStringLiteral("StateDirectory"));
    QCOMPARE(unitValue(unit, QStringLiteral("WorkingDirectory")), QStringLiteral("%S/") + state);
    // ... and the folder where the package seeds the program's settings.
    const QString seeder = fileText(m_root + QStringLiteral("/usr/libexec/vovadudozad/broker-users"));
    QVERIFY(seeder.contains(QStringLiteral("STATE=\"$ROOT/var/lib/%1\"\n").arg(state)));
    QVERIFY2(unitValue(unit, QStringLiteral("ReadWritePaths")).isEmpty(), "only the state folder is writable");
    QCOMPARE(unitValue(unit, QStringLiteral("ProtectSystem")), QStringLiteral("strict"));

    // The program logs in as the user the access list has a block for.
    QVERIFY(acl.contains(QStringLiteral("\nuser vovadudozad\n")));
}

void Tst_Package::sysusersMakesAnUnprivilegedUser()
{
    if (QStandardPaths::findExecutable(QStringLiteral("systemd-sysusers")).isEmpty())
        QSKIP("systemd-sysusers missing");
    // What postinst runs, against an empty root.
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir().mkpath(root.filePath(QStringLiteral("etc")));
    const Run sysusers = run(QStringLiteral("systemd-sysusers"),
                             {QStringLiteral("--root=") + root.path(), m_root + QStringLiteral("/usr/lib/sysusers.d/vovadudozad.conf")});
    QVERIFY2(sysusers.code == 0, qPrintable(sysusers.out + sysusers.err));
    const QStringList entry = fileText(root.filePath(QStringLiteral("etc/passwd"))).split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^vovadudozad:")));
    QCOMPARE(entry.size(), 1);
    const QStringList fields = entry.first().split(QLatin1Char(':'));
    QCOMPARE(fields.size(), 7);
    QVERIFY2(fields.at(2).toInt() > 0 && fields.at(2).toInt() < 1000, qPrintable(entry.first())); // a system user, not root
    QCOMPARE(fields.at(5), QStringLiteral("/var/lib/vovadudozad"));
    QVERIFY2(fields.at(6).endsWith(QStringLiteral("nologin")), qPrintable(entry.first()));
}

void Tst_Package::devicesStayReachable_data()
{
    // Hardening options that would close /dev to the service: the screen (GPU, framebuffer),
    // the touch panel, the serial ports of the self-test and the SD card are all devices.
    QTest::addColumn<QString>("option");
    QTest::newRow("private /dev") << "PrivateDevices";
    QTest::newRow("device list") << "DeviceAllow";
    QTest::newRow("device policy") << "DevicePolicy";
    QTest::newRow("clock protection (implies a device list)") << "ProtectClock";
}

void Tst_Package::devicesStayReachable()
{
    QFETCH(QString, option);
    const QString unit = fileText(m_root + QStringLiteral("/lib/systemd/system/vovadudozad.service"));
    QVERIFY(unit.contains(QStringLiteral("[Service]")));
    const QString value = unitValue(unit, option);
    QVERIFY2(value.isEmpty() || value == QStringLiteral("no") || value == QStringLiteral("auto"),
             qPrintable(option + QLatin1Char('=') + value));
}

void Tst_Package::brokerIdentities()
{
    if (QStandardPaths::findExecutable(QStringLiteral("mosquitto_passwd")).isEmpty())
        QSKIP("mosquitto_passwd missing");
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // A settings file the program wrote before the broker had identities.
    QDir().mkpath(root.filePath(QStringLiteral("var/lib/vovadudozad")));
    const QString settings = root.filePath(QStringLiteral("var/lib/vovadudozad/gui.conf"));
    {
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[gui]\nsettingsPin=482913\n\n[mqtt]\nhost=localhost\nusername=\npassword=\n\n[topics]\nblm=orvo/blm\n");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ROOT"), root.path());
    const QString script = QStringLiteral(VOVADUDOZ_SOURCE_DIR "/packaging/mosquitto/broker-users");

    const Run first = run(script, {}, 60000, env);
    QVERIFY2(first.code == 0, qPrintable(first.out + first.err));
    const QString passwd = fileText(root.filePath(QStringLiteral("etc/mosquitto/vovadudozad.passwd")));
    const QStringList users {"vovadudozad", "admin", "validation", "barcode", "board", "network", "device", "inspector", "gps"};
    for (const QString& user : users) {
        QVERIFY2(passwd.contains(QLatin1Char('\n') + user + QLatin1Char(':')) || passwd.startsWith(user + QLatin1Char(':')), qPrintable(user));
        const QString cred = root.filePath(QStringLiteral("etc/vovadudozad/broker/") + user);
        QVERIFY(fileText(cred).trimmed().size() >= 16);
        QCOMPARE(QFile::permissions(cred) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    }

    QSettings ini(settings, QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("mqtt/username")).toString(), QStringLiteral("vovadudozad"));
    QCOMPARE(ini.value(QStringLiteral("mqtt/password")).toString(),
             fileText(root.filePath(QStringLiteral("etc/vovadudozad/broker/vovadudozad"))).trimmed());
    QCOMPARE(ini.value(QStringLiteral("mqtt/host")).toString(), QStringLiteral("localhost"));
    QCOMPARE(ini.value(QStringLiteral("gui/settingsPin")).toString(), QStringLiteral("482913"));
    QCOMPARE(ini.value(QStringLiteral("topics/blm")).toString(), QStringLiteral("orvo/blm"));
    QCOMPARE(QFile::permissions(settings) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());

    // Run again (an upgrade): nobody's password changes.
    const QString settingsBefore = fileText(settings);
    const Run second = run(script, {}, 60000, env);
    QVERIFY2(second.code == 0, qPrintable(second.out + second.err));
    QCOMPARE(fileText(root.filePath(QStringLiteral("etc/mosquitto/vovadudozad.passwd"))), passwd);
    QCOMPARE(fileText(settings), settingsBefore);
}

QTEST_GUILESS_MAIN(Tst_Package)
#include "tst_package.moc"

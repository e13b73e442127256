// One declared interface: what the screens use of the program's context objects (the GUI
// manager and the proxies behind `board`, `network`, `validatorManager`, ...) is read from the
// QML sources and checked, through the meta-objects, against the real classes, the gallery's
// stand-in manager and the fakes the Quick tests run the screens on. A member the screens use
// must exist everywhere with the same kind, type and arguments; a member a stand-in shares with
// the real object must agree with it; and a stand-in declares nothing the program lacks, but
// its test helpers.
#include "diagnostics.h"
#include "eventmanager.h"
#include "guimanager.h"
#include "standinmanager.h"

#include "board.h"
#include "inspector.h"
#include "network.h"
#include "validator.h"

#include <QDirIterator>
#include <QJSValue>
#include <QMetaMethod>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

// The context objects, by the name QML knows them.
const QMap<QString, const QMetaObject*>& contextObjects()
{
    static const QMap<QString, const QMetaObject*> objects {
        { "manager", &GUIManager::staticMetaObject },
        { "board", &manager::Board::staticMetaObject },
        { "inspector", &manager::Inspector::staticMetaObject },
        { "network", &manager::Network::staticMetaObject },
        { "validatorManager", &manager::Validator::staticMetaObject },
        { "eventLogManager", &EventManager::staticMetaObject },
    };
    return objects;
}

// What the fakes carry for the tests themselves, never for the screens.
const QSet<QString> TestHelpers { "calls", "record", "clear", "count", "reset", "log", "maintenanceRequests",
                                  "savedDeviceIds", "names", "qr", "ipv4Component",
                                  "secretPages" };

enum class Kind { Property, Signal, Method };

struct Member
{
    Kind kind = Kind::Property;
    int type = QMetaType::UnknownType;    // property type, or return type
    QList<int> parameterTypes;          // of the overload with the most arguments
    QList<QByteArray> parameterNames;
    QList<QList<int>> overloads;        // every signature, default arguments counted apart
    bool writable = false;
    bool enumeration = false;
    QByteArray notify;
};

QString kindName(Kind kind)
{
    return kind == Kind::Property ? "property" : kind == Kind::Signal ? "signal" : "method";
}

// The members a meta-object adds to QObject's: properties, signals, public slots and
// invokables, overloads (and default arguments) under one name.
QMap<QString, Member> membersOf(const QMetaObject* meta)
{
    QMap<QString, Member> members;
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        Member m;
        m.kind = Kind::Property;
        m.type = property.userType();
        m.writable = property.isWritable();
        m.enumeration = property.isEnumType();
        m.notify = property.hasNotifySignal() ? property.notifySignal().name() : QByteArray();
        members.insert(QString::fromLatin1(property.name()), m);
    }
    for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.access() != QMetaMethod::Public || method.methodType() == QMetaMethod::Constructor)
            continue;
        const QString name = QString::fromLatin1(method.name());
        QList<int> types;
        for (int p = 0; p < method.parameterCount(); ++p)
            types << method.parameterType(p);
        Member& m = members[name];
        m.overloads << types;
        if (m.overloads.size() > 1 && m.parameterTypes.size() >= types.size())
            continue;
        m.kind = method.methodType() == QMetaMethod::Signal ? Kind::Signal : Kind::Method;
        m.type = method.returnType();
        m.parameterTypes = types;
        m.parameterNames = method.parameterNames();
    }
    return members;
}

bool isObjectPointer(int type)
{
    return type != QMetaType::UnknownType && (QMetaType::typeFlags(type) & QMetaType::PointerToQObject);
}

// Whether a value of the stand-in's type serves where QML expects the real one's. A QML `var`
// takes anything, `date` is QML's only date, and an enumeration reaches QML as a number.
bool compatibleType(const Member& real, int type)
{
    if (real.type == type || type == QMetaType::QVariant)
        return true;
    if (isObjectPointer(real.type) && isObjectPointer(type))
        return true;
    if (real.enumeration && type == QMetaType::Int)
        return true;
    return real.type == QMetaType::QDate && type == QMetaType::QDateTime;
}

// Where one stand-in disagrees with the real member, or an empty text.
QString disagreement(const Member& real, const Member& standIn, bool fromQml)
{
    if (real.kind != standIn.kind)
        return QStringLiteral("is a %1, the program's a %2").arg(kindName(standIn.kind), kindName(real.kind));
    if (real.kind == Kind::Property) {
        if (!compatibleType(real, standIn.type))
            return QStringLiteral("has type %1, the program's %2")
                .arg(QMetaType::typeName(standIn.type), QMetaType::typeName(real.type));
        if (real.writable && !standIn.writable)
            return QStringLiteral("is read-only, the program's is writable");
        if (!fromQml && !real.notify.isEmpty() && standIn.notify != real.notify)
            return QStringLiteral("notifies %1, the program's %2").arg(QString(standIn.notify), QString(real.notify));
        return QString();
    }
    // Handlers in QML read signal arguments by name.
    if (real.kind == Kind::Signal && real.parameterNames != standIn.parameterNames)
        return QStringLiteral("has the arguments (%1), the program's (%2)")
            .arg(QString(standIn.parameterNames.join(", ")), QString(real.parameterNames.join(", ")));
    // Every signature the stand-in offers is one the program's member also takes; a QML
    // function takes any value.
    for (const QList<int>& offered : standIn.overloads) {
        const bool matched = std::any_of(real.overloads.cbegin(), real.overloads.cend(), [&](const QList<int>& taken) {
            if (taken.size() != offered.size())
                return false;
            for (int i = 0; i < taken.size(); ++i)
                if (taken[i] != offered[i] && !(fromQml && offered[i] == QMetaType::QVariant))
                    return false;
            return true;
        });
        if (!matched)
            return QStringLiteral("takes %1 arguments, a signature the program's does not have").arg(offered.size());
    }
    if (!fromQml && real.kind == Kind::Method && real.type != standIn.type)
        return QStringLiteral("returns %1, the program's %2").arg(QMetaType::typeName(standIn.type), QMetaType::typeName(real.type));
    return QString();
}

// --- what the screens use ------------------------------------------------------------------

// QML and JavaScript text with comments gone and string literals emptied, so that neither a
// file name ("network.svg") nor a remark reads as a use.
QString codeOnly(const QString& text)
{
    static const QRegularExpression noise(QStringLiteral("//[^\\n]*|/\\*.*?\\*/|\"(?:[^\"\\\\\\n]|\\\\.)*\"|'(?:[^'\\\\\\n]|\\\\.)*'"),
                                          QRegularExpression::DotMatchesEverythingOption);
    QString code = text;
    return code.replace(noise, QStringLiteral("\"\""));
}

struct Use
{
    QString path;      // "manager", "manager.clock", "network.ethernet"
    QString member;
    QString where;     // file, for the failure message
    bool written = false;
};

QString rootAlternatives()
{
    return contextObjects().keys().join(QLatin1Char('|'));
}

// Replaces "root.name" and "name" by the path the alias stands for.
QString substitute(QString code, const QMap<QString, QString>& aliases)
{
    for (auto alias = aliases.cbegin(); alias != aliases.cend(); ++alias)
        code.replace(QRegularExpression(QStringLiteral("(?<![\\w.])(?:root\\.)?%1(?=\\s*[.}\\n]|\\s*$)").arg(alias.key())),
                     alias.value());
    return code;
}

// The properties of one file that hold a context object: "property var clock: manager.clock",
// "property var config: ethernet.config" after an alias of ethernet, "property var sam: rfid ?
// rfid.sam : null", or a property declared without a value that the file's parent fills (known
// by name from the other files).
QMap<QString, QString> aliasesOf(const QString& code, const QMap<QString, QString>& known)
{
    static const QRegularExpression declaration(QStringLiteral("property\\s+[\\w.]+\\s+(\\w+)\\s*(?::\\s*([^\\n;]*))?$"),
                                                QRegularExpression::MultilineOption);
    // Also the guarded form "rfid ? rfid.sam : null".
    const QRegularExpression path(QStringLiteral("^(?:[\\w.]+\\s*\\?\\s*)?((?:%1)(?:\\.\\w+)*)(?:\\s*:\\s*null)?$")
                                      .arg(rootAlternatives()));
    QMap<QString, QString> aliases;
    auto matches = declaration.globalMatch(code);
    while (matches.hasNext()) {
        const auto m = matches.next();
        const QString value = substitute(m.captured(2).trimmed(), aliases);
        if (const auto p = path.match(value); p.hasMatch())
            aliases.insert(m.captured(1), p.captured(1));
        else if (value.isEmpty() && known.contains(m.captured(1)))
            aliases.insert(m.captured(1), known.value(m.captured(1)));
    }
    return aliases;
}

QVector<Use> usesInQml(const QString& folder)
{
    const QString roots = rootAlternatives();
    QMap<QString, QString> files;
    QDirIterator it(folder, { "*.qml", "*.js" }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(QDir(folder).relativeFilePath(file.fileName()), codeOnly(QString::fromUtf8(file.readAll())));
    }

    // A screen keeps a context object in a property of its own and hands it to its parts, which
    // declare a property of the same name. A name that means different paths in different
    // files is left out.
    QMap<QString, QString> known;
    QSet<QString> ambiguous;
    for (const QString& code : qAsConst(files)) {
        const QMap<QString, QString> aliases = aliasesOf(code, {});
        for (auto a = aliases.cbegin(); a != aliases.cend(); ++a) {
            if (known.contains(a.key()) && known.value(a.key()) != a.value())
                ambiguous.insert(a.key());
            known.insert(a.key(), a.value());
        }
    }
    for (const QString& name : qAsConst(ambiguous))
        known.remove(name);

    QVector<Use> uses;
    const QRegularExpression pathRe(QStringLiteral("(?<![\\w.])(%1)((?:\\s*\\.\\s*\\w+)+)(\\s*=(?!=))?").arg(roots));
    const QRegularExpression connectionsRe(QStringLiteral("Connections\\s*\\{"));
    const QRegularExpression targetRe(QStringLiteral("target\\s*:\\s*([\\w.]+)"));
    const QRegularExpression handlerRe(QStringLiteral("(?:function\\s+on([A-Z]\\w*)\\s*\\(|\\bon([A-Z]\\w*)\\s*:)"));
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const QString code = substitute(file.value(), aliasesOf(file.value(), known));
        auto paths = pathRe.globalMatch(code);
        while (paths.hasNext()) {
            const auto m = paths.next();
            QStringList parts = m.captured(2).split(QLatin1Char('.'), Qt::SkipEmptyParts);
            QString path = m.captured(1);
            for (QString& part : parts) {
                part = part.trimmed();
                uses.append({ path, part, file.key(), &part == &parts.last() && !m.captured(3).isEmpty() });
                path += QLatin1Char('.') + part;
            }
        }
        // Signal handlers of a Connections block on a context object.
        auto blocks = connectionsRe.globalMatch(code);
        while (blocks.hasNext()) {
            const int open = blocks.next().capturedEnd() - 1;
            int depth = 0, close = open;
            for (; close < code.size(); ++close) {
                depth += code[close] == QLatin1Char('{') ? 1 : code[close] == QLatin1Char('}') ? -1 : 0;
                if (depth == 0)
                    break;
            }
            const QString block = code.mid(open, close - open);
            const QString target = targetRe.match(block).captured(1);
            if (!QRegularExpression(QStringLiteral("^(%1)(\\.|$)").arg(roots)).match(target).hasMatch())
                continue;
            auto handlers = handlerRe.globalMatch(block);
            while (handlers.hasNext()) {
                const auto h = handlers.next();
                QString name = h.captured(1).isEmpty() ? h.captured(2) : h.captured(1);
                name[0] = name[0].toLower();
                uses.append({ target, name, file.key(), false });
            }
        }
    }
    return uses;
}

// The real class behind a path of context objects and QObject properties, or null where the
// path leaves them (a string, a map).
const QMetaObject* realClass(const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('.'));
    const QMetaObject* meta = contextObjects().value(parts.first());
    for (int i = 1; meta && i < parts.size(); ++i) {
        const int index = meta->indexOfProperty(parts[i].toLatin1());
        meta = index < 0 ? nullptr : QMetaType::metaObjectForType(meta->property(index).userType());
    }
    return meta;
}

// --- the stand-ins --------------------------------------------------------------------------

// A fake along a path: a QML object, or a plain JavaScript object (read as a map) where the fake
// cannot declare the real names (a property named "interface").
struct Fake
{
    QObject* object = nullptr;
    QVariantMap map;
    bool isMap = false;

    bool isNull() const { return !object && !isMap; }

    static Fake of(const QVariant& value)
    {
        QVariant v = value.userType() == qMetaTypeId<QJSValue>() ? value.value<QJSValue>().toVariant() : value;
        if (QObject* object = v.value<QObject*>())
            return { object, {}, false };
        if (v.userType() == QMetaType::QVariantMap)
            return { nullptr, v.toMap(), true };
        return {};
    }

    Fake child(const QString& name) const
    {
        return of(object ? object->property(name.toLatin1().constData()) : map.value(name));
    }
};

} // namespace

class Tst_QmlInterface : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void screensUseWhatTheProgramHas();
    void standInsHaveWhatTheScreensUse_data();
    void standInsHaveWhatTheScreensUse();
    void standInsAgreeWithTheProgram_data();
    void standInsAgreeWithTheProgram();

private:
    Fake fakeAt(const QString& path) const;

    QQmlEngine m_engine;
    QMap<QString, QObject*> m_fakes;     // context name -> the fake from tests/qml/fakes
    QVector<Use> m_uses;
};

void Tst_QmlInterface::initTestCase()
{
    m_uses = usesInQml(QStringLiteral(VOVADUDOZ_SOURCE_DIR "/qml"));
    QVERIFY2(m_uses.size() > 50, "the scan found too few uses to be reading the screens");
    // Named as the Quick test runner names them: FakeValidatorManager.qml -> validatorManager.
    const QDir fakes(QStringLiteral(VOVADUDOZ_TEST_DIR "/qml/fakes"));
    for (const QFileInfo& file : fakes.entryInfoList({ "Fake*.qml" }, QDir::Files)) {
        QQmlComponent component(&m_engine, QUrl::fromLocalFile(file.absoluteFilePath()));
        QObject* fake = component.create();
        QVERIFY2(fake, qPrintable(component.errorString()));
        fake->setParent(this);
        QString name = file.completeBaseName().mid(4);
        name[0] = name[0].toLower();
        m_fakes.insert(name, fake);
    }
    for (const QString& name : contextObjects().keys())
        QVERIFY2(m_fakes.contains(name), qPrintable(name + " has no fake"));
}

Fake Tst_QmlInterface::fakeAt(const QString& path) const
{
    const QStringList parts = path.split(QLatin1Char('.'));
    Fake fake { m_fakes.value(parts.first()), {}, false };
    for (int i = 1; !fake.isNull() && i < parts.size(); ++i)
        fake = fake.child(parts[i]);
    return fake;
}

void Tst_QmlInterface::screensUseWhatTheProgramHas()
{
    QStringList missing;
    for (const Use& use : qAsConst(m_uses)) {
        const QMetaObject* meta = realClass(use.path);
        const QMap<QString, Member> members = meta ? membersOf(meta) : QMap<QString, Member>();
        if (meta && !members.contains(use.member))
            missing << QStringLiteral("%1: %2.%3 is missing").arg(use.where, use.path, use.member);
        else if (meta && use.written && !members.value(use.member).writable)
            missing << QStringLiteral("%1: %2.%3 is written but read-only").arg(use.where, use.path, use.member);
    }
    missing.removeDuplicates();
    QVERIFY2(missing.isEmpty(), qPrintable("the screens and the program disagree:\n" + missing.join('\n')));
}

void Tst_QmlInterface::standInsHaveWhatTheScreensUse_data()
{
    QTest::addColumn<QString>("standIn");
    QTest::newRow("gallery stand-in manager") << "StandInManager";
    QTest::newRow("QML fakes") << "fakes";
}

void Tst_QmlInterface::standInsHaveWhatTheScreensUse()
{
    QFETCH(QString, standIn);
    QStringList faults;
    for (const Use& use : qAsConst(m_uses)) {
        const QMetaObject* meta = realClass(use.path);
        const QMap<QString, Member> real = meta ? membersOf(meta) : QMap<QString, Member>();
        if (!real.contains(use.member))
            continue;
        const QString what = QStringLiteral("%1.%2 (%3)").arg(use.path, use.member, use.where);
        if (standIn == QLatin1String("StandInManager")) {
            // The gallery shows the real proxies; only the manager stands in.
            if (use.path != QLatin1String("manager"))
                continue;
            const QMap<QString, Member> members = membersOf(&StandInManager::staticMetaObject);
            if (!members.contains(use.member))
                faults << what + " is missing";
            else if (const QString why = disagreement(real.value(use.member), members.value(use.member), false); !why.isEmpty())
                faults << what + QLatin1Char(' ') + why;
            continue;
        }
        const Fake fake = fakeAt(use.path);
        if (fake.isNull()) {
            faults << QStringLiteral("%1 has no fake (%2)").arg(use.path, use.where);
        } else if (fake.object) {
            const QMap<QString, Member> members = membersOf(fake.object->metaObject());
            if (!members.contains(use.member))
                faults << what + " is missing";
            else if (const QString why = disagreement(real.value(use.member), members.value(use.member), true); !why.isEmpty())
                faults << what + QLatin1Char(' ') + why;
        } else if (!fake.map.contains(use.member)) {
            faults << what + " is missing";
        }
    }
    faults.removeDuplicates();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

void Tst_QmlInterface::standInsAgreeWithTheProgram_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("gallery stand-in manager") << QString();
    QSet<QString> paths;
    for (const Use& use : qAsConst(m_uses))
        if (realClass(use.path))
            paths.insert(use.path);
    QStringList sorted = paths.values();
    sorted.sort();
    for (const QString& path : qAsConst(sorted))
        QTest::newRow(qPrintable(path)) << path;
}

void Tst_QmlInterface::standInsAgreeWithTheProgram()
{
    QFETCH(QString, path);
    const bool fromQml = !path.isEmpty();
    const QMap<QString, Member> real = membersOf(realClass(fromQml ? path : QStringLiteral("manager")));
    QMap<QString, Member> members;
    QStringList mapKeys;
    if (fromQml) {
        const Fake fake = fakeAt(path);
        if (fake.isNull())
            QSKIP("no fake on this path (the previous test says whether one is needed)");
        if (fake.object)
            members = membersOf(fake.object->metaObject());
        else
            mapKeys = fake.map.keys();
    } else {
        members = membersOf(&StandInManager::staticMetaObject);
    }
    // A QML property brings its own change signal.
    QSet<QString> notifiers;
    for (const Member& m : qAsConst(members))
        if (m.kind == Kind::Property)
            notifiers.insert(QString::fromLatin1(m.notify));

    QStringList faults;
    for (auto m = members.cbegin(); m != members.cend(); ++m) {
        if (TestHelpers.contains(m.key()) || (fromQml && notifiers.contains(m.key()) && !real.contains(m.key())))
            continue;
        if (!real.contains(m.key()))
            faults << m.key() + " is not in the program";
        else if (const QString why = disagreement(real.value(m.key()), m.value(), fromQml); !why.isEmpty())
            faults << m.key() + QLatin1Char(' ') + why;
    }
    for (const QString& key : qAsConst(mapKeys))
        if (!real.contains(key))
            faults << key + " is not in the program";
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

QTEST_MAIN(Tst_QmlInterface)
#include "tst_qmlinterface.moc"

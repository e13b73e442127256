#include "secretmask.h"

#include <QRegularExpression>

const QString SecretMask::Mask = QStringLiteral("********");

namespace {

// A key: double-quoted (raw line breaks and escapes allowed, as broken JSON has them),
// single-quoted, or bare (unquoted JSON keys, INI and URL query keys). After ':' a bare value
// ends at a comma (JSON, YAML); after '=' it runs on (INI lists, "pin=12,34") to a blank, ';'
// or '&' (a URL query).
//
// The search must stay linear in the length of the text, whatever a service sends: repeats are
// possessive, a bare key starts only where a word starts, and bare values and lists are
// matched up to a bound (a secret's value that reaches it is followed to its end by hand, see
// valueEnd()), so that a line of keys inside one endless value is not read again per key.
constexpr int MaxValue = 256;
const QString KeyPattern = QStringLiteral(
    R"re((?:"((?:[^"\\]|\\.)*+)"|'((?:[^'\\]|\\.)*+)'|(?<![A-Za-z0-9_./\\-])([A-Za-z0-9_./\\-]{1,256}+)))re");
const QString ValuePattern = QStringLiteral(
    R"re((?:\s{0,64}+:\s{0,64}+("(?:[^"\\]|\\.)*+"?|'(?:[^'\\]|\\.)*+'?|\[[^\]]{0,256}+\]?|[^\s,;&{}\[\]()"']{1,256}+)))re"
    R"re(|(?:\s{0,64}+=\s{0,64}+("(?:[^"\\]|\\.)*+"?|'(?:[^'\\]|\\.)*+'?|[^\s;&"']{1,256}+)))re");

// Where a bare value or a list that the expression cut at its bound really ends.
int valueEnd(const QString& text, int start, int matchedEnd, bool afterEquals)
{
    if (text.at(start) == QLatin1Char('[')) {
        const int close = text.indexOf(QLatin1Char(']'), start);
        return close < 0 ? int(text.size()) : close + 1;
    }
    static const QString equalsStops = QStringLiteral(";&\"'");
    static const QString colonStops = QStringLiteral(",;&{}[]()\"'");
    const QString& stops = afterEquals ? equalsStops : colonStops;
    int i = matchedEnd;
    while (i < text.size() && !text.at(i).isSpace() && !stops.contains(text.at(i)))
        ++i;
    return i;
}

// Lone surrogates (a JSON "\ud800") make the text invalid for the expression engine, which
// would then match nothing at all: they become replacement characters first.
QString validUtf16(const QString& text)
{
    QString clean;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            if (clean.isNull())
                clean = text;
            clean[i] = QChar::ReplacementCharacter;
        }
    }
    return clean.isNull() ? text : clean;
}

QString decodeKey(const QString& key)
{
    QString name;
    name.reserve(key.size());
    for (int i = 0; i < key.size(); ++i) {
        const QChar c = key.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= key.size()) {
            name += c;
            continue;
        }
        const QChar next = key.at(i + 1);
        bool ok = false;
        if (next == QLatin1Char('u') && i + 5 < key.size()) {
            const ushort code = key.midRef(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                name += QChar(code);
                i += 5;
                continue;
            }
        } else if (next == QLatin1Char('x') && i + 3 < key.size()) {
            const ushort code = key.midRef(i + 2, 2).toUShort(&ok, 16);
            if (ok) {
                name += QChar(code);
                i += 3;
                continue;
            }
        }
        // \n, \t, \", \\ and the like: the escaped character itself, or nothing for a blank.
        if (next != QLatin1Char('n') && next != QLatin1Char('r') && next != QLatin1Char('t'))
            name += next;
        ++i;
    }
    return name;
}

// Quick test before the expressions run: most lines hold nothing that could be a secret.
bool mayHoldSecret(const QString& text)
{
    return text.contains(QLatin1String("pin"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("pass"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("pwd"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("\\u"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("\\x"), Qt::CaseInsensitive);
}

} // namespace

bool SecretMask::isSecretKey(const QString& key)
{
    QString name;
    for (const QChar c : decodeKey(key)) {
        if (c.isLetterOrNumber())
            name += c.toLower();
    }
    return name.endsWith(QLatin1String("pin")) || name.endsWith(QLatin1String("password"))
        || name.endsWith(QLatin1String("passwd")) || name.endsWith(QLatin1String("pwd"));
}

QString SecretMask::maskText(const QString& text)
{
    const QString clean = validUtf16(text);
    return maskUrls(mayHoldSecret(clean) ? maskPairs(clean) : clean);
}

QString SecretMask::maskPairs(const QString& text)
{
    static const QRegularExpression pair(KeyPattern + QStringLiteral("(?:") + ValuePattern + QLatin1Char(')'));
    QString result;
    int copied = 0;
    int from = 0;
    while (from < text.size()) {
        // The text was checked once above; checking it again at every step would cost its
        // whole length each time.
        const QRegularExpressionMatch match
            = pair.match(text, from, QRegularExpression::NormalMatch, QRegularExpression::DontCheckSubjectStringMatchOption);
        if (!match.hasMatch())
            break;
        QString key = match.captured(1);
        if (key.isNull())
            key = match.captured(2);
        if (key.isNull())
            key = match.captured(3);
        const bool afterEquals = match.capturedStart(4) < 0;
        const int valueGroup = afterEquals ? 5 : 4;
        const QStringRef value = match.capturedRef(valueGroup);
        const bool empty = value.isEmpty() || value == QLatin1String("\"\"") || value == QLatin1String("''")
            || value == QLatin1String("[]") || value == Mask;
        if (!isSecretKey(key) || empty) {
            // The value of an ordinary key is searched too: it may hold "pin=..." itself.
            from = qMax(match.capturedStart(valueGroup), match.capturedStart(0) + 1);
            continue;
        }
        const int start = match.capturedStart(valueGroup);
        const int end = match.capturedLength(valueGroup) >= MaxValue
            ? valueEnd(text, start, match.capturedEnd(valueGroup), afterEquals)
            : match.capturedEnd(valueGroup);
        result += text.midRef(copied, start - copied);
        const QChar quote = value.at(0);
        if (quote == QLatin1Char('"') || quote == QLatin1Char('\''))
            result += quote + Mask + quote;
        else
            result += Mask;
        copied = from = end;
    }
    if (copied == 0)
        return text;
    return result + text.midRef(copied);
}

QString SecretMask::maskUrls(const QString& original)
{
    if (!original.contains(QLatin1Char('@')))
        return original;
    const QString text = validUtf16(original);
    // Word by word, once over the text: a word that holds "user:password@host", with a scheme
    // in front or without one ("obu:pw@10.0.0.5" is how a technician writes an address), has
    // its password masked. Only blanks, quotes and braces end a word, so a password with a
    // comma or a semicolon is masked whole; a word that only looks like a URL user loses a
    // little text to the mask rather than a secret to the log.
    const auto endsWord = [](QChar c) {
        return c.isSpace() || c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('<')
            || c == QLatin1Char('>') || c == QLatin1Char('{') || c == QLatin1Char('}') || c == QLatin1Char('`');
    };
    QString result;
    int copied = 0;
    const int size = text.size();
    int i = 0;
    while (i < size) {
        while (i < size && endsWord(text.at(i)))
            ++i;
        const int start = i;
        int scheme = -1;
        while (i < size && !endsWord(text.at(i))) {
            if (scheme < 0 && text.at(i) == QLatin1Char(':') && i + 2 < size && text.at(i + 1) == QLatin1Char('/')
                && text.at(i + 2) == QLatin1Char('/'))
                scheme = i + 3;
            ++i;
        }
        // The authority runs to the path, query or fragment; its last '@' ends the user part,
        // and the first ':' of that part starts the password.
        const int authority = scheme >= 0 ? scheme : start;
        int at = -1;
        int colon = -1;
        for (int j = authority; j < i; ++j) {
            const QChar c = text.at(j);
            if (c == QLatin1Char('/') || c == QLatin1Char('?') || c == QLatin1Char('#'))
                break;
            if (c == QLatin1Char('@'))
                at = j;
            else if (c == QLatin1Char(':') && colon < 0)
                colon = j;
        }
        if (at < 0 || colon < 0 || colon > at || at == colon + 1)
            continue;
        if (text.midRef(colon + 1, at - colon - 1) == Mask)
            continue;
        result += text.midRef(copied, colon + 1 - copied) + Mask;
        copied = at;
    }
    if (copied == 0)
        return original;
    return result + text.midRef(copied);
}

#include "secretmask.h"

#include <QVector>

const QString SecretMask::Mask = QStringLiteral("********");

namespace {

// A key: double-quoted (raw line breaks and escapes allowed, as broken JSON has them),
// single-quoted, or bare (unquoted JSON keys, INI and URL query keys), then up to 64 blanks,
// ':' or '=' and up to 64 blanks. After ':' a value is quoted, a list in brackets or bare up to
// a comma (JSON, YAML); after '=' it is quoted or runs on (INI lists, "pin=12,34") to a blank,
// ';' or '&' (a URL query). The value of an ordinary key is searched for pairs too: it may hold
// "pin=..." itself.
//
// The text is read once, left to right, whatever a service sends: where each quoted run ends
// is worked out once for the whole text (see Quotes), a bare key is read only where a word
// starts and for at most MaxKey characters, and only a secret's value is followed to its end,
// after which the search goes on behind it. So a line of escaped quotes or of keys inside one
// endless value costs its length, not its length squared.
constexpr int MaxKey = 256;
constexpr int MaxBlanks = 64;
// Whether a key names a secret is read from its end; a longer key is judged by its last part.
constexpr int KeyTail = 512;

bool isBlank(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}

bool isKeyChar(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '.'
        || u == '/' || u == '\\' || u == '-';
}

bool endsColonValue(QChar c)
{
    static const QString stops = QStringLiteral(",;&{}[]()\"'");
    return isBlank(c) || stops.contains(c);
}

bool endsEqualsValue(QChar c)
{
    static const QString stops = QStringLiteral(";&\"'");
    return isBlank(c) || stops.contains(c);
}

// For every position, where a quoted run that starts there ends: the index of the first quote
// character not taken by a backslash escape, or the text's length when there is none. Built
// from the end in one pass.
class Quotes
{
public:
    Quotes(const QString& text, QChar quote)
        : m_size(text.size())
    {
        const int size = m_size;
        if (!text.contains(quote))
            return;
        m_close.resize(size + 2);
        m_close[size] = m_close[size + 1] = size;
        for (int i = size - 1; i >= 0; --i) {
            const QChar c = text.at(i);
            m_close[i] = c == quote ? i : (c == QLatin1Char('\\') ? m_close[i + 2] : m_close[i + 1]);
        }
    }
    // The closing quote of a run opened just before `from`, or the text's length.
    int close(int from) const { return m_close.isEmpty() ? m_size : m_close.at(from); }

private:
    int m_size;
    QVector<int> m_close;
};

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
    const int size = text.size();
    const Quotes doubleQuotes(text, QLatin1Char('"'));
    const Quotes singleQuotes(text, QLatin1Char('\''));
    const auto closing = [&](QChar quote, int from) {
        return quote == QLatin1Char('"') ? doubleQuotes.close(from) : singleQuotes.close(from);
    };
    QString result;
    int copied = 0;
    int i = 0;
    while (i < size) {
        const QChar first = text.at(i);
        // The key, [keyStart, keyEnd), and the position after it.
        int keyStart = -1;
        int keyEnd = -1;
        int next = -1;
        if (first == QLatin1Char('"') || first == QLatin1Char('\'')) {
            const int close = closing(first, i + 1);
            if (close < size) {
                keyStart = i + 1;
                keyEnd = close;
                next = close + 1;
            }
        } else if (isKeyChar(first) && (i == 0 || !isKeyChar(text.at(i - 1)))) {
            int end = i;
            while (end < size && end - i <= MaxKey && isKeyChar(text.at(end)))
                ++end;
            if (end - i <= MaxKey) {
                keyStart = i;
                keyEnd = end;
                next = end;
            }
        }
        if (keyStart < 0) {
            ++i;
            continue;
        }
        // The separator, with at most MaxBlanks blanks on either side.
        int p = next;
        while (p < size && p - next < MaxBlanks && isBlank(text.at(p)))
            ++p;
        if (p >= size || (text.at(p) != QLatin1Char(':') && text.at(p) != QLatin1Char('='))) {
            ++i;
            continue;
        }
        const bool afterEquals = text.at(p) == QLatin1Char('=');
        const int blanks = ++p;
        while (p < size && p - blanks < MaxBlanks && isBlank(text.at(p)))
            ++p;
        // The value starts at p; a bare one needs a character of its own.
        if (p >= size) {
            ++i;
            continue;
        }
        const QChar open = text.at(p);
        const bool quoted = open == QLatin1Char('"') || open == QLatin1Char('\'');
        const bool list = !afterEquals && open == QLatin1Char('[');
        if (!quoted && !list && (afterEquals ? endsEqualsValue(open) : endsColonValue(open))) {
            ++i;
            continue;
        }
        const QStringRef key = keyEnd - keyStart > KeyTail ? text.midRef(keyEnd - KeyTail, KeyTail)
                                                           : text.midRef(keyStart, keyEnd - keyStart);
        const bool secret = isSecretKey(key.toString());
        if (!secret) {
            // Searched on from the value's start: it may hold a pair of its own.
            i = p;
            continue;
        }
        // Only a secret's value is followed to its end; the search goes on behind it.
        int end = p + 1;
        if (quoted) {
            const int close = closing(open, p + 1);
            end = close < size ? close + 1 : size;
        } else if (list) {
            const int close = text.indexOf(QLatin1Char(']'), p);
            end = close < 0 ? size : close + 1;
        } else {
            while (end < size && !(afterEquals ? endsEqualsValue(text.at(end)) : endsColonValue(text.at(end))))
                ++end;
        }
        // An empty secret stays visible: "not set" is what a technician needs to know.
        const QStringRef value = text.midRef(p, end - p);
        if (value == QLatin1String("\"\"") || value == QLatin1String("''") || value == QLatin1String("[]")
            || value == Mask) {
            i = p;
            continue;
        }
        result += text.midRef(copied, p - copied);
        if (quoted)
            result += open + Mask + open;
        else
            result += Mask;
        copied = i = end;
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
        while (i < size && !endsWord(text.at(i)))
            ++i;
        // The user part ends at the word's last '@' and its password starts at the first ':'
        // after a scheme that opens the word ("mqtt://"), or else at the word's first ':'.
        // Neither a '/' in a password, a garbled scheme ("mqtt:-/obu:pw@10.0.0.5") nor a
        // "://" further on may end the search early: whatever sits between the two (a scheme,
        // a path, a port) is masked with the password.
        int authority = start;
        while (authority < i && (text.at(authority).isLetterOrNumber() || text.at(authority) == QLatin1Char('+')
                                 || text.at(authority) == QLatin1Char('-') || text.at(authority) == QLatin1Char('.')))
            ++authority;
        if (authority > start && text.at(start).isLetter() && authority + 2 < i && text.at(authority) == QLatin1Char(':')
            && text.at(authority + 1) == QLatin1Char('/') && text.at(authority + 2) == QLatin1Char('/'))
            authority += 3;
        else
            authority = start;
        int at = -1;
        int colon = -1;
        for (int j = authority; j < i; ++j) {
            const QChar c = text.at(j);
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

QString SecretMask::maskUrlValue(const QString& value)
{
    if (!value.contains(QLatin1Char('@')))
        return value;
    const int size = value.size();
    // The authority follows "scheme://" or "//"; without them the value is "user:password@host".
    int start = 0;
    bool afterSlashes = false;
    int scheme = 0;
    if (size > 0 && value.at(0).isLetter()) {
        while (scheme < size
               && (value.at(scheme).isLetterOrNumber() || value.at(scheme) == QLatin1Char('+')
                   || value.at(scheme) == QLatin1Char('-') || value.at(scheme) == QLatin1Char('.')))
            ++scheme;
        if (value.midRef(scheme, 3) == QLatin1String("://")) {
            start = scheme + 3;
            afterSlashes = true;
        }
    }
    if (!afterSlashes && value.startsWith(QLatin1String("//"))) {
        start = 2;
        afterSlashes = true;
    }
    int end = start;
    while (end < size && value.at(end) != QLatin1Char('/') && value.at(end) != QLatin1Char('?')
           && value.at(end) != QLatin1Char('#'))
        ++end;
    const int at = end > start ? value.lastIndexOf(QLatin1Char('@'), end - 1) : -1;
    if (at < start)
        return value;
    const int colon = value.indexOf(QLatin1Char(':'), start);
    int from = -1;
    if (colon >= 0 && colon < at)
        from = colon + 1;
    else if (afterSlashes)
        from = start;
    if (from < 0 || from == at || value.midRef(from, at - from) == Mask)
        return value;
    return value.left(from) + Mask + value.mid(at);
}

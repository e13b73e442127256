#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// A source check of the QML files: a Text or Label element renders markup unless told not to,
// so one that shows anything but a fixed text (a binding, an alias target, a text set from
// outside its file) must say `textFormat: Text.PlainText`. A text in the default format that
// holds `<img src="...">` makes the GUI thread open that file or URL.
namespace plaintextscan {

// Index just past the string literal that starts at i.
inline int skipString(const QString& s, int i)
{
    const QChar quote = s.at(i);
    for (++i; i < s.size() && s.at(i) != quote; ++i)
        if (s.at(i) == QLatin1Char('\\'))
            ++i;
    return i + 1;
}

inline QString withoutComments(const QString& s)
{
    QString out;
    for (int i = 0; i < s.size();) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('`')) {
            const int end = qMin(skipString(s, i), s.size());
            out += s.midRef(i, end - i);
            i = end;
        } else if (s.midRef(i, 2) == QLatin1String("//")) {
            i = s.indexOf(QLatin1Char('\n'), i);
            if (i < 0)
                break;
        } else if (s.midRef(i, 2) == QLatin1String("/*")) {
            const int end = s.indexOf(QLatin1String("*/"), i + 2);
            // Keep the line count, so that reported lines match the file.
            out += QString(s.mid(i, end < 0 ? -1 : end + 2 - i).count(QLatin1Char('\n')), QLatin1Char('\n'));
            if (end < 0)
                break;
            i = end + 2;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// The same text with the inside of every string literal blanked, so that no "Text {" in a
// string reads as an element.
inline QString withoutStringContents(QString s)
{
    for (int i = 0; i < s.size();) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('`')) {
            const int end = qMin(skipString(s, i), s.size());
            for (int k = i + 1; k < end - 1; ++k)
                if (s.at(k) != QLatin1Char('\n'))
                    s[k] = QLatin1Char('_');
            i = end;
        } else {
            ++i;
        }
    }
    return s;
}

// The statements written directly in the element whose body starts at from (just past its
// '{'), split at line ends and ';' outside brackets and strings.
inline QStringList ownStatements(const QString& s, int from)
{
    QStringList statements;
    QString current;
    int depth = 0;
    for (int i = from; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('`')) {
            const int end = qMin(skipString(s, i), s.size());
            current += s.midRef(i, end - i);
            i = end - 1;
            continue;
        }
        if (c == QLatin1Char('{') || c == QLatin1Char('(') || c == QLatin1Char('['))
            ++depth;
        if (c == QLatin1Char('}') || c == QLatin1Char(')') || c == QLatin1Char(']')) {
            if (depth == 0)
                break; // the element's own closing brace
            --depth;
        }
        if (depth == 0 && (c == QLatin1Char('\n') || c == QLatin1Char(';'))) {
            statements << current.trimmed();
            current.clear();
        } else if (depth == 0 || c != QLatin1Char('\n')) {
            current += c;
        } else {
            current += QLatin1Char(' ');
        }
    }
    statements << current.trimmed();
    return statements;
}

// A text fixed in the source: string literals, translated literals and the language
// notifier, joined with '+'.
inline bool isFixedText(QString value)
{
    static const QRegularExpression strings(QStringLiteral("\"(\\\\.|[^\"\\\\])*\"|'(\\\\.|[^'\\\\])*'"));
    static const QRegularExpression glue(QStringLiteral("\\b(qsTr|qsTranslate)\\b|\\b(manager|root)\\.dynTr\\b|\\bdynTr\\b|[+(),\\s]"));
    value.remove(strings);
    value.remove(glue);
    return value.isEmpty();
}

// Lines (1-based) of the Text and Label elements in qml that may render markup.
inline QList<int> markupRisks(const QString& qml)
{
    static const QRegularExpression element(QStringLiteral("(?<![\\w.])(Text|Label)\\s*\\{"));
    static const QRegularExpression textBinding(QStringLiteral("^text\\s*:(.*)$"),
                                                QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression plain(QStringLiteral("^textFormat\\s*:\\s*(Text|Label)\\.PlainText$"));
    const QString s = withoutComments(qml);
    QList<int> lines;
    auto it = element.globalMatch(withoutStringContents(s));
    while (it.hasNext()) {
        const auto m = it.next();
        bool fixed = false;
        bool isPlain = false;
        for (const QString& statement : ownStatements(s, m.capturedEnd())) {
            const auto text = textBinding.match(statement);
            if (text.hasMatch())
                fixed = isFixedText(text.captured(1));
            if (plain.match(statement).hasMatch())
                isPlain = true;
        }
        if (!fixed && !isPlain)
            lines << s.leftRef(m.capturedStart()).count(QLatin1Char('\n')) + 1;
    }
    return lines;
}

} // namespace plaintextscan

#include "reportqr.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

int ReportQr::modules(const QString& uri)
{
    static const QRegularExpression viewBox(QStringLiteral("viewBox=\"0 0 (\\d{1,4}) "));
    const QRegularExpressionMatch match = viewBox.match(uri);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

int ReportQr::modulePixels(int modules, int space)
{
    if (modules <= 0 || space <= 0)
        return 0;
    return std::max(1, space / (modules + 2 * extraModules()));
}

QString ReportQr::imageUrl(const QString& uri)
{
    const int comma = uri.indexOf(QLatin1Char(','));
    if (!uri.startsWith(QLatin1String("data:")) || comma < 0)
        return QString();
    return QStringLiteral("data:image/svg+xml;charset=utf-8,")
        + QString::fromLatin1(QUrl::toPercentEncoding(uri.mid(comma + 1), "!~*'()"));
}

#include "productdetails.h"

#include <cmath>

QString ProductDetails::kind(const QVariant& type, bool alreadyValid)
{
    bool ok = false;
    const double number = type.toDouble(&ok);
    // Product types are small whole numbers; anything beyond an int (1e30, infinity) would make
    // the cast below undefined.
    if (!type.isValid() || !ok || number != std::floor(number) || std::fabs(number) > 1000.0)
        return QString();
    switch (int(number)) {
    case 0:
        return QStringLiteral("ticket");
    case 5:
    case 12:
        return QStringLiteral("journeys");
    case 16:
        return alreadyValid ? QString() : QStringLiteral("journeys");
    case 14:
        return QStringLiteral("transfer");
    case 8:
        return QStringLiteral("period");
    case 2:
        return QStringLiteral("purse");
    case 15:
        return alreadyValid ? QString() : QStringLiteral("purse");
    default:
        return QString();
    }
}

QVariantMap ProductDetails::period(const QVariant& minutes)
{
    bool ok = false;
    double m = minutes.toDouble(&ok);
    if (!ok || !std::isfinite(m))
        m = 0;
    const auto answer = [](double count, const char* one, const char* many) {
        return QVariantMap { { QStringLiteral("count"), count },
                             { QStringLiteral("unit"), QLatin1String(count == 1 ? one : many) } };
    };
    // Halves round up, as the screens have always shown them.
    if (m > 1440)
        return answer(std::floor(m / 1440 + 0.5), "day", "days");
    if (m > 120)
        return answer(std::floor(m / 60 + 0.5), "hour", "hours");
    return answer(m, "min", "mins");
}

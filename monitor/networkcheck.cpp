#include "monitor/networkcheck.h"

#include <QCoreApplication>

#include <cmath>

namespace networkcheck {

Verdict verdict(const hw::NetworkInfo& info, double chosenPosition)
{
    if (!std::isfinite(info.orbitalPosition) || !std::isfinite(chosenPosition))
        return Verdict::Unknown;
    // Lists and NITs round co-located satellites differently by a tenth or two.
    double difference = std::fmod(std::abs(info.orbitalPosition - chosenPosition), 360.0);
    difference = std::min(difference, 360.0 - difference);
    return difference <= 0.5 ? Verdict::Match : Verdict::Mismatch;
}

QString positionText(double degrees)
{
    return QString::number(std::abs(degrees), 'f', 1) + QChar(0x00B0) +
           (degrees < 0 ? QLatin1Char('W') : QLatin1Char('E'));
}

QString text(const hw::NetworkInfo& info, Verdict v, double chosenPosition)
{
    const QString name = info.name.isEmpty() ? QString::number(info.networkId) : info.name;
    if (!std::isfinite(info.orbitalPosition))
        return QCoreApplication::translate("zenaraForm", "Network: %1").arg(name);
    if (v == Verdict::Mismatch)
        return QCoreApplication::translate("zenaraForm", "Network: %1 \u2014 you are on %2, not %3")
            .arg(name, positionText(info.orbitalPosition), positionText(chosenPosition));
    return QCoreApplication::translate("zenaraForm", "Network: %1 \u2014 %2")
        .arg(name, positionText(info.orbitalPosition));
}

QString noneText()
{
    return QCoreApplication::translate("zenaraForm", "Network: none received");
}

} // namespace networkcheck

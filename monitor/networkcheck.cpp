#include "monitor/networkcheck.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace networkcheck {

namespace {

// Lists and NITs round co-located satellites differently by a tenth or two.
constexpr double SlotHalfWidth = 0.5;

// Degrees between two orbital positions, the short way round.
double separation(double a, double b)
{
    const double difference = std::fmod(std::abs(a - b), 360.0);
    return std::min(difference, 360.0 - difference);
}

} // namespace

Verdict verdict(const hw::NetworkInfo& info, double chosenPosition)
{
    if (!std::isfinite(info.orbitalPosition) || !std::isfinite(chosenPosition))
        return Verdict::Unknown;
    return separation(info.orbitalPosition, chosenPosition) <= SlotHalfWidth ? Verdict::Match
                                                                             : Verdict::Mismatch;
}

QString satelliteAt(const QStringList& names, const QVector<double>& positions, double position)
{
    int nearest = -1;
    double best = SlotHalfWidth;
    const int count = std::min(int(names.size()), int(positions.size()));
    for (int i = 0; std::isfinite(position) && i < count; ++i) {
        const double off = separation(positions.at(i), position);
        if (off <= best && (nearest < 0 || off < best)) {
            nearest = i;
            best = off;
        }
    }
    return nearest >= 0 ? names.at(nearest) : QString();
}

QString positionText(double degrees)
{
    return QString::number(std::abs(degrees), 'f', 1) + QChar(0x00B0) +
           (degrees < 0 ? QLatin1Char('W') : QLatin1Char('E'));
}

QString text(const hw::NetworkInfo& info, Verdict v, double chosenPosition,
             const QString& listedThere)
{
    const QString name = info.name.isEmpty() ? QString::number(info.networkId) : info.name;
    if (!std::isfinite(info.orbitalPosition))
        return QCoreApplication::translate("zenaraForm", "Network: %1").arg(name);
    if (v == Verdict::Mismatch && listedThere.isEmpty())
        return QCoreApplication::translate(
                   "zenaraForm", "Network: %1 \u2014 you are on a satellite at %2, not %3")
            .arg(name, positionText(info.orbitalPosition), positionText(chosenPosition));
    if (v == Verdict::Mismatch)
        return QCoreApplication::translate("zenaraForm",
                                           "Network: %1 \u2014 you are on %2 at %3, not %4")
            .arg(name, listedThere, positionText(info.orbitalPosition),
                 positionText(chosenPosition));
    return QCoreApplication::translate("zenaraForm", "Network: %1 \u2014 %2")
        .arg(name, positionText(info.orbitalPosition));
}

QString noneText()
{
    return QCoreApplication::translate("zenaraForm", "Network: none received");
}

} // namespace networkcheck

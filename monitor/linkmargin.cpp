#include "monitor/linkmargin.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace linkmargin {

double esN0FromMeter(int snrMeter)
{
    return (snrMeter - 40) / 9.0;
}

Estimate estimate(bool snrValid, int snrMeter, bool carrier, bool locked,
                  const hw::SignalFormat* format, double measuredDb, bool meterInDb)
{
    Estimate e;
    if (!carrier || (!(snrValid && meterInDb) && !std::isfinite(measuredDb)))
        return e;
    e.valid = true;
    e.cnDb = std::isfinite(measuredDb) ? measuredDb : esN0FromMeter(snrMeter);
    const double threshold =
        format ? hw::modcod::qefEsN0Db(*format) : std::numeric_limits<double>::quiet_NaN();
    if (locked && std::isfinite(threshold)) {
        e.marginValid = true;
        e.thresholdDb = threshold;
        e.marginDb = e.cnDb - threshold;
        e.modcod = hw::modcod::lockedText(*format);
    }
    return e;
}

QString text(const Estimate& e)
{
    if (!e.valid)
        return QCoreApplication::translate("zenaraForm", "C/N --");
    const QString cn = QString::number(e.cnDb, 'f', 1);
    if (!e.marginValid)
        return QCoreApplication::translate("zenaraForm", "C/N %1 dB").arg(cn);
    return QCoreApplication::translate("zenaraForm", "C/N %1 dB, fade margin %2 dB")
        .arg(cn, QString::number(e.marginDb, 'f', 1));
}

QString explanation(const Estimate& e)
{
    if (!e.marginValid)
        return QCoreApplication::translate(
            "zenaraForm", "The carrier to noise ratio. The fade margin follows the lock.");
    return QCoreApplication::translate(
               "zenaraForm",
               "Fade margin: how far the signal may fade before errors begin. %1 needs "
               "%2 dB for error-free reception; the lock itself holds about 1 dB lower.")
        .arg(e.modcod, QString::number(e.thresholdDb, 'f', 2));
}

QString widestText()
{
    // Locked, the C/N lies above the code rate's threshold, so the margin is
    // a few tenths below zero at worst; without lock there is no margin.
    return QCoreApplication::translate("zenaraForm", "C/N %1 dB, fade margin %2 dB")
        .arg(QStringLiteral("00.0"), QStringLiteral("00.0"));
}

} // namespace linkmargin

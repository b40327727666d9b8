#include "monitor/linkmargin.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>

namespace linkmargin {
namespace {

// A typical Ku-band installation: 66 K in clear sky (45 K antenna, 0.3 dB LNB),
// rain at 275 K, and a transponder whose own C/N (uplink noise, its amplifier)
// is 20 dB; rain at the dish leaves that part alone.
constexpr double ClearSkyNoiseK = 66.0;
constexpr double RainK = 275.0;
constexpr double TransponderCnDb = 20.0;
// The fade shown is the one that loses the lock, about 1 dB below the
// quasi-error-free threshold: that is when the picture goes. (A 3/4 carrier
// 7.6 dB over its threshold loses the lock at about 4.3 dB of rain.)
constexpr double LockBelowThresholdDb = 1.0;

double toLinear(double db)
{
    return std::pow(10.0, db / 10.0);
}

double toDb(double linear)
{
    return 10.0 * std::log10(linear);
}

} // namespace

double tolerableFadeDb(double cnDb, double dropDb)
{
    if (!std::isfinite(cnDb) || !std::isfinite(dropDb) || cnDb <= dropDb)
        return 0.0;
    // The measured noise is the dish's plus the transponder's; only the dish's
    // part fades. A C/N near or above the typical transponder's means a cleaner
    // one: take its part at least 3 dB better than the measurement, so rain is
    // never credited with less than half the noise.
    const double transponder = std::max(toLinear(TransponderCnDb), 2.0 * toLinear(cnDb));
    const double downlink = 1.0 / (1.0 / toLinear(cnDb) - 1.0 / transponder);
    auto cnInRain = [&](double fade) {
        const double loss = toLinear(-fade);
        const double noiseRise = 1.0 + RainK * (1.0 - loss) / ClearSkyNoiseK;
        return toDb(1.0 / (noiseRise / (downlink * loss) + 1.0 / transponder));
    };
    // The C/N falls at least as fast as the fade, so the answer lies below
    // cnDb - dropDb. A fixed count of halvings: a driver's absurd figure must
    // not keep it going.
    double low = 0.0;
    double high = cnDb - dropDb;
    for (int i = 0; i < 64; ++i) {
        const double middle = (low + high) / 2;
        (cnInRain(middle) > dropDb ? low : high) = middle;
    }
    return low;
}

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
        e.rainFadeDb = tolerableFadeDb(e.cnDb, threshold - LockBelowThresholdDb);
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
    return QCoreApplication::translate("zenaraForm", "C/N %1 dB, takes %2 dB of rain")
        .arg(cn, QString::number(e.rainFadeDb, 'f', 1));
}

QString explanation(const Estimate& e)
{
    if (!e.marginValid)
        return QCoreApplication::translate(
            "zenaraForm",
            "The carrier to noise ratio; how much rain the link takes is shown once it locks.");
    return QCoreApplication::translate(
               "zenaraForm",
               "How much rain fade the link takes before the lock goes, for a typical Ku-band "
               "dish and transponder: rain weakens the carrier and adds noise of its own, so the "
               "C/N falls faster than the fade. Errors begin sooner: %1 needs %2 dB for "
               "error-free reception, %3 dB under the C/N now; the lock goes about 1 dB lower.")
        .arg(e.modcod, QString::number(e.thresholdDb, 'f', 2), QString::number(e.marginDb, 'f', 1));
}

QString widestText()
{
    // Two digits each, as a dish shows them; before lock there is no fade.
    return QCoreApplication::translate("zenaraForm", "C/N %1 dB, takes %2 dB of rain")
        .arg(QStringLiteral("00.0"), QStringLiteral("00.0"));
}

} // namespace linkmargin

#include "monitor/linkmargin.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace linkmargin {

double esN0FromMeter(int snrMeter)
{
    return (snrMeter - 40) / 9.0;
}

double thresholdDb(const QString& codeRate)
{
    // EN 300 421's Eb/N0 for 1/2, 2/3, 3/4, 5/6 and 7/8 (4.5, 5.0, 5.5, 6.0 and
    // 6.4 dB) plus 10 log10(2 R 188/204); 4/5, 6/7 and 8/9, which the chip also
    // reports, lie between their neighbours.
    static const struct
    {
        const char* rate;
        double db;
    } table[] = {{"1/2", 4.15}, {"2/3", 5.89}, {"3/4", 6.91}, {"4/5", 7.4},
                 {"5/6", 7.86}, {"6/7", 8.2},  {"7/8", 8.48}, {"8/9", 8.9}};
    for (const auto& row : table)
        if (codeRate == QLatin1String(row.rate))
            return row.db;
    return std::numeric_limits<double>::quiet_NaN();
}

Estimate estimate(bool snrValid, int snrMeter, bool carrier, bool locked, const QString& codeRate,
                  double measuredDb)
{
    Estimate e;
    if (!carrier || (!snrValid && !std::isfinite(measuredDb)))
        return e;
    e.valid = true;
    e.cnDb = std::isfinite(measuredDb) ? measuredDb : esN0FromMeter(snrMeter);
    const double threshold = thresholdDb(codeRate);
    if (locked && std::isfinite(threshold)) {
        e.marginValid = true;
        e.marginDb = e.cnDb - threshold;
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
    return QCoreApplication::translate("zenaraForm", "C/N %1 dB, margin %2 dB")
        .arg(cn, QString::number(e.marginDb, 'f', 1));
}

QString widestText()
{
    // Locked, the C/N lies above the code rate's threshold, so the margin is
    // a few tenths below zero at worst; without lock there is no margin.
    return QCoreApplication::translate("zenaraForm", "C/N %1 dB, margin %2 dB")
        .arg(QStringLiteral("00.0"), QStringLiteral("00.0"));
}

} // namespace linkmargin

#include "settings/optionvalues.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cmath>

namespace optionvalues {

QString oneDecimalText(double value)
{
    return QString::asprintf("%.1f", value);
}

QString twoDecimalText(double value)
{
    return QString::asprintf("%.2f", value);
}

namespace {
bool usesComma(const QLocale& language)
{
    return language.decimalPoint() == QLatin1Char(',');
}
} // namespace

bool parseDecimal(const QString& text, const QLocale& language, double* value)
{
    QString t = text.trimmed();
    if (usesComma(language))
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    static const QRegularExpression number(QStringLiteral("^[-+]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    if (!number.match(t).hasMatch())
        return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

QString typingPattern(bool negative, int decimals)
{
    return QStringLiteral("^%1\\d{0,3}([.,]\\d{0,%2})?$")
        .arg(negative ? QStringLiteral("[-+]?") : QString())
        .arg(decimals);
}

QString problem(const Values& v)
{
    if (!(std::abs(v.latitude) <= 90))
        return QCoreApplication::translate(
            "DisqOptions", "The latitude must lie between -90 and 90 degrees (north positive).");
    if (!(std::abs(v.longitude) <= 180))
        return QCoreApplication::translate(
            "DisqOptions", "The longitude must lie between -180 and 180 degrees (east positive).");
    if (!(v.oneDegreSteps > 0))
        return QCoreApplication::translate("DisqOptions",
                                           "The motor must take more than 0 steps for a degree.");
    if (!(v.minElevation >= 0 && v.minElevation <= MaxMinElevation))
        return QCoreApplication::translate(
                   "DisqOptions", "The minimum elevation must lie between 0 and %1 degrees.")
            .arg(MaxMinElevation);
    if (!(v.dishDiameter >= MinDishDiameter && v.dishDiameter <= MaxDishDiameter))
        return QCoreApplication::translate(
                   "DisqOptions", "The dish diameter must lie between %1 and %2 metres.")
            .arg(MinDishDiameter)
            .arg(MaxDishDiameter);
    return QString();
}

} // namespace optionvalues

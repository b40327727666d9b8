#include "settings/optionvalues.h"

#include <QCoreApplication>

#include <cmath>

namespace optionvalues {
namespace {

} // namespace

QString oneDecimalText(double value)
{
    return QString::asprintf("%.1f", value);
}

QString twoDecimalText(double value)
{
    return QString::asprintf("%.2f", value);
}

double decimalValue(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
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
    return QString();
}

} // namespace optionvalues

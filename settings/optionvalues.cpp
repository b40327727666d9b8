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

namespace {

constexpr double Huge = 1e9;
using K = Key::Kind;

Key real(const char* name, double min, double max, double readMin, double readMax,
         double Values::*member, const char* refusal)
{
    return {name, K::Real, min, max, readMin, readMax, member, nullptr, nullptr, refusal};
}

Key whole(const char* name, double min, double max, double readMin, double readMax,
          int Values::*member, const char* refusal)
{
    return {name, K::Whole, min, max, readMin, readMax, nullptr, member, nullptr, refusal};
}

} // namespace

const std::vector<Key>& keys()
{
    // The store reads wider ranges than the dialog offers: files written by
    // hand or by older versions keep their values.
    static const std::vector<Key> table = {
        real("LocationLongitude", -180, 180, -180, 360, &Values::longitude,
             QT_TRANSLATE_NOOP("DisqOptions", "The longitude must lie between -180 and 180 "
                                              "degrees (east positive).")),
        real("LocationLatitude", -90, 90, -90, 90, &Values::latitude,
             QT_TRANSLATE_NOOP("DisqOptions", "The latitude must lie between -90 and 90 degrees "
                                              "(north positive).")),
        real("MinElevation", 0, 60, 0, 60, &Values::minElevation,
             QT_TRANSLATE_NOOP("DisqOptions",
                               "The minimum elevation must lie between %1 and %2 degrees.")),
        whole("Curves/AGCScaleMin", 0, 99, -1000000, 1000000, &Values::agcScaleMin,
              QT_TRANSLATE_NOOP("DisqOptions", "The AGC scale's minimum must lie between %1 "
                                               "and %2.")),
        whole("Curves/AGCScaleMax", 1, 100, -1000000, 1000000, &Values::agcScaleMax,
              QT_TRANSLATE_NOOP("DisqOptions", "The AGC scale's maximum must lie between %1 "
                                               "and %2.")),
        {"Curves/AGCAutoScale", K::Flag, 0, 1, -Huge, Huge, nullptr, nullptr, &Values::agcAutoScale,
         QT_TRANSLATE_NOOP("DisqOptions", "Auto scale is 0 (off) or 1 (on).")},
        whole("DriveVersion", 0, 1, 0, 1, &Values::driveVersion,
              QT_TRANSLATE_NOOP("DisqOptions", "The drive version is 0 (Typical) or 1 (STAB).")),
        real("OneDegreSteps", 0.01, 999.99, 0.01, 1000, &Values::oneDegreSteps,
             QT_TRANSLATE_NOOP("DisqOptions",
                               "The motor must take between %1 and %2 steps for a degree.")),
        whole("MaxTimeOfPositioning", 100, 9999, 1, 600000, &Values::maxTimeOfPositioning,
              QT_TRANSLATE_NOOP("DisqOptions", "The maximum time of positioning 1° must lie "
                                               "between %1 and %2 ms.")),
        whole("GAPTime", 100, 9999, 1, 60000, &Values::gapTime,
              QT_TRANSLATE_NOOP("DisqOptions", "The GAP time must lie between %1 and %2 ms.")),
        whole("MaxAngle", 10, 90, 0, 180, &Values::maxAngle,
              QT_TRANSLATE_NOOP("DisqOptions",
                                "The maximum angle must lie between %1 and %2 degrees.")),
        real("DishDiameter", 0.2, 10, 0.2, 10, &Values::dishDiameter,
             QT_TRANSLATE_NOOP("DisqOptions",
                               "The dish diameter must lie between %1 and %2 metres.")),
        whole("AcousticFreqMinHz", 50, 10000, 0, 100000, &Values::acousticFreqMinHz,
              QT_TRANSLATE_NOOP("DisqOptions", "The tone's lowest frequency must lie between "
                                               "%1 and %2 Hz.")),
        whole("AcousticFreqMaxHz", 100, 10000, 0, 100000, &Values::acousticFreqMaxHz,
              QT_TRANSLATE_NOOP("DisqOptions", "The tone's highest frequency must lie between "
                                               "%1 and %2 Hz.")),
        whole("AcousticVolume", 0, 100, 0, 100, &Values::acousticVolume,
              QT_TRANSLATE_NOOP("DisqOptions", "The volume must lie between %1 and %2 per cent.")),
        whole("AcousticScaleMin", 0, 99, 0, 100, &Values::acousticScaleMin,
              QT_TRANSLATE_NOOP("DisqOptions", "The tone's AGC scale minimum must lie between "
                                               "%1 and %2 per cent.")),
        whole("AcousticScaleMax", 0, 100, 0, 100, &Values::acousticScaleMax,
              QT_TRANSLATE_NOOP("DisqOptions", "The tone's AGC scale maximum must lie between "
                                               "%1 and %2 per cent.")),
        // Learnt, not typed: the dialog shows them and can forget them.
        whole("LearnedMsPerDegree13V", 0, 9999, 0, 600000, &Values::learnedMsPerDegree13V,
              QT_TRANSLATE_NOOP("DisqOptions", "The motor's learnt time a degree must lie "
                                               "between %1 and %2 ms (0: not learnt).")),
        whole("LearnedMsPerDegree18V", 0, 9999, 0, 600000, &Values::learnedMsPerDegree18V,
              QT_TRANSLATE_NOOP("DisqOptions", "The motor's learnt time a degree must lie "
                                               "between %1 and %2 ms (0: not learnt).")),
    };
    return table;
}

const Key* findKey(const QString& name)
{
    const QString bare = name.startsWith(QLatin1String("Settings/")) ? name.mid(9) : name;
    for (const Key& key : keys())
        if (bare == QLatin1String(key.name))
            return &key;
    return nullptr;
}

QString storeKey(const Key& key)
{
    return QStringLiteral("Settings/") + QLatin1String(key.name);
}

double valueOf(const Values& v, const Key& key)
{
    return key.real ? v.*key.real : key.whole ? double(v.*key.whole) : double(v.*key.flag);
}

void setValue(Values* v, const Key& key, double value)
{
    if (key.real)
        v->*key.real = value;
    else if (key.whole)
        v->*key.whole = int(value);
    else
        v->*key.flag = value != 0;
}

QString refusal(const Key& key, double value)
{
    const bool fits = value >= key.minimum && value <= key.maximum &&
                      (key.kind == Key::Kind::Real || value == std::floor(value));
    if (fits)
        return QString();
    QString text = QCoreApplication::translate("DisqOptions", key.refusal);
    if (text.contains(QLatin1String("%1")))
        text = text.arg(key.minimum).arg(key.maximum);
    return text;
}

QString problem(const Values& v, const Values& before)
{
    for (const Key& key : keys()) {
        const double value = valueOf(v, key);
        if (value == valueOf(before, key))
            continue;
        if (const QString text = refusal(key, value); !text.isEmpty())
            return text;
    }
    return QString();
}

} // namespace optionvalues

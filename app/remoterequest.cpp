#include "app/remoterequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

namespace remote {

namespace {

bool wholeNumber(const QString& text, int low, int high, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= low && *value <= high;
}

// The keys the options dialog edits, by their settings names.
struct KeyName
{
    const char* name;
    Request::KeyKind kind;
};
const KeyName Keys[] = {
    {"LocationLongitude", Request::KeyKind::Real},
    {"LocationLatitude", Request::KeyKind::Real},
    {"MinElevation", Request::KeyKind::Real},
    {"DishDiameter", Request::KeyKind::Real},
    {"Curves/AGCScaleMin", Request::KeyKind::Whole},
    {"Curves/AGCScaleMax", Request::KeyKind::Whole},
    {"Curves/AGCAutoScale", Request::KeyKind::Flag},
    {"DriveVersion", Request::KeyKind::Whole},
    {"OneDegreSteps", Request::KeyKind::Real},
    {"MaxTimeOfPositioning", Request::KeyKind::Whole},
    {"GAPTime", Request::KeyKind::Whole},
    {"MaxAngle", Request::KeyKind::Whole},
    {"AcousticFreqMinHz", Request::KeyKind::Whole},
    {"AcousticFreqMaxHz", Request::KeyKind::Whole},
    {"AcousticVolume", Request::KeyKind::Whole},
    {"AcousticScaleMin", Request::KeyKind::Whole},
    {"AcousticScaleMax", Request::KeyKind::Whole},
};

// Checks the arguments of a known command; false for an unknown one.
bool check(Request* r)
{
    const QString& c = r->command;
    const QStringList& a = r->args;
    auto refuse = [r](const QString& text) {
        r->error = text;
        return true;
    };
    if (c == QLatin1String("status") || c == QLatin1String("go") || c == QLatin1String("usals") ||
        c == QLatin1String("halt") || c == QLatin1String("markers") ||
        c == QLatin1String("set-position") || c == QLatin1String("unset-position"))
        return true;
    if (c == QLatin1String("tune")) {
        if (a.size() != 3 || (a.at(1) != QLatin1String("V") && a.at(1) != QLatin1String("H")))
            refuse(QStringLiteral("tune takes FREQ V|H SR, such as: tune 11977 H 27500"));
        return true;
    }
    if (c == QLatin1String("satellite")) {
        if (a.size() != 1 || !parsePosition(a.at(0), &r->degrees))
            refuse(QStringLiteral("satellite takes a position such as 13.0E or 5.0W"));
        return true;
    }
    if (c == QLatin1String("transponder")) {
        if (a.size() != 1 || !wholeNumber(a.at(0), 1, 99999, &r->number))
            refuse(QStringLiteral("transponder takes a frequency in MHz"));
        return true;
    }
    if (c == QLatin1String("goto") || c == QLatin1String("store")) {
        if (a.size() != 1 || !wholeNumber(a.at(0), 0, 60, &r->number))
            refuse(QStringLiteral("%1 takes a position 0..60").arg(c));
        return true;
    }
    if (c == QLatin1String("limit")) {
        if (a.size() != 1 || (a.at(0) != QLatin1String("east") &&
                              a.at(0) != QLatin1String("west") && a.at(0) != QLatin1String("off")))
            refuse(QStringLiteral("limit takes east, west or off"));
        return true;
    }
    if (c == QLatin1String("raw")) {
        if (a.size() < 3 || a.size() > 6)
            refuse(QStringLiteral("raw takes 3 to 6 hexadecimal bytes"));
        return true;
    }
    if (c == QLatin1String("drive")) {
        static const QStringList units = {QStringLiteral("steps"), QStringLiteral("seconds"),
                                          QStringLiteral("degrees")};
        bool parsed = false;
        if (a.size() == 3 &&
            (a.at(0) == QLatin1String("east") || a.at(0) == QLatin1String("west")) &&
            units.contains(a.at(2))) {
            r->driveMode = units.indexOf(a.at(2));
            r->east = a.at(0) == QLatin1String("east");
            r->value = a.at(1).toDouble(&parsed);
        }
        if (!parsed || !std::isfinite(r->value) || r->value < 0)
            refuse(QStringLiteral("drive takes east|west AMOUNT steps|seconds|degrees"));
        return true;
    }
    if (c == QLatin1String("drive-to")) {
        if (a.size() != 1 || !parsePosition(a.at(0), &r->degrees))
            return refuse(QStringLiteral("drive-to takes an angle such as 12.3E"));
        r->driveMode = 3;
        r->east = r->degrees >= 0;
        r->value = std::abs(r->degrees);
        return true;
    }
    if (c == QLatin1String("autotune")) {
        if (!a.isEmpty() && (a.size() != 1 || !wholeNumber(a.at(0), 0, 10, &r->number)))
            refuse(QStringLiteral("autotune takes a number of steps 0..10"));
        return true;
    }
    if (c == QLatin1String("wait-lock")) {
        bool fine = false;
        r->value = a.value(0).toDouble(&fine);
        if (a.size() != 1 || !fine || !(r->value >= 0) || r->value > 3600)
            refuse(QStringLiteral("wait-lock takes a number of seconds up to 3600"));
        return true;
    }
    if (c == QLatin1String("get") || c == QLatin1String("set")) {
        const bool set = c == QLatin1String("set");
        if (a.size() != (set ? 2 : 1))
            return refuse(QStringLiteral("%1 takes KEY%2")
                              .arg(c, set ? QStringLiteral(" VALUE") : QString()));
        QString name = a.at(0);
        if (name.startsWith(QLatin1String("Settings/")))
            name.remove(0, 9);
        const KeyName* key = nullptr;
        for (const KeyName& k : Keys)
            if (name == QLatin1String(k.name))
                key = &k;
        if (!key)
            return refuse(QStringLiteral("no such setting \"%1\"").arg(a.at(0)));
        r->key = name;
        r->keyKind = key->kind;
        if (set) {
            bool parsed = false;
            r->value = a.at(1).toDouble(&parsed);
            if (!parsed || !std::isfinite(r->value) || std::abs(r->value) > 1e6 ||
                (key->kind != Request::KeyKind::Real && r->value != std::floor(r->value)))
                refuse(QStringLiteral("\"%1\" is not a value for %2").arg(a.at(1), name));
        }
        return true;
    }
    return false;
}

} // namespace

bool parsePosition(const QString& text, double* degrees)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,3}(?:\\.\\d+)?)([EW])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    const double value = m.captured(1).toDouble();
    *degrees = m.captured(2).compare(QLatin1String("W"), Qt::CaseInsensitive) == 0 ? -value : value;
    return value <= 180;
}

Request parse(const QByteArray& json)
{
    Request r;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        r.error = QStringLiteral("the request is not a JSON object");
        return r;
    }
    const QJsonObject object = document.object();
    r.command = object.value(QStringLiteral("command")).toString();
    for (const QJsonValue& v : object.value(QStringLiteral("args")).toArray())
        r.args.append(v.toString());
    if (!check(&r))
        r.error = QStringLiteral("unknown command \"%1\"").arg(r.command);
    return r;
}

QByteArray encode(const QString& command, const QStringList& args)
{
    const QJsonObject object{{QStringLiteral("command"), command},
                             {QStringLiteral("args"), QJsonArray::fromStringList(args)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace remote

#include "core/remoterequest.h"

#include "core/remotecommands.h"
#include "settings/optionvalues.h"

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

bool realNumber(const QString& text, double low, double high, double* value)
{
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value) && *value >= low && *value <= high;
}

} // namespace

namespace checks {

namespace {
bool refuse(Request* r, const QString& text)
{
    r->error = text;
    return true;
}

} // namespace

bool noArguments(Request*)
{
    return true;
}

// "S" or "S2", then for DVB-S2 a modulation and a code rate, each optional.
bool signalFormat(const QStringList& words, hw::SignalFormat* format)
{
    if (words.isEmpty())
        return true;
    const QString system = words.at(0).toUpper();
    if (system == QLatin1String("S") || system == QLatin1String("DVB-S"))
        return words.size() == 1;
    if (system != QLatin1String("S2") && system != QLatin1String("DVB-S2"))
        return false;
    format->system = hw::DeliverySystem::DvbS2;
    const QStringList rest = words.mid(1);
    if (rest.size() > 2)
        return false;
    bool haveModulation = false, haveRate = false;
    for (const QString& word : rest) {
        if (!haveModulation && hw::modcod::parseModulation(word, &format->modulation))
            haveModulation = true;
        else if (!haveRate && word.contains(QLatin1Char('/')) &&
                 hw::modcod::parseRate(word, &format->rate))
            haveRate = true;
        else
            return false;
    }
    return true;
}

bool tune(Request* r)
{
    const QStringList& a = r->args;
    if (a.size() < 3 || (a.at(1) != QLatin1String("V") && a.at(1) != QLatin1String("H")) ||
        !signalFormat(a.mid(3), &r->format))
        refuse(r, QStringLiteral("tune takes FREQ V|H SR [S2 [MODULATION] [RATE]], such as: "
                                 "tune 11977 H 27500 or tune 11012 H 30000 S2 8PSK 3/4"));
    return true;
}

bool satellite(Request* r)
{
    if (r->args.size() != 1 || !parsePosition(r->args.at(0), &r->degrees))
        refuse(r, QStringLiteral("satellite takes a position such as 13.0E or 5.0W"));
    return true;
}

bool transponder(Request* r)
{
    if (r->args.size() != 1 || !wholeNumber(r->args.at(0), 1, 99999, &r->number))
        refuse(r, QStringLiteral("transponder takes a frequency in MHz"));
    return true;
}

bool position(Request* r)
{
    if (r->args.size() != 1 || !wholeNumber(r->args.at(0), 0, 60, &r->number))
        refuse(r, QStringLiteral("%1 takes a position 0..60").arg(r->command));
    return true;
}

bool limit(Request* r)
{
    static const QStringList sides = {QStringLiteral("east"), QStringLiteral("west"),
                                      QStringLiteral("off")};
    if (r->args.size() != 1 || !sides.contains(r->args.at(0)))
        refuse(r, QStringLiteral("limit takes east, west or off"));
    return true;
}

bool raw(Request* r)
{
    if (r->args.size() < 3 || r->args.size() > 6)
        refuse(r, QStringLiteral("raw takes 3 to 6 hexadecimal bytes"));
    return true;
}

bool drive(Request* r)
{
    static const QStringList units = {QStringLiteral("steps"), QStringLiteral("seconds"),
                                      QStringLiteral("degrees")};
    const QStringList& a = r->args;
    bool parsed = false;
    if (a.size() == 3 && (a.at(0) == QLatin1String("east") || a.at(0) == QLatin1String("west")) &&
        units.contains(a.at(2))) {
        r->driveMode = units.indexOf(a.at(2));
        r->east = a.at(0) == QLatin1String("east");
        r->value = a.at(1).toDouble(&parsed);
    }
    if (!parsed || !std::isfinite(r->value) || r->value < 0)
        refuse(r, QStringLiteral("drive takes east|west AMOUNT steps|seconds|degrees"));
    return true;
}

bool driveTo(Request* r)
{
    if (r->args.size() != 1 || !parsePosition(r->args.at(0), &r->degrees))
        return refuse(r, QStringLiteral("drive-to takes an angle such as 12.3E"));
    r->driveMode = 3;
    r->east = r->degrees >= 0;
    r->value = std::abs(r->degrees);
    return true;
}

bool autotune(Request* r)
{
    const QStringList& a = r->args;
    if (!a.isEmpty() && (a.size() != 1 || !wholeNumber(a.at(0), 0, 10, &r->number)))
        refuse(r, QStringLiteral("autotune takes a number of steps 0..10"));
    return true;
}

bool waitLock(Request* r)
{
    bool fine = false;
    r->value = r->args.value(0).toDouble(&fine);
    if (r->args.size() != 1 || !fine || !(r->value >= 0) || r->value > 3600)
        refuse(r, QStringLiteral("wait-lock takes a number of seconds up to 3600"));
    return true;
}

// The keys are the options table's: the value's limits are checked where it
// is set, with the options dialog's words.
bool setting(Request* r)
{
    const QStringList& a = r->args;
    const bool set = r->command == QLatin1String("set");
    if (a.size() != (set ? 2 : 1))
        return refuse(r, QStringLiteral("%1 takes KEY%2")
                             .arg(r->command, set ? QStringLiteral(" VALUE") : QString()));
    const optionvalues::Key* key = optionvalues::findKey(a.at(0));
    if (!key)
        return refuse(r, QStringLiteral("no such setting \"%1\"").arg(a.at(0)));
    r->key = QLatin1String(key->name);
    if (!set)
        return true;
    bool parsed = false;
    r->value = a.at(1).toDouble(&parsed);
    if (!parsed || !std::isfinite(r->value) || std::abs(r->value) > 1e6 ||
        (key->kind != optionvalues::Key::Kind::Real && r->value != std::floor(r->value)))
        refuse(r, QStringLiteral("\"%1\" is not a value for %2").arg(a.at(1), r->key));
    return true;
}

// The form only: which names and values a simulated mount takes, and
// whether there is one at all, the receiver says.
bool mount(Request* r)
{
    const QStringList& a = r->args;
    const bool set = !a.isEmpty() && a.first() == QLatin1String("set");
    bool formed = !(set && a.size() == 1);
    for (int i = set ? 1 : 0; i < a.size() && formed; ++i)
        formed = a.at(i).indexOf(QLatin1Char('=')) > 0;
    if (!formed)
        refuse(r, QStringLiteral("mount takes [set] NAME=DEGREES..., such as: "
                                 "mount axis-azimuth=+0.3 declination=-0.2"));
    return true;
}

bool calibrate(Request* r)
{
    double degrees = 0;
    for (const QString& a : r->args)
        if (!parsePosition(a, &degrees))
            refuse(r, QStringLiteral("calibrate takes satellites' positions such as 28.2E 13.0E "
                                     "5.0W, or none for the ones it picks"));
    return true;
}

bool calibration(Request* r)
{
    const QStringList& a = r->args;
    double degrees = 0;
    const bool formed = a.isEmpty() ||
                        (a.size() == 1 && (a.first() == QLatin1String("reset") ||
                                           a.first() == QLatin1String("adjusted"))) ||
                        (a.size() == 3 && a.first() == QLatin1String("offset") &&
                         parsePosition(a.at(1), &degrees) && realNumber(a.at(2), -5, 5, &r->value));
    if (!formed)
        refuse(r, QStringLiteral("calibration takes nothing, reset, adjusted, or offset POSITION "
                                 "DEGREES (-5..5, east positive), such as: calibration offset "
                                 "19.2E 0.1"));
    r->degrees = degrees;
    return true;
}

bool web(Request* r)
{
    const QStringList& a = r->args;
    const QString what = a.value(0);
    const bool formed =
        a.isEmpty() ||
        (a.size() == 1 && (what == QLatin1String("stop") || what == QLatin1String("token"))) ||
        (a.size() == 2 && what == QLatin1String("start"));
    if (!formed)
        refuse(r, QStringLiteral("web takes nothing, start [ADDRESS:]PORT, stop or token, such "
                                 "as: web start 192.168.1.20:8088"));
    return true;
}

} // namespace checks

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
    const remotecommands::Command* command = remotecommands::find(r.command);
    if (!command)
        r.error = QStringLiteral("unknown command \"%1\"").arg(r.command);
    else
        command->check(&r);
    return r;
}

QByteArray encode(const QString& command, const QStringList& args)
{
    const QJsonObject object{{QStringLiteral("command"), command},
                             {QStringLiteral("args"), QJsonArray::fromStringList(args)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace remote

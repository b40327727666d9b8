#include "core/remotecommands.h"

#include "core/arccalibrator.h"
#include "core/session.h"
#include "core/webcontrol.h"
#include "lists/satellitelist.h"
#include "lists/sitegeometry.h"
#include "positioner/commands.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <cmath>

namespace remotecommands {

namespace {

using core::Session;
using remote::Request;

const QJsonObject Ok{{QStringLiteral("ok"), true}};

Outcome fromResult(const core::Result& result, Outcome done = Outcome(Ok))
{
    return result.ok() ? done : Outcome({}, result.warning);
}

// A goto replies when the dish should have arrived.
Outcome arrival(const core::Result& result)
{
    return fromResult(result, Outcome(QJsonObject(), QString(), Then::Motor));
}

Outcome tune(Session& s, const Request& r)
{
    s.enter({r.args.at(0), r.args.at(2), r.args.at(1) != QLatin1String("V"), r.format});
    return fromResult(s.tune());
}

Outcome markers(Session& s, const Request&)
{
    QJsonArray list;
    for (const HistoryPlot::Marker& m : s.history().markers())
        list.append(QJsonObject{{QStringLiteral("label"), m.label},
                                {QStringLiteral("age_seconds"), m.ageSeconds}});
    return {QJsonObject{{QStringLiteral("markers"), list}}};
}

// The satellites the window's box offers, as the "satellite" command takes them.
Outcome satellites(Session& s, const Request&)
{
    const SatelliteList& list = s.satellites();
    QJsonArray shown;
    for (int row = 1; row < list.shownNumbers.size(); ++row) {
        const int at = list.numbers.indexOf(list.shownNumbers.at(row));
        if (at < 0)
            continue;
        const double east = list.orbitalPositions.at(at);
        shown.append(QJsonObject{
            {QStringLiteral("position"),
             QStringLiteral("%1%2").arg(std::abs(east), 0, 'f', 1).arg(east < 0 ? 'W' : 'E')},
            {QStringLiteral("name"), list.names.at(at)},
            {QStringLiteral("label"), list.labels.value(row)}});
    }
    return {QJsonObject{{QStringLiteral("satellites"), shown},
                        {QStringLiteral("chosen"), s.chosenLabel()}}};
}

Outcome help(Session&, const Request&)
{
    QJsonArray list;
    for (const Command* c : commands())
        list.append(QJsonObject{{QStringLiteral("command"), QLatin1String(c->name)},
                                {QStringLiteral("arguments"), QLatin1String(c->arguments)},
                                {QStringLiteral("does"), QLatin1String(c->what)}});
    return {QJsonObject{{QStringLiteral("commands"), list}}};
}

Outcome web(Session& s, const Request& r)
{
    core::WebControl* web = s.webControl();
    if (!web)
        return {{}, QStringLiteral("this program has no phone meter")};
    const QString what = r.args.value(0);
    QString error;
    if (what == QLatin1String("start") && !web->startServing(r.args.value(1), &error))
        return {{}, error};
    if (what == QLatin1String("stop"))
        web->stopServing();
    else if (what == QLatin1String("token"))
        web->renewToken();
    return {web->webState()};
}

Outcome setting(Session& s, const Request& r)
{
    const optionvalues::Key* key = optionvalues::findKey(r.key);
    if (r.command == QLatin1String("set")) {
        // Refused as the dialog refuses it, else applied and written.
        if (const QString problem = s.setOption(r.key, r.value); !problem.isEmpty())
            return {{}, problem};
        s.saveSettingsNow();
    }
    const double v = optionvalues::valueOf(s.options(), *key);
    const QJsonValue value = key->kind == optionvalues::Key::Kind::Real    ? QJsonValue(v)
                             : key->kind == optionvalues::Key::Kind::Whole ? QJsonValue(int(v))
                                                                           : QJsonValue(v != 0);
    return {QJsonObject{{QStringLiteral("key"), optionvalues::storeKey(*key)},
                        {QStringLiteral("value"), value}}};
}

Outcome satellite(Session& s, const Request& r)
{
    const SatelliteList& list = s.satellites();
    for (int row = 1; row < list.shownNumbers.size(); ++row) {
        const int at = list.numbers.indexOf(list.shownNumbers.at(row));
        if (at >= 0 && std::abs(list.orbitalPositions.at(at) - r.degrees) < 0.05) {
            s.chooseSatellite(row);
            return {Ok};
        }
    }
    return {{},
            QStringLiteral("no satellite at %1 in the list, or not visible from the site")
                .arg(r.args.at(0))};
}

Outcome transponder(Session& s, const Request& r)
{
    const QString prefix = QString::number(r.number) + QLatin1Char(',');
    const QStringList entries = s.transponderEntries();
    for (int i = 1; i < entries.size(); ++i) {
        if (entries.at(i).startsWith(prefix)) {
            s.chooseTransponder(i);
            return {Ok};
        }
    }
    return {{}, QStringLiteral("no transponder %1 in the list").arg(r.number)};
}

Outcome position(Session& s, const Request& r)
{
    const bool set = r.command == QLatin1String("set-position");
    if (s.chosenRow() <= 0)
        return {{}, QStringLiteral("no satellite selected")};
    if (!s.positionSettable())
        return {{}, QStringLiteral("position %1 cannot hold a satellite").arg(s.position())};
    if (set == s.positionSet())
        return {{},
                set ? QStringLiteral("already set at this position")
                    : QStringLiteral("not set at this position")};
    return fromResult(s.togglePosition());
}

Outcome gotoOrStore(Session& s, const Request& r)
{
    if (r.number != s.position()) // as the spin box: a value it has already changes nothing
        s.choosePosition(r.number);
    if (r.command == QLatin1String("store"))
        return fromResult(s.storePosition());
    return arrival(s.gotoPosition());
}

Outcome limit(Session& s, const Request& r)
{
    const QString& which = r.args.at(0);
    return fromResult(s.limit(which == QLatin1String("east")   ? Session::Limit::East
                              : which == QLatin1String("west") ? Session::Limit::West
                                                               : Session::Limit::Off));
}

Outcome raw(Session& s, const Request& r)
{
    QStringList fields = r.args;
    while (fields.size() < 6)
        fields.append(QString());
    return fromResult(s.sendRaw(fields));
}

Outcome autotune(Session& s, const Request& r)
{
    const core::Result result =
        s.autotune(s.fineTune().method, r.number >= 0 ? r.number : s.fineTune().steps);
    return fromResult(result, Outcome({}, {}, Then::Status)); // when the climb is over
}

Outcome drive(Session& s, const Request& r)
{
    const int mode = r.driveMode;
    const double amount = r.value;
    const positioner::ModeRange range =
        positioner::modeRange(mode, s.options().maxAngle, s.options().oneDegreSteps);
    // Checked against the range before the conversion to int.
    const int whole =
        amount <= double(range.maximum) + 0.05 ? int(std::floor(amount + 1e-9)) : range.maximum + 1;
    const int tenths = int(std::lround((amount - whole) * 10)) % 10;
    if (whole < range.minimum || whole > range.maximum || (mode < 2 && tenths != 0))
        return {{},
                QStringLiteral("%1 is outside %2..%3 for this mode")
                    .arg(amount)
                    .arg(range.minimum)
                    .arg(range.maximum)};
    const double degrees = whole + tenths * 0.1;
    const core::Result result = s.drive(r.east, mode, [degrees] { return degrees; });
    if (mode == 3)
        return arrival(result); // a goto: when it should have arrived
    // A drive returns when it is over.
    return fromResult(result, Outcome({}, {}, Then::Status));
}

using remote::checks::noArguments;
namespace check = remote::checks;

Outcome statusCommand(Session&, const Request&)
{
    return Outcome({}, {}, Then::Status);
}

Outcome waitLock(Session&, const Request& r)
{
    return Outcome({}, {}, Then::Lock, r.value);
}

Outcome go(Session& s, const Request&)
{
    return arrival(s.go());
}

Outcome usals(Session& s, const Request&)
{
    return arrival(s.usalsGoto());
}

Outcome halt(Session& s, const Request&)
{
    return fromResult(s.halt());
}

// The receiver's own business: a simulated one turns its mount's screws.
Outcome mount(Session&, const Request& r)
{
    hw::CardBackend* card = hw::CardLayer::backend();
    if (!card)
        return {{}, QStringLiteral("no receiver")};
    QVariantMap values;
    QString error;
    if (!card->adjustSimulation(QStringLiteral("mount"), r.args, &values, &error))
        return {{}, error};
    return {QJsonObject::fromVariantMap(values)};
}

QJsonObject errorsJson(const positioner::MountErrors& e)
{
    auto rounded = [](double v) {
        return std::round(v * 1000) / 1000;
    };
    return {{QStringLiteral("motor_zero"), rounded(e.motorZero)},
            {QStringLiteral("axis_azimuth"), rounded(e.axisAzimuth)},
            {QStringLiteral("axis_elevation"), rounded(e.axisElevation)},
            {QStringLiteral("declination"), rounded(e.declination)}};
}

QString positionText(double position)
{
    return QStringLiteral("%1%2").arg(std::abs(position), 0, 'f', 1).arg(position < 0 ? 'W' : 'E');
}

QJsonObject calibrationJson(const Session& s)
{
    const positioner::ArcCalibration& c = s.calibration();
    QJsonArray peaks, determined;
    for (const positioner::CalibrationPeak& p : c.peaks)
        peaks.append(
            QJsonObject{{QStringLiteral("satellite"), positionText(p.satelliteLongitude)},
                        {QStringLiteral("found"), p.found},
                        {QStringLiteral("motor_angle"), std::round(p.motorAngle * 1000) / 1000},
                        {QStringLiteral("cn_db"), std::round(p.cnDb * 100) / 100}});
    for (const bool d : c.determined)
        determined.append(d);
    QJsonObject offsets;
    for (auto o = c.offsets.cbegin(); o != c.offsets.cend(); ++o)
        offsets.insert(positionText(o.key() / 10.0), o.value());
    return {{QStringLiteral("rounds"), c.rounds},
            {QStringLiteral("fitted"), c.fitted},
            {QStringLiteral("errors"), errorsJson(c.errors)},
            {QStringLiteral("sigma"), errorsJson(c.sigma)},
            {QStringLiteral("determined"), determined},
            {QStringLiteral("asked"), errorsJson(c.pending)},
            {QStringLiteral("made"), errorsJson(c.made)},
            {QStringLiteral("advice"), QJsonArray::fromStringList(c.advice(s.options().latitude))},
            {QStringLiteral("notes"), QJsonArray::fromStringList(c.notes)},
            {QStringLiteral("peaks"), peaks},
            {QStringLiteral("offsets"), offsets}};
}

// A round over the satellites named, or those it picks; the reply comes when
// it is over (Halt ends it).
Outcome calibrate(Session& s, const Request& r)
{
    QVector<double> satellites;
    for (const QString& a : r.args) {
        double degrees = 0;
        remote::parsePosition(a, &degrees);
        satellites.append(degrees);
    }
    const core::Result result = s.calibrator().calibrate(satellites);
    return result.ok() ? Outcome(calibrationJson(s)) : Outcome({}, result.warning);
}

Outcome calibration(Session& s, const Request& r)
{
    positioner::ArcCalibration c = s.calibration();
    const QString what = r.args.value(0);
    if (!what.isEmpty() && s.calibrator().running())
        return {{},
                QStringLiteral("the arc is being calibrated: the calibration changes when the "
                               "round is over (halt ends it)")};
    if (what == QLatin1String("reset")) {
        const QMap<int, double> offsets = c.offsets; // the user's own, kept
        c = positioner::ArcCalibration{};
        c.offsets = offsets;
    } else if (what == QLatin1String("adjusted")) {
        c.assumeAdjusted();
    } else if (what == QLatin1String("offset")) {
        c.setOffset(r.degrees, r.value);
    }
    if (!what.isEmpty())
        s.setCalibration(c);
    return {calibrationJson(s)};
}

// Every command: its name, its arguments, what it does, how they are checked
// and what runs it.
const Command Commands[] = {
    {"help", "", "the commands, one line each", noArguments, help},
    {"status", "", "the readings, the tuned transponder, the dish", noArguments, statusCommand},
    {"tune", "FREQ V|H SR [S2 [MOD] [RATE]]", "tunes a transponder (DVB-S2 with S2)", check::tune,
     tune},
    {"wait-lock", "SECONDS", "replies at lock or after the seconds", check::waitLock, waitLock},
    {"markers", "", "the plot's event markers", noArguments, markers},
    {"satellites", "", "the satellites the satellite box offers", noArguments, satellites},
    {"get", "KEY", "an option's value", check::setting, setting},
    {"set", "KEY VALUE", "sets an option, within the options dialog's limits", check::setting,
     setting},
    {"satellite", "POSITION", "chooses a satellite, such as 13.0E", check::satellite, satellite},
    {"transponder", "FREQ", "picks a transponder of the chosen satellite", check::transponder,
     transponder},
    {"set-position", "", "stores the chosen satellite at the position", noArguments, position},
    {"unset-position", "", "frees the position", noArguments, position},
    {"go", "", "goes to the chosen satellite (stored position or USALS)", noArguments, go},
    {"usals", "", "USALS goto to the chosen satellite", noArguments, usals},
    {"goto", "N", "goes to stored position N", check::position, gotoOrStore},
    {"store", "N", "stores the dish's position in the motor as N", check::position, gotoOrStore},
    {"halt", "", "stops the motor", noArguments, halt},
    {"limit", "east|west|off", "sets or clears the motor's limits", check::limit, limit},
    {"raw", "BYTES...", "sends 3 to 6 hexadecimal bytes", check::raw, raw},
    {"autotune", "[STEPS]", "fine-tunes the dish", check::autotune, autotune},
    {"drive", "east|west AMOUNT steps|seconds|degrees", "drives the motor", check::drive, drive},
    {"drive-to", "ANGLE", "goes to a motor angle, such as 12.3E", check::driveTo, drive},
    {"mount", "[set] [NAME=DEGREES...]",
     "a simulated mount's errors, turned by the amounts (set: to them)", check::mount, mount},
    {"calibrate", "[POSITION...]", "calibrates the arc on the satellites (or its own picks)",
     check::calibrate, calibrate},
    {"calibration", "[reset|adjusted|offset POSITION DEGREES]",
     "the arc's calibration; reset, the advice done, a satellite's own offset", check::calibration,
     calibration},
    {"web", "[start [ADDRESS:]PORT|stop|token]",
     "the phone meter: its address; starts, stops it, or gives it a new token", check::web, web},
};

QJsonValue tenthOrNull(bool valid, double v)
{
    return valid ? QJsonValue(std::round(v * 10) / 10) : QJsonValue();
}

QJsonValue network(const Session& s)
{
    if (s.networkState() != Session::Network::Found)
        return QJsonValue();
    const hw::NetworkInfo& n = s.network();
    const networkcheck::Verdict verdict = s.networkVerdict();
    return QJsonObject{
        {QStringLiteral("name"), n.name},
        {QStringLiteral("id"), int(n.networkId)},
        {QStringLiteral("providers"), QJsonArray::fromStringList(n.providers)},
        {QStringLiteral("orbital_position"),
         std::isfinite(n.orbitalPosition) ? QJsonValue(n.orbitalPosition) : QJsonValue()},
        {QStringLiteral("matches"), verdict == networkcheck::Verdict::Unknown
                                        ? QJsonValue()
                                        : QJsonValue(verdict == networkcheck::Verdict::Match)},
        {QStringLiteral("satellite"),
         s.networkSatellite().isEmpty() ? QJsonValue() : QJsonValue(s.networkSatellite())}};
}

QJsonObject lookAngles(const Session& s, double position)
{
    // Where to point for it from the configured site.
    const sitegeometry::Pointing p =
        sitegeometry::pointing(s.options().latitude, s.options().longitude, position);
    auto tenth = [](double v) {
        return std::round(v * 10) / 10;
    };
    return {{QStringLiteral("azimuth"), tenth(p.azimuth)},
            {QStringLiteral("elevation"), tenth(p.elevation)},
            {QStringLiteral("skew"), tenth(p.skew)},
            {QStringLiteral("motor_angle"), tenth(p.motorAngle)}};
}

} // namespace

const Command* find(const QString& name)
{
    for (const Command& c : Commands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

std::vector<const Command*> commands()
{
    std::vector<const Command*> list;
    for (const Command& c : Commands)
        list.push_back(&c);
    return list;
}

Outcome run(Session& session, const Request& request)
{
    if (const Command* c = find(request.command))
        return c->run(session, request);
    return {{}, QStringLiteral("unknown command \"%1\"").arg(request.command)};
}

QJsonObject status(const Session& s, int waiting)
{
    const PollReading& r = s.lastReading();
    static const char* const flagNames[7] = {"SIG", "CAR", "VIT", "SYN", "LCK", "TIM", "RNT"};
    QJsonObject flags;
    for (int bit = 0; bit < 7; ++bit)
        flags.insert(QLatin1String(flagNames[bit]), r.flagsValid && (r.flags & (1 << bit)));
    const qint64 now = hw::CardLayer::clock().nowMs();
    const auto& motion = s.positioner().motion();
    const double angle = motion.angle(now);
    const linkmargin::Estimate& m = s.margin();
    QJsonObject o{
        {QStringLiteral("frequency"), s.frequency()},
        {QStringLiteral("polarisation"),
         s.polarization() == 1 ? QStringLiteral("V") : QStringLiteral("H")},
        {QStringLiteral("symbol_rate"), s.symbolRate()},
        {QStringLiteral("fec"), s.fecText()},
        {QStringLiteral("system"),
         s.tunedFormat().isS2() ? QStringLiteral("DVB-S2") : QStringLiteral("DVB-S")},
        // What the lock is: "8PSK 3/4" (DVB-S2), "3/4"; null before lock.
        {QStringLiteral("modcod"), s.lockedFormatKnown()
                                       ? QJsonValue(hw::modcod::lockedText(s.lockedFormat()))
                                       : QJsonValue()},
        {QStringLiteral("threshold_db"), tenthOrNull(m.marginValid, m.thresholdDb)},
        {QStringLiteral("lock_hint"), s.lockHint()},
        {QStringLiteral("flags"), flags},
        // From the same flags as "LCK" above.
        {QStringLiteral("locked"), r.flagsValid && (r.flags & StatusPoll::LockFlag)},
        {QStringLiteral("agc"), r.agcValid ? QJsonValue(r.agcPercent) : QJsonValue()},
        {QStringLiteral("snr"), r.snrValid ? QJsonValue(r.snrPercent) : QJsonValue()},
        {QStringLiteral("ber"), r.berValid ? QJsonValue(r.ber) : QJsonValue()},
        {QStringLiteral("cn_db"), tenthOrNull(m.valid, m.cnDb)},
        {QStringLiteral("margin_db"), tenthOrNull(m.marginValid, m.marginDb)},
        // The rain fade that loses the lock (margin_db is to the first errors).
        {QStringLiteral("rain_fade_db"), tenthOrNull(m.marginValid, m.rainFadeDb)},
        {QStringLiteral("ucb"), s.statusPoll() ? s.statusPoll()->ucbTotal : 0.0},
        {QStringLiteral("satellite"), s.chosenLabel()},
        {QStringLiteral("position_button"),
         QCoreApplication::translate("zenaraForm", s.positionSet() ? "UnSet" : "Set")},
        {QStringLiteral("current_position"), s.currentPosition()},
        {QStringLiteral("current_sat"), s.currentSat()},
        {QStringLiteral("dish_angle"), std::isfinite(angle) ? QJsonValue(angle) : QJsonValue()},
        {QStringLiteral("moving"), motion.moving(now)},
        {QStringLiteral("time_left_ms"), double(motion.remainingMs(now))},
        {QStringLiteral("network"), network(s)},
        {QStringLiteral("receiver"),
         hw::CardLayer::backend() ? hw::CardLayer::backend()->description() : QString()},
        {QStringLiteral("waiting"), waiting}, // requests waiting for a motor or a lock
    };
    if (const double position = s.chosenPosition(); std::isfinite(position)) {
        o.insert(QStringLiteral("orbital_position"), position);
        o.insert(QStringLiteral("look_angles"), lookAngles(s, position));
    }
    return o;
}

} // namespace remotecommands

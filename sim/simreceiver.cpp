#include "sim/simreceiver.h"

#include "settings/datafiles.h"
#include "sim/dishstate.h"
#include "sim/logging.h"
#include "sim/physicalscene.h"
#include "sim/simconfig.h"

#include <cmath>

namespace sim {

namespace {

bool parseNumber(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok, 0); // 0x prefix for hexadecimal
    return ok;
}

// Which demodulator the card has: true for the one that also receives DVB-S2.
bool parseCard(const hw::ReceiverSpec& request, bool* dvbS2, QString* error)
{
    *dvbS2 = true;
    for (const QString& card : request.values(QStringLiteral("card"))) {
        if (card != QLatin1String("s2") && card != QLatin1String("tda10086")) {
            *error = QStringLiteral("card= takes s2 or tda10086, not \"%1\"").arg(card);
            return false;
        }
        *dvbS2 = card == QLatin1String("s2");
    }
    return true;
}

bool sameMount(const MountErrors& a, const MountErrors& b)
{
    // As the state file keeps them: to a millionth of a degree.
    const auto near = [](double x, double y) {
        return std::abs(x - y) < 2e-6;
    };
    return near(a.axisAzimuthDeg, b.axisAzimuthDeg) &&
           near(a.axisElevationDeg, b.axisElevationDeg) &&
           near(a.declinationDeg, b.declinationDeg) && near(a.motorZeroDeg, b.motorZeroDeg);
}

// The motor and the mount as the last run left them, and kept from now on as
// they change. A fresh start, or a start angle the simulation file gives,
// starts the motor from there; a mount the simulation installs otherwise than
// last time (another seed, file or option) is a new one, its screws untouched.
void rememberDish(PhysicalScene& scene, const SimConfig& config, bool fresh)
{
    const QString path = dishStatePath();
    DishMotor& motor = scene.motor();
    DishMotor::State state;
    if (!fresh && loadDishState(path, &state)) {
        if (config.startAngleGiven)
            state.angle = config.motor.startAngle;
        motor.restore(state);
    }
    MountState mount;
    if (!fresh && loadMountState(path, &mount)) {
        if (sameMount(mount.installed, scene.installedMount()))
            scene.setMountErrors(mount.current);
        else if (!sameMount(mount.current, mount.installed))
            qCInfo(lcSim, "Simulated dish: the simulation installs another mount than last "
                          "time; the adjustments made then are left behind");
    }
    const auto save = [&scene, path] {
        saveDishState(path, scene.motor().state(), {scene.installedMount(), scene.mountErrors()});
    };
    motor.changed = save;
    scene.mountChanged = save;
    if (fresh)
        save(); // a new dish from now on
}

// The simulated card for a "sim,..." receiver string: the installation of the
// simulation file and options under the program's own sky.
std::unique_ptr<hw::CardBackend> createSimulated(const hw::ReceiverSpec& request, hw::Clock& clock,
                                                 QString* error)
{
    SimFaults faults;
    SimConfig config;
    const QString configFile = request.values(QStringLiteral("config")).value(0);
    if (!configFile.isEmpty() && !loadSimConfig(configFile, &config, &faults, error))
        return nullptr;
    if (!applySimOptions(request, &config, error))
        return nullptr;
    bool dvbS2 = true;
    if (!parseFaults(request, &faults, error) || !parseCard(request, &dvbS2, error))
        return nullptr;
    if (request.values(QStringLiteral("scene")).contains(QStringLiteral("fixed"))) {
        auto card = std::make_unique<SimCard>(clock, std::make_unique<FixedScene>(), faults);
        card->setSecondGeneration(dvbS2);
        return card;
    }
    // The same satellites the user sees, when the program's lists are there.
    const QString list = findDataFile(QStringLiteral("satlist.znr"));
    Sky sky = Sky::fromFiles(list, resolveTranspondersPath(QStringLiteral("./Transponders/"), list),
                             config.eirpDbw);
    if (sky.satellites.isEmpty())
        sky = Sky::builtIn(config.eirpDbw);
    auto scene = std::make_unique<PhysicalScene>(clock, config, std::move(sky));
    rememberDish(*scene, config, request.options.contains({QStringLiteral("fresh"), QString()}));
    auto card = std::make_unique<SimCard>(clock, std::move(scene), faults);
    card->setSecondGeneration(dvbS2);
    return card;
}

} // namespace

bool parseFaults(const hw::ReceiverSpec& request, SimFaults* faults, QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    for (const auto& option : request.options) {
        const QString& key = option.first;
        const QString& value = option.second;
        if (key == QLatin1String("fail")) {
            if (value == QLatin1String("open"))
                faults->failOpen = true;
            else if (value == QLatin1String("init"))
                faults->failInit = true;
            else if (value == QLatin1String("bind"))
                faults->failBind = true;
            else if (value == QLatin1String("diseqc"))
                faults->failDiseqc = true;
            else
                return fail(QStringLiteral("fail= takes open, init, bind or diseqc, not \"%1\"")
                                .arg(value));
        } else if (key == QLatin1String("bus-error")) {
            int reg = 0;
            if (value == QLatin1String("all"))
                faults->busErrorAll = true;
            else if (value == QLatin1String("lnb"))
                faults->busErrorLnb = true;
            else if (parseNumber(value, &reg) && reg >= 0 && reg <= 0xFF)
                faults->busErrorRegisters.insert(reg);
            else
                return fail(QStringLiteral("bus-error= takes all, lnb or a register 0x00..0xFF, "
                                           "not \"%1\"")
                                .arg(value));
        } else if (key == QLatin1String("bus-error-code")) {
            int code = 0;
            if (!parseNumber(value, &code) || code == 0)
                return fail(QStringLiteral("bus-error-code= takes a nonzero number, not \"%1\"")
                                .arg(value));
            faults->busErrorCode = code;
        } else if (key == QLatin1String("card") || key == QLatin1String("config") ||
                   key == QLatin1String("scene") || key == QLatin1String("fresh") ||
                   isSimOption(key)) {
            // handled by the factory
        } else if (key == QLatin1String("vanish")) {
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            if (!ok || !(seconds >= 0) || seconds > 1e6)
                return fail(
                    QStringLiteral("vanish= takes a number of seconds, not \"%1\"").arg(value));
            faults->vanishAfterMs = qint64(seconds * 1000);
        } else if (key == QLatin1String("vanish-on")) {
            if (value.isEmpty())
                return fail(QStringLiteral("vanish-on= takes the name of a file"));
            faults->vanishOnFile = value;
        } else if (key == QLatin1String("diseqc")) {
            if (value != QLatin1String("stuck"))
                return fail(QStringLiteral("diseqc= takes stuck, not \"%1\"").arg(value));
            faults->diseqcStuck = true;
        } else {
            return fail(
                QStringLiteral("Unknown option \"%1\" for the simulated receiver").arg(key));
        }
    }
    return true;
}

void registerSimulatedReceiver()
{
    hw::registerReceiver(
        QStringLiteral("sim"),
        // Translated where the help is printed.
        QString::fromUtf8(QT_TRANSLATE_NOOP(
            "Receivers",
            "sim  the simulated card (default). Options, comma-separated after the name:\n"
            "     card=s2|tda10086        a demodulator for DVB-S and DVB-S2 (default), or\n"
            "                             the TDA10086 alone: DVB-S only, as the old cards\n"
            "     fail=open|init|bind     the card does not open, its frontend does not\n"
            "                             initialise, or its register bus cannot be bound\n"
            "     fail=diseqc             the card's switch command and tone burst fail\n"
            "     bus-error=all|lnb|REG   transfers fail always, to the LNB supply, or on\n"
            "                             demodulator register REG (e.g. 0x43); repeatable\n"
            "     bus-error-code=N        the code failed transfers return (default 5)\n"
            "     diseqc=stuck            the DiSEqC transmitter never becomes ready again\n"
            "     vanish=S                the card stops answering S seconds after it opens\n"
            "     vanish-on=FILE          the card stops answering once FILE exists\n"
            "     config=FILE             site, dish, motor and sky (same as --sim-config)\n"
            "     latitude=DEG            where the dish stands (default: the site in\n"
            "     longitude=DEG           the program's options, followed as it changes)\n"
            "     fresh                   the motor starts from its reference, not where\n"
            "                             the last run left it\n"
            "     dish=M                  dish diameter in metres (default 0.8)\n"
            "     axis-azimuth=DEG        the mount turned east of where it should face\n"
            "                             (default 0.15; also azimuth-error=)\n"
            "     axis-elevation=DEG      the mount tipped up: the dish points higher\n"
            "                             (default 0.3; also elevation-error=)\n"
            "     declination-error=DEG   the declination offset set too large: the dish\n"
            "                             points lower along the whole arc (default 0)\n"
            "     motor-zero=DEG          at motor angle 0 the dish points this far east\n"
            "                             along the arc (default 0); each error -5..5\n"
            "     mount-seed=N            a random mount: each error not given drawn\n"
            "                             within +-1 degree, the same for the same N\n"
            "     mount-spread=DEG        how far the random errors go (default 1)\n"
            "     rain=DB                 rain fade on the path (default 0)\n"
            "     skew=DEG                LNB polarisation angle error (default 0)\n"
            "     lof-offset=MHZ          LNB oscillator error (default 0)\n"
            "     eirp=DBW                EIRP of a satellite without its own (default 50)\n"
            "     backlash=DEG            play in the motor's gears (default 0.05)\n"
            "     ignore-west-0=1         the motor ignores gotos west sent with code 0x00\n"
            "     seed=N                  seed of the readings' noise (default 1)\n"
            "     scene=fixed             every tune locks; no dish, motor or sky")),
        &createSimulated);
}

} // namespace sim

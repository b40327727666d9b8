// How well the fine-tune methods align a dish: seeded trials on the simulated
// installation at sites north and south, east and west of their satellite and
// near the edge of the visible arc, each with its own installation error and
// reading noise. Every trial makes the USALS goto the window would make, then
// leaves the dish (none), runs the hill climb, or runs the sweep and fit, and
// measures how far along the motor's arc the dish ends from its best angle.
//
// bench_alignment [--trials N]   (100 by default)

#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "lists/satellitelist.h"
#include "positioner/positioner.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

struct Site
{
    const char* name;
    double latitude;
    double longitude;
    double satellite;
};

// North and south, the satellite east and west of the site, and one low over
// the horizon (69 degrees of longitude away at 50 N).
const Site Sites[] = {
    {"50.0N 10.0E, 19.2E", 50.0, 10.0, 19.2},  {"45.0N 42.0E, 13.0E", 45.0, 42.0, 13.0},
    {"33.9S 18.4E, 36.0E", -33.9, 18.4, 36.0}, {"33.9S 18.4E, 0.8W", -33.9, 18.4, -0.8},
    {"60.2N 24.9E, 4.8E", 60.2, 24.9, 4.8},    {"50.0N 10.0E, 79.0E edge", 50.0, 10.0, 79.0},
};

enum class Method { None, HillClimb, Sweep };

struct Outcome
{
    double error = 0; // degrees along the arc from the best angle
    double seconds = 0;
    int steps = 0;
};

Outcome runTrial(int trial, Method method)
{
    std::mt19937 random(quint32(1000 + trial));
    const Site& site = Sites[trial % std::size(Sites)];
    std::uniform_real_distribution<double> error(-0.5, 0.5);

    hw::ManualClock clock;
    sim::SimConfig config;
    config.latitude = site.latitude;
    config.longitude = site.longitude;
    config.elevationErrorDeg = error(random);
    config.azimuthErrorDeg = error(random);
    config.noiseSeed = quint32(trial + 1);
    config.motor.backlash = 0.05;
    sim::Sky sky;
    sim::SimSatellite sat;
    sat.name = QStringLiteral("target");
    sat.longitude = site.satellite;
    sat.eirpDbw = 50;
    sat.transponders = {sim::SimTransponder{11977, false, 27500, 2, false, {}}};
    sky.satellites = {sat};
    auto owned = std::make_unique<sim::PhysicalScene>(clock, config, sky);
    sim::PhysicalScene* scene = owned.get();
    hw::CardLayer::install(std::make_unique<sim::SimCard>(clock, std::move(owned)), &clock);
    CDVBCommon::OpenDevice(0, nullptr, 0);
    CDVBFrontend frontend;
    frontend.Init();
    locateBusRoutines();
    DemodulatorAccess access;
    access.lnbp21_write_byte(0x4C);
    CDVBFrontend::_CHANNEL_TYPE channel = {11977000, 1, 27500000, 10600000, 1, 18, 0, 0};
    frontend.SetChannel(channel, 0);

    // The status poll, every 250 ms of the test clock.
    double agc = 0, snr = 0;
    bool locked = false;
    qint64 polledAt = -1000;
    auto poll = [&] {
        unsigned char raw = 0;
        access.tda10086_agc_raw(&raw);
        agc = (255 - raw) * 100.0 / 255;
        access.tda10086_snr_raw(&raw);
        snr = (255 - raw) * 100.0 / 255;
        access.tda10086_status_flags(&raw);
        locked = raw & 0x10;
    };
    int steps = 0;
    positioner::Positioner::Hooks hooks;
    hooks.send = [&](const QByteArray& m) {
        if (m.size() == 4 && (quint8(m.at(2)) == 0x68 || quint8(m.at(2)) == 0x69) &&
            quint8(m.at(3)) >= 0x80)
            steps += 256 - quint8(m.at(3));
        return access.tda10086_send_master_cmd(reinterpret_cast<const unsigned char*>(m.data()),
                                               m.size());
    };
    hooks.marker = [](const QString&) {
    };
    hooks.warn = [](const QString&) {
    };
    hooks.showRaw = [](const QByteArray&) {
    };
    hooks.processEvents = [&] {
        clock.advance(10);
        if (clock.nowMs() - polledAt >= 250) {
            polledAt = clock.nowMs();
            poll();
        }
    };
    positioner::Positioner positioner(clock, hooks);
    positioner::Positioner::Settings settings;
    settings.siteLatitude = site.latitude;
    positioner.setSettings(settings);

    // The goto the window makes, from the angle its label shows (one decimal).
    SatelliteList list;
    list.setLocation(site.longitude, site.latitude);
    const double angle = std::round(list.motorAngleOf(site.satellite) * 10) / 10;
    positioner.usalsGoto(std::abs(angle), angle >= 0);
    while (scene->motor().moving())
        hooks.processEvents();
    for (int i = 0; i < 100; ++i) // settle: a few polls
        hooks.processEvents();

    const qint64 start = clock.nowMs();
    steps = 0;
    switch (method) {
    case Method::None:
        break;
    case Method::HillClimb:
        positioner.autotune(3, 200, [&] { return agc; });
        break;
    case Method::Sweep: {
        const bool useSnr = locked;
        positioner.sweepTune(positioner.sweepHalfSpan(0.8, 11977), 250, 2,
                             [&] { return useSnr ? snr : agc; });
        break;
    }
    }
    while (scene->motor().moving())
        hooks.processEvents();

    Outcome outcome;
    outcome.seconds = (clock.nowMs() - start) / 1000.0;
    outcome.steps = steps;
    const double here = scene->motor().dishAngle();
    outcome.error = std::abs(here - scene->mount().bestMotorAngle(here, site.satellite));

    CDVBCommon::CloseDevice();
    hw::CardLayer::uninstall();
    return outcome;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t i = size_t(std::ceil(p * values.size())) - 1;
    return values.at(std::min(i, values.size() - 1));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("zenara.*.debug=false"));
    int trials = 100;
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--trials"));
    if (at > 0 && at + 1 < args.size())
        trials = std::max(1, args.at(at + 1).toInt());

    constexpr double HalfStep = 0.5 / 9.6;
    std::printf("Alignment after the USALS goto, %d trials, %zu sites, installation error up to "
                "0.5 degrees each way\n\n",
                trials, std::size(Sites));
    std::printf("| fine-tune | error median | 95th pct | worst | within half a step | "
                "time (median) | motor steps (median) |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    int sweepWithin = 0;
    for (const auto& [method, name] :
         {std::pair{Method::None, "none"}, std::pair{Method::HillClimb, "hill climb (Step ±3)"},
          std::pair{Method::Sweep, "sweep and fit"}}) {
        std::vector<double> errors, seconds, steps;
        int within = 0;
        for (int t = 0; t < trials; ++t) {
            const Outcome o = runTrial(t, method);
            errors.push_back(o.error);
            seconds.push_back(o.seconds);
            steps.push_back(o.steps);
            within += o.error <= HalfStep ? 1 : 0;
        }
        if (method == Method::Sweep)
            sweepWithin = within;
        std::printf("| %s | %.3f° | %.3f° | %.3f° | %d of %d | %.0f s | %.0f |\n", name,
                    percentile(errors, 0.5), percentile(errors, 0.95), percentile(errors, 1.0),
                    within, trials, percentile(seconds, 0.5), percentile(steps, 0.5));
    }
    const bool met = sweepWithin * 100 >= 95 * trials;
    std::printf("\nsweep and fit within half a step (%.3f°) in %d of %d trials: goal of 95 %% %s\n",
                HalfStep, sweepWithin, trials, met ? "met" : "NOT met");
    return met ? 0 : 1;
}

#pragma once

// How much faster than real time the simulated installation runs: one minute of
// the program's 250 ms status poll (five measurement reads each) while the
// motor drives to another satellite, under the full shipped sky in data
// (a folder with satlist.znr and Transponders/). 0 when the sky did not load.

#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

inline double simulatorSpeed(const QString& data, int* transponders)
{
    hw::ManualClock clock;
    sim::SimConfig config;
    sim::Sky sky = sim::Sky::fromFiles(data + QStringLiteral("satlist.znr"),
                                       data + QStringLiteral("Transponders/"), config.eirpDbw);
    *transponders = 0;
    for (const auto& sat : sky.satellites)
        *transponders += sat.transponders.size();
    if (sky.satellites.size() < 100) {
        std::fprintf(stderr, "the shipped sky in %s did not load\n", qPrintable(data));
        return 0;
    }
    auto scene = std::make_unique<sim::PhysicalScene>(clock, config, std::move(sky));
    hw::CardLayer::install(std::make_unique<sim::SimCard>(clock, std::move(scene)), &clock);
    CDVBFrontend frontend;
    CDVBCommon::OpenDevice(0, nullptr, 0);
    frontend.Init();
    locateBusRoutines();
    DemodulatorAccess access;
    access.lnbp21_write_byte(0x4C);
    CDVBFrontend::_CHANNEL_TYPE channel = {11977000, 1, 27500000, 10600000, 1, 18, 0, 0};
    frontend.SetChannel(channel, 0);
    const unsigned char goto13E[5] = {0xE0, 0x31, 0x6E, 0x02, 0x04};
    access.tda10086_send_master_cmd(goto13E, 5);

    constexpr qint64 SimulatedMs = 60000;
    QElapsedTimer wall;
    wall.start();
    unsigned char byte = 0;
    unsigned int count = 0;
    while (clock.nowMs() < SimulatedMs) {
        access.tda10086_agc_raw(&byte);
        clock.sleepMs(5);
        access.tda10086_ber_count(&count);
        clock.sleepMs(5);
        access.tda10086_snr_raw(&byte);
        clock.sleepMs(5);
        access.tda10086_status_flags(&byte);
        clock.sleepMs(5);
        access.tda10086_ucb_count(&byte);
        clock.sleepMs(230);
    }
    const double wallMs = std::max<qint64>(1, wall.nsecsElapsed() / 1000000);
    CDVBCommon::CloseDevice();
    hw::CardLayer::uninstall();
    return SimulatedMs / wallMs;
}

#pragma once

#include "hw/modcod.h"

#include <QString>
#include <QVector>

namespace sim {

struct SimTransponder
{
    double frequencyMHz = 0;
    bool vertical = false;
    double symbolRateKs = 0;
    int codeRate = 2; // 0..7 = 1/2 .. 8/9
    bool dvbS2 = false;
    // What a DVB-S2 carrier sends: modulation, code rate and pilots, all
    // known (a list's unknowns become 8PSK 3/4 with pilots).
    hw::SignalFormat s2;
};

// The format a DVB-S2 carrier listed with these fields goes out with.
hw::SignalFormat transmittedFormat(hw::SignalFormat listed);

struct SimSatellite
{
    QString name;
    double longitude = 0; // east positive
    double eirpDbw = 50.0;
    QVector<SimTransponder> transponders;
};

// The satellites the simulated dish can see.
struct Sky
{
    QVector<SimSatellite> satellites;

    // A few real satellites around the default site, with real transponders.
    static Sky builtIn(double eirpDbw = 50.0);
    // The program's own satellite list and transponder files; empty when the
    // list cannot be read.
    static Sky fromFiles(const QString& satelliteList, const QString& transponderDir,
                         double eirpDbw);
    // How much a satellite's beam is above (or below) the default EIRP.
    static double eirpOffsetDb(double longitude);
};

} // namespace sim

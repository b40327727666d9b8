// How much faster than real time the simulated installation runs; fails below
// 100 times.

#include "simspeed.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int transponders = 0;
    const double factor =
        simulatorSpeed(QStringLiteral(ZENARA_SOURCE_DIR) + QStringLiteral("/data/"), &transponders);
    std::printf("bench_sim: 60 s of polling and motor travel under %d transponders: "
                "%.0f times real time (goal: at least 100)\n",
                transponders, factor);
    return factor >= 100 ? 0 : 1;
}

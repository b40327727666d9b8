// The simulation file, read as "--receiver sim,config=FILE" reads it; a card
// built from it is opened, tuned and asked for its measurements, and the motor
// is sent somewhere, so that values that parse but make no sense get used.
#include "fuzzsupport.h"
#include "hw/receivers.h"
#include "sim/physicalscene.h"
#include "sim/simconfig.h"
#include "sim/sky.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    sim::SimConfig config;
    sim::SimFaults faults;
    QString error;
    if (!sim::loadSimConfig(fuzz::asFile(data, size, ".ini"), &config, &faults, &error))
        return 0;
    static const sim::Sky sky = sim::Sky::builtIn(50.0);
    hw::ManualClock clock;
    sim::PhysicalScene scene(clock, config, sky);
    sim::TunerState tuner;
    tuner.lnbPowered = true;
    tuner.voltage = 18;
    tuner.tuned = true;
    tuner.ifKHz = 1227000;
    tuner.symbolRate = 27500000;
    scene.supplyChanged(18, 0);
    scene.masterCommand(QByteArray::fromHex("E0316E0A30"), tuner, 0); // goto 10.0E
    for (qint64 t = 0; t <= 20000; t += 5000) {
        clock.advance(5000);
        (void)scene.receive(tuner, clock.nowMs());
    }
    return 0;
}

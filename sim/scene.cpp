#include "sim/scene.h"

namespace sim {

Reception FixedScene::receive(const TunerState& tuner, qint64 nowMs)
{
    Reception r;
    if (!tuner.lnbPowered) {
        r.agcRegister = 0xF5;
        return r;
    }
    // Noise from the LNB alone already moves the AGC a little.
    r.agcRegister = 0xB0;
    r.snrRegister = 0xF0;
    if (!tuner.tuned)
        return r;

    const qint64 since = nowMs - tuner.tunedAtMs;
    r.status = 0x01;
    r.agcRegister = 0x69; // 150 on the meter, about 59 %
    if (since >= CarrierAfterMs)
        r.status |= 0x02;
    if (since >= ViterbiAfterMs)
        r.status |= 0x04;
    if (since >= LockAfterMs) {
        r.status |= 0x18;
        r.snrRegister = 0x55; // 170 on the meter, about 67 %
        r.berCount = 35;
        r.codeRate = 2;
    }
    return r;
}

} // namespace sim

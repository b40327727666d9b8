#include "sim/scene.h"

namespace sim {

Reception FixedScene::receive(const TunerState& tuner, qint64 nowMs)
{
    Reception r;
    if (!tuner.lnbPowered) {
        r.agc = 10;
        return r;
    }
    // Noise from the LNB alone already moves the AGC a little.
    r.agc = 79;
    r.snr = 15;
    if (!tuner.tuned)
        return r;

    const qint64 since = nowMs - tuner.tunedAtMs;
    r.status = 0x01;
    r.agc = 150; // about 59 %
    if (since >= CarrierAfterMs)
        r.status |= 0x02;
    if (since >= ViterbiAfterMs)
        r.status |= 0x04;
    if (since >= LockAfterMs) {
        r.status |= 0x18;
        r.snr = 170; // about 67 %
        r.berCount = 35;
        r.codeRate = 2;
    }
    return r;
}

} // namespace sim

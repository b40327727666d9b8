#pragma once

#include "hw/modcod.h"

#include <QString>

// The installer's question "how much rain can this take?": the carrier to noise
// ratio (Es/N0) estimated from the SNR reading; the margin to the
// quasi-error-free threshold of the system and modcod locked to (the first
// broken pictures); and the rain fade the lock holds. The fade is less than
// the margin suggests: rain weakens the carrier and also raises the sky's
// noise, while the lock holds about 1 dB below the threshold.
namespace linkmargin {

// Es/N0 in dB from the SNR meter value (255 minus the register). One
// calibration for the TDA10086 as the card and the simulator read it: 40 at
// 0 dB, 9 meter steps a dB.
double esN0FromMeter(int snrMeter);

struct Estimate
{
    bool valid = false; // a carrier is there to measure
    double cnDb = 0;
    bool marginValid = false; // locked, with a known code rate
    double marginDb = 0;      // C/N over the threshold
    double rainFadeDb = 0;    // the rain fade that loses the lock
    double thresholdDb = 0;   // what the locked modcod needs
    QString modcod;           // "3/4", "8PSK 3/4"
};

// measuredDb: the receiver's own decibel figure where it has one (NaN if not),
// used instead of the meter's calibration; meterInDb: whether the meter has
// that calibration at all (without either there is no C/N to give). format:
// what the lock is, when known (null before lock or when the code rate could
// not be read).
Estimate estimate(bool snrValid, int snrMeter, bool carrier, bool locked,
                  const hw::SignalFormat* format, double measuredDb, bool meterInDb = true);
// The rain fade a link of clear-sky C/N cnDb takes before its C/N falls to
// dropDb: 0 when it is there already.
double tolerableFadeDb(double cnDb, double dropDb);
// "C/N 14.5 dB, takes 4.3 dB of rain", "C/N 12.3 dB" before lock, "C/N --"
// without a carrier.
QString text(const Estimate& e);
// What the margin means, for the line's tool tip.
QString explanation(const Estimate& e);
// The longest line text() gives for values a dish can show (two digits each),
// for the room the line needs.
QString widestText();

} // namespace linkmargin

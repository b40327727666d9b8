#pragma once

#include "hw/modcod.h"

#include <QString>

// The installer's question "how much rain can this take?": the carrier to noise
// ratio (Es/N0) estimated from the SNR reading, and the fade margin: how far it
// may fall before errors begin, at the quasi-error-free threshold of the
// system and modcod locked to. The lock itself holds about 1 dB further down;
// the margin is to the first broken pictures, not to the loss of lock.
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
    double marginDb = 0;
    double thresholdDb = 0; // what the locked modcod needs
    QString modcod;         // "3/4", "8PSK 3/4"
};

// measuredDb: the receiver's own decibel figure where it has one (NaN if not),
// used instead of the meter's calibration; meterInDb: whether the meter has
// that calibration at all (without either there is no C/N to give). format:
// what the lock is, when known (null before lock or when the code rate could
// not be read).
Estimate estimate(bool snrValid, int snrMeter, bool carrier, bool locked,
                  const hw::SignalFormat* format, double measuredDb, bool meterInDb = true);
// "C/N 12.3 dB, fade margin 4.4 dB", "C/N 12.3 dB" before lock, "C/N --"
// without a carrier.
QString text(const Estimate& e);
// What the margin means, for the line's tool tip.
QString explanation(const Estimate& e);
// The longest line text() gives for values a dish can show (two digits each),
// for the room the line needs.
QString widestText();

} // namespace linkmargin

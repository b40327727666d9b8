#pragma once

#include <QString>

// The installer's question "how much rain can this take?": the carrier to noise
// ratio (Es/N0) estimated from the SNR reading, and its margin over the
// quasi-error-free threshold of the code rate in use.
namespace linkmargin {

// Es/N0 in dB from the SNR meter value (255 minus the register). One
// calibration for the TDA10086 as the card and the simulator read it: 40 at
// 0 dB, 9 meter steps a dB.
double esN0FromMeter(int snrMeter);
// The DVB-S quasi-error-free Es/N0 (BER 2e-4 after Viterbi) of a code rate as
// the FEC field shows it ("3/4"); NaN for a rate it does not know.
double thresholdDb(const QString& codeRate);

struct Estimate
{
    bool valid = false; // a carrier is there to measure
    double cnDb = 0;
    bool marginValid = false; // locked, with a known code rate
    double marginDb = 0;
};

// measuredDb: the receiver's own decibel figure where it has one (NaN if not),
// used instead of the meter's calibration.
Estimate estimate(bool snrValid, int snrMeter, bool carrier, bool locked, const QString& codeRate,
                  double measuredDb);
// "C/N 12.3 dB, margin 4.4 dB", "C/N 12.3 dB" before lock, "C/N --" without a carrier.
QString text(const Estimate& e);
// The longest line text() gives for values a dish can show (two digits each),
// for the room the line needs.
QString widestText();

} // namespace linkmargin

#pragma once

#include "hw/modcod.h"

#include <QString>
#include <QtGlobal>

class CDVBFrontend;
class DemodulatorAccess;

namespace hw {
class Clock;
}

namespace tuning {

// A number typed into a field: decimal digits only; empty or anything else is
// not a number.
struct Field
{
    qint64 value = 0;
    bool valid = false;
};
Field parseField(const QString& text);

// The frequencies an LNB can deliver to the tuner, MHz. A bound below zero is
// reported as 0; 0 MHz itself is never a frequency, so an LNB whose range ends
// below 1 MHz delivers nothing.
struct Range
{
    qint64 low = 0;
    qint64 high = 0;
    bool empty = false;
    bool contains(qint64 mhz) const { return !empty && mhz >= 1 && mhz >= low && mhz <= high; }
};
Range allowedRange(qint64 lof1, qint64 lof2, qint64 switchFrequency);

// High band when the LNB has a switch frequency and a second oscillator and
// the frequency is at or above the switch.
bool isHighBand(qint64 frequency, qint64 lof2, qint64 switchFrequency);

// The committed-switch data byte: 0xF0 plus position B 0x04, option B 0x08,
// horizontal 0x02, high band 0x01. Items follow their texts: "Pos:A, Opt:A",
// "Pos:A, Opt:B", "Pos:B, Opt:A", "Pos:B, Opt:B".
quint8 diseqc10Data(int item, bool horizontal, bool highBand);

// The LNBP21 control byte the program writes.
quint8 lnbp21Byte(bool supplyOn, bool horizontal, bool current650mA, bool raisedVoltage);

enum class DiseqcMode { None = 0, ToneBurst = 1, CommittedSwitch = 2 };

// Everything a tune needs, as read from the controls (or the remembered
// transponder for an automatic re-tune).
struct Request
{
    QString frequency;  // MHz
    QString symbolRate; // kS/s
    bool horizontal = true;
    QString lof1, lof2, switchFrequency; // MHz
    DiseqcMode diseqc = DiseqcMode::None;
    int burst = 0;      // tone burst item: 0 = A, 1 = B
    int switchItem = 0; // committed switch item 0..3
    bool supplyOn = true;
    // DVB-S by default; DVB-S2 goes out through the card's second-generation
    // extension where it has one.
    hw::SignalFormat format;
};

// The shared flags of tuning and the status poll.
struct ReceiverFlags
{
    bool tuneFailed = false;
    bool awaitingLock = false;
    // Tuned to a DVB-S2 carrier on a receiver without DVB-S2: it will never
    // lock, so no re-tune is tried.
    bool cannotLock = false;
};

struct Result
{
    int status = 0;       // 0 success, -1 failure
    bool refused = false; // a field or the range was wrong: nothing was sent
    QString error;        // the warning to show, untranslated; empty on success
    QString errorArg1;    // numbers for the range warning
    QString errorArg2;
    bool wrongSystem = false; // tuned, but the receiver cannot receive this system
};

// The tune sequence: range check, band and oscillator, DiSEqC, acquisition
// reset, channel, and (by the caller) the LNB supply byte.
class Tuner
{
public:
    Tuner(CDVBFrontend& frontend, DemodulatorAccess& demodulator, hw::Clock& clock);

    Result tune(const Request& request, ReceiverFlags& flags);

    static const char* const RangeWarning;
    static const char* const FieldWarning;
    static const char* const DiseqcWarning;
    static const char* const ChannelWarning;
    static const char* const NoDvbS2Warning;

private:
    struct Parsed
    {
        Field frequency, symbolRate, lof1, lof2, sw;
    };
    // The fields as numbers, the frequency within the LNB's range.
    Result checkFields(const Request& request, Parsed* parsed);
    // The switch's tone burst or committed command; false when it failed.
    bool switchDiseqc(const Request& request, bool high);

    CDVBFrontend& m_frontend;
    DemodulatorAccess& m_demodulator;
    hw::Clock& m_clock;
};

} // namespace tuning

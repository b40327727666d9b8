#pragma once

// What a satellite carrier is beyond its frequency and symbol rate: the
// delivery system, and for DVB-S2 the modulation, code rate, roll-off and
// pilots. Shared by the lists, the card layer, the simulator and the readouts.

#include <QString>
#include <QStringList>

namespace hw {

enum class DeliverySystem { DvbS, DvbS2 };
enum class Modulation { Auto, Qpsk, Psk8, Apsk16, Apsk32 };
enum class RollOff { Auto, R35, R25, R20 };
enum class Pilot { Auto, On, Off };

// A code rate num/den; 0/0 is "not known" (the demodulator finds it).
struct CodeRate
{
    int num = 0;
    int den = 0;
    bool known() const { return den > 0; }
    bool operator==(const CodeRate& o) const { return num == o.num && den == o.den; }
    bool operator!=(const CodeRate& o) const { return !(*this == o); }
};

struct SignalFormat
{
    DeliverySystem system = DeliverySystem::DvbS;
    Modulation modulation = Modulation::Auto;
    CodeRate rate;
    RollOff rollOff = RollOff::Auto;
    Pilot pilot = Pilot::Auto;

    bool isS2() const { return system == DeliverySystem::DvbS2; }
    bool operator==(const SignalFormat& o) const
    {
        return system == o.system && modulation == o.modulation && rate == o.rate &&
               rollOff == o.rollOff && pilot == o.pilot;
    }
    bool operator!=(const SignalFormat& o) const { return !(*this == o); }
};

namespace modcod {

// "QPSK", "8PSK", "16APSK", "32APSK"; empty for Auto.
QString modulationName(Modulation modulation);
// Also the DVBv5 spellings "PSK/8", "APSK/16", "APSK/32"; case does not matter.
bool parseModulation(const QString& text, Modulation* modulation);
// "3/4"; empty when not known.
QString rateText(CodeRate rate);
// "3/4", "34", "910" (the transponder files' way); "auto" and "" give 0/0.
bool parseRate(const QString& text, CodeRate* rate);
// "35", "25", "20" (percent); empty for Auto.
QString rollOffText(RollOff rollOff);
bool parseRollOff(const QString& text, RollOff* rollOff);

// The fields after the symbol rate on a transponder file's line:
// "34" for DVB-S, "34,S2,8PSK[,RO20][,PILOTS|NOPILOTS]" for DVB-S2. Older
// readers take the first field as the code rate and look no further than
// "S2"; fields this reader does not know are passed over.
SignalFormat fromFileFields(const QStringList& fields);
QString toFileFields(const SignalFormat& format);

// How the FEC readout shows a locked signal: "3/4" for DVB-S, "8PSK 3/4"
// for DVB-S2 ("8PSK" alone while the rate is unknown).
QString lockedText(const SignalFormat& format);
// The system and modulation in a few characters: "" for DVB-S, "S2 8PSK".
QString systemText(const SignalFormat& format);

// The Es/N0 in dB a carrier needs for quasi-error-free reception; NaN for a
// combination the standards do not define (or whose rate is unknown).
// DVB-S: EN 300 421 (BER 2e-4 after Viterbi); DVB-S2: EN 302 307, normal
// frames, ideal demodulation, with the pilots' share of the energy when on.
double qefEsN0Db(const SignalFormat& format);
// The least any carrier of this format needs, its unknown parts taken at
// their least demanding (DVB-S2 3/4 of unknown modulation: QPSK 3/4).
double leastEsN0Db(const SignalFormat& format);
// The DVB-S2 figure for a modulation and rate as the standard's table gives it.
double dvbS2TableDb(Modulation modulation, CodeRate rate);
// What pilots cost: their symbols carry no data, so a frame needs this much more.
double pilotShareDb(Modulation modulation);

} // namespace modcod
} // namespace hw

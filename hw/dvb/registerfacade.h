#pragma once

#include "hw/clock.h"
#include "hw/dvb/frontenddevice.h"

#include <array>
#include <functional>

namespace dvb {

// The kernel's scales turned into the demodulator's register scales the
// program reads (the meters show 255 minus the register):
// - signal strength, relative 0..65535: meter = value x 255 / 65535; in dBm
//   (0.001 dBm): -85 dBm reads 0, -25 dBm and above 255, linear between;
// - C/N in dB (0.001 dB): meter = 40 + 9 per dB, as the simulated receiver
//   reads, so that the two compare; relative as for the strength;
// - bit errors: errors / bits x 10^7 over the bits since the last read
//   (the program divides the count by 10^7); a driver's legacy count as is;
// - uncorrected blocks: the kernel's counter since the program last restarted
//   the chip's, at most 127;
// - code rate: DTV_INNER_FEC 1/2 .. 8/9 as 0..7.
// A measurement the driver does not give is a failed read, never a made-up one.
namespace scales {
bool agcRegister(const Stat& strength, quint8* reg);
bool snrRegister(const Stat& cnr, quint8* reg);
quint32 errorCount(qint64 errorBits, qint64 totalBits);
int codeRate(quint32 innerFec); // -1 when the rate is not a DVB-S one
} // namespace scales

// The demodulator's and the LNB supply's registers over a Linux DVB frontend:
// measurement reads answer from the kernel's, the DiSEqC registers become one
// master command or burst, the LNB supply byte becomes voltage calls.
class RegisterFacade
{
public:
    static constexpr int Unavailable = 61; // ENODATA: the driver does not measure it

    // Statistics read within this time of each other are one poll's: the
    // kernel is asked once for all of them.
    static constexpr int StatisticsValidMs = 100;

    RegisterFacade(FrontendDevice& device, const hw::Clock& clock);

    int readDemodulator(quint8 reg, quint8* value);
    int writeDemodulator(quint8 reg, quint8 value);
    int readSupply(quint8* value) const;
    // The driver's last carrier to noise figure, when it gives decibels.
    bool carrierToNoiseDb(double* db) const;
    int writeSupply(quint8 control);

    // A line for the card trace for each call that reaches the kernel.
    std::function<void(const QString&)> note;
    // Set by the back end: a DiSEqC message or burst (0xFF: none) with its
    // guards, and the LNB supply, so that the cable's state is kept in one place.
    std::function<int(const QByteArray& message, int burst)> sendDiseqc;
    std::function<int(int volts)> setSupply;

private:
    int refreshStatistics();
    int latchErrorCount();

    FrontendDevice& m_device;
    const hw::Clock& m_clock;
    qint64 m_statsAtMs = -1;
    int m_statsResult = 0;
    std::array<quint8, 256> m_shadow{};
    quint8 m_supply = 0;
    Statistics m_stats;
    qint64 m_lastErrorBits = -1;
    qint64 m_lastTotalBits = -1;
    qint64 m_blocksAtRestart = -1;
    bool m_blockCounting = true;
};

} // namespace dvb

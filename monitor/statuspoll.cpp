#include "monitor/statuspoll.h"

#include "hw/clock.h"
#include "hw/demodulatoraccess.h"
#include "monitor/scale.h"

#include <cmath>
#include <limits>

namespace {
constexpr int ReadPauseMs = 5;
constexpr int UcbPauseMs = 10;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

const QString StatusPoll::MissingText = QStringLiteral("<p align=\"center\">--</p>");
const QString StatusPoll::UnlockedBerText = QStringLiteral("<p align=\"center\">1</p>");

StatusPoll::StatusPoll(DemodulatorAccess& demodulator, hw::Clock& clock,
                       tuning::ReceiverFlags& flags)
    : m_demodulator(demodulator), m_clock(clock), m_flags(flags)
{
}

double StatusPoll::percentOfRegister(int raw)
{
    // The double nearest 1/2.55, as the meter has always scaled it.
    return (255 - raw) * 0.3921568627450981;
}

int StatusPoll::berMeterValue(double ber)
{
    if (ber == 0)
        return 100;
    return int(mapToScale(ber, 1.0, 1e-7, 0, 100, true));
}

QString StatusPoll::percentText(double percent)
{
    return QString::asprintf("<p align=\"center\">%3.1f</p>", percent);
}

QString StatusPoll::berText(double ber)
{
    return QString::asprintf("<p align=\"center\">%.7f</p>", ber);
}

QString StatusPoll::codeRateText(int reg0x0D)
{
    static const char* const rates[8] = {"1/2", "2/3", "3/4", "4/5", "5/6", "6/7", "7/8", "8/9"};
    return QString::fromLatin1(rates[(reg0x0D >> 4) & 0x07]);
}

void StatusPoll::clearUcb()
{
    m_demodulator.tda10086_write_byte(tda10086::RegUcb, 0x00);
    m_demodulator.tda10086_write_byte(tda10086::RegUcb, 0x80);
    ucbTotal = 0;
}

PollReading StatusPoll::poll()
{
    PollReading r;
    unsigned char agc = 0, snr = 0, flags = 0;
    unsigned int berCount = 0;

    r.agcValid = m_demodulator.tda10086_agc_raw(&agc) == 0;
    m_clock.sleepMs(ReadPauseMs);
    r.berValid = m_demodulator.tda10086_ber_count(&berCount) == 0;
    m_clock.sleepMs(ReadPauseMs);
    r.snrValid = m_demodulator.tda10086_snr_raw(&snr) == 0;
    m_clock.sleepMs(ReadPauseMs);
    r.flagsValid = m_demodulator.tda10086_status_flags(&flags) == 0;
    m_clock.sleepMs(ReadPauseMs);

    r.flags = r.flagsValid ? flags : 0;
    // Only a flag byte actually read can say "locked".
    r.locked = r.flagsValid && (flags & LockFlag);
    r.ber = berCount * 1e-7;
    if (r.locked)
        readLocked(&r);
    else
        countUnlocked(&r);
    r.ucbTotal = ucbTotal;
    scaleReadings(&r, agc, snr);
    return r;
}

void StatusPoll::readLocked(PollReading* r)
{
    const bool firstLock = m_flags.awaitingLock;
    if (firstLock) {
        m_demodulator.tda10086_write_byte(tda10086::RegAcquisition, 0x00);
        m_flags.awaitingLock = false;
        m_codeRatePending = true;
    }
    if (m_codeRatePending) {
        r->fecChanged = true;
        if (lockedFormat && lockedFormat(&r->format)) {
            m_codeRatePending = false;
            r->formatKnown = true;
            r->fecText = hw::modcod::lockedText(r->format);
        } else {
            // A failed read shows "--" and is tried again on the next locked poll.
            unsigned char rate = 0;
            const bool read = m_demodulator.tda10086_read_byte(tda10086::RegCodeRate, &rate) == 0;
            m_codeRatePending = !read;
            r->fecText = read ? codeRateText(rate) : QStringLiteral("--");
            r->formatKnown = read;
            r->format = hw::SignalFormat{};
            hw::modcod::parseRate(r->fecText, &r->format.rate);
        }
    }
    if (firstLock) {
        clearUcb();
        r->ucbChanged = true;
    }
    r->berText = r->berValid ? berText(r->ber) : MissingText;
    r->berMeter = r->berValid ? berMeterValue(r->ber) : 0;
    unsigned char blocks = 0;
    if (m_demodulator.tda10086_ucb_count(&blocks) == 0) {
        m_clock.sleepMs(UcbPauseMs);
        ucbTotal += blocks;
        r->ucbChanged = true;
    }
    unlockedTime = 0;
}

void StatusPoll::countUnlocked(PollReading* r)
{
    r->berMeter = 0;
    if (!r->flagsValid) {
        // Nobody knows whether the receiver is locked: no BER, and the poll does
        // not count toward the re-tune.
        r->berText = MissingText;
        return;
    }
    r->berText = UnlockedBerText;
    if (unlockedTime <= RetuneAfterMs || m_flags.tuneFailed || m_flags.cannotLock || m_retuning) {
        unlockedTime += IntervalMs;
        return;
    }
    // Polls nested in the re-tune (inside its warning box, say) must not
    // start another one; they count from zero meanwhile.
    m_retuning = true;
    unlockedTime = 0;
    if (retune)
        retune();
    m_retuning = false;
    unlockedTime = 0;
    r->retuned = true;
}

void StatusPoll::scaleReadings(PollReading* r, unsigned char agc, unsigned char snr)
{
    r->agcPercent = percentOfRegister(agc);
    r->agcMeter = r->agcValid ? 255 - agc : 0;
    r->agcText = r->agcValid ? percentText(r->agcPercent) : MissingText;
    r->snrPercent = percentOfRegister(snr);
    r->snrMeter = r->snrValid ? 255 - snr : 0;
    r->snrText = r->snrValid ? percentText(r->snrPercent) : MissingText;
    if (r->agcValid)
        currentAgc = r->agcPercent;
    if (r->snrValid)
        currentSnr = r->snrPercent;
    currentLocked = r->locked;
    currentAtMs = m_clock.nowMs();
    if (!r->locked)
        r->berSample = r->flagsValid ? 1.0 : NaN;
    else
        r->berSample = !r->berValid ? NaN : (r->ber == 0 ? 9e-8 : r->ber);
    r->agcSample = r->agcValid ? r->agcPercent : NaN;
    r->snrSample = r->snrValid ? r->snrPercent : NaN;
}

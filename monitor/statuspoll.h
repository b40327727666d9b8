#pragma once

#include "hw/tuning.h"

#include <QString>

#include <functional>

class DemodulatorAccess;

namespace hw {
class Clock;
}

// What one poll found, ready for the window: texts, meter values, flags.
// A reading whose register transfer failed is marked missing, never shown as a
// value.
struct PollReading
{
    bool agcValid = false;
    double agcPercent = 0;
    int agcMeter = 0;
    QString agcText;

    bool snrValid = false;
    double snrPercent = 0;
    int snrMeter = 0;
    QString snrText;

    bool flagsValid = false;
    quint8 flags = 0;
    bool locked = false;

    bool berValid = false;
    double ber = 1.0;
    int berMeter = 0;
    QString berText;

    bool fecChanged = false; // the code rate was read (or tried) after the first lock
    QString fecText;
    // What the lock is, when fecChanged and the rate was read: the DVB-S code
    // rate, or the DVB-S2 system, modulation and rate the card reports.
    bool formatKnown = false;
    hw::SignalFormat format;
    bool ucbChanged = false;
    double ucbTotal = 0;
    bool retuned = false;

    // History samples; NaN where the reading is missing.
    double berSample = 1.0;
    double agcSample = 0;
    double snrSample = 0;
};

// The 250 ms status poll: reads the demodulator's measurements and flags, keeps
// the uncorrected-block total, notices the first lock after a tune, and asks for
// a re-tune after more than 5000 ms of accumulated unlocked polls.
class StatusPoll
{
public:
    static constexpr int IntervalMs = 250;
    static constexpr double RetuneAfterMs = 5000;
    static constexpr quint8 LockFlag = 0x10; // LCK in the flag byte

    StatusPoll(DemodulatorAccess& demodulator, hw::Clock& clock, tuning::ReceiverFlags& flags);

    PollReading poll();
    // Restarts the chip's block counter and the total.
    void clearUcb();

    // Called for the automatic re-tune (to the remembered transponder).
    std::function<void()> retune;
    // Asked once after each lock: the DVB-S2 signal a card with that
    // extension locked to; false sends the poll to the code-rate register.
    std::function<bool(hw::SignalFormat*)> lockedFormat;

    double unlockedTime = 0;
    double ucbTotal = 0;
    double currentAgc = 0;
    double currentSnr = 0;
    bool currentLocked = false;
    qint64 currentAtMs = -1; // when the readings above were taken

    static double percentOfRegister(int raw);
    static int berMeterValue(double ber);
    static QString percentText(double percent);
    static QString berText(double ber);
    static QString codeRateText(int reg0x0D);
    static const QString MissingText;
    static const QString UnlockedBerText;

private:
    DemodulatorAccess& m_demodulator;
    hw::Clock& m_clock;
    tuning::ReceiverFlags& m_flags;
    void readLocked(PollReading* r);
    void countUnlocked(PollReading* r);
    void scaleReadings(PollReading* r, unsigned char agc, unsigned char snr);
    bool m_retuning = false;
    bool m_codeRatePending = false; // the code rate is still to be read
};

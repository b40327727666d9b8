#pragma once

#include "hw/modcod.h"
#include "hw/transportstream.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <QtGlobal>
#include <functional>

namespace sim {

// What reaches the LNB and the tuner: the supply, the band tone, the input chosen
// by burst or committed switch, and the channel the card was last tuned to.
struct TunerState
{
    bool lnbPowered = false;
    int voltage = 0; // 13 or 18 while powered
    bool tone22k = false;
    bool tuned = false;
    quint32 ifKHz = 0;
    quint32 symbolRate = 0;
    qint64 tunedAtMs = 0;
    int input = 0; // 0..3: committed switch position/option, or burst A/B
    // The demodulator also receives DVB-S2: it finds either system on its
    // own, as today's chips search, whichever the tune asked for.
    bool secondGeneration = false;
};

// What the demodulator measures. Levels are on the meter's scale (0..255, the
// register holds 255 minus the reading); the register model adds each read's
// noise with the given standard deviation.
struct Reception
{
    quint8 status = 0;   // register 0x0E bits: SIG CAR VIT SYN LCK
    double agc = 0;      // 0 = no power at the input
    double agcNoise = 0; // standard deviation, meter units
    double snr = 0;
    double snrNoise = 0;
    double berCount = 0xFFFFF; // 20-bit error count of the last window
    double berNoise = 0;       // relative standard deviation
    double ucbPerSecond = 0;   // uncorrected blocks per second
    int codeRate = 0;          // 0..7 = 1/2 .. 8/9
};

// Where the demodulator's measurements come from. The register model asks the
// scene on every measurement read; the scene decides what the dish receives.
class SignalScene
{
public:
    virtual ~SignalScene() = default;
    virtual Reception receive(const TunerState& tuner, qint64 nowMs) = 0;
    // A DiSEqC master command heard on the LNB cable.
    virtual void masterCommand(const QByteArray& message, const TunerState& tuner, qint64 nowMs)
    {
        Q_UNUSED(message)
        Q_UNUSED(tuner)
        Q_UNUSED(nowMs)
    }
    // The LNB supply changed: 0 (off), 13, 14, 18 or 19 volts.
    virtual void supplyChanged(int volts, qint64 nowMs)
    {
        Q_UNUSED(volts)
        Q_UNUSED(nowMs)
    }
    // The network information (NIT) the carrier this tuning receives sends;
    // false when there is none to be had.
    virtual bool network(const TunerState& tuner, hw::NetworkInfo* info)
    {
        Q_UNUSED(tuner)
        Q_UNUSED(info)
        return false;
    }
    // Where the user says the dish stands.
    virtual void setSite(double latitude, double longitude)
    {
        Q_UNUSED(latitude)
        Q_UNUSED(longitude)
    }
    // A part of the installation adjusted or reported, as the card's
    // adjustSimulation() says.
    virtual bool adjust(const QString& part, const QStringList& words, QVariantMap* values,
                        QString* error)
    {
        Q_UNUSED(words)
        Q_UNUSED(values)
        *error = QStringLiteral("the simulated receiver has no %1 to adjust").arg(part);
        return false;
    }
    // The seed of the noise the register model adds to the readings.
    virtual quint64 noiseSeed() const { return 0; }
    // The DVB-S2 signal the demodulator is locked to, if it is.
    virtual bool lockedFormat(const TunerState& tuner, hw::SignalFormat* format)
    {
        Q_UNUSED(tuner)
        Q_UNUSED(format)
        return false;
    }

    // Set by the card: lines for the card trace (motor arrivals and halts).
    std::function<void(const QString&)> note;
};

// A fixed scene: every channel the tuner can take locks a short while after the
// tune, provided the LNB is powered, with constant levels.
class FixedScene : public SignalScene
{
public:
    Reception receive(const TunerState& tuner, qint64 nowMs) override;

    static constexpr qint64 CarrierAfterMs = 50;
    static constexpr qint64 ViterbiAfterMs = 150;
    static constexpr qint64 LockAfterMs = 250;
};

} // namespace sim

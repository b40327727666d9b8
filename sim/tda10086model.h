#pragma once

#include "hw/clock.h"
#include "sim/scene.h"

#include <QByteArray>
#include <QMap>

#include <array>
#include <functional>

namespace sim {

// The TDA10086 demodulator as seen over the register bus. Measurement
// registers are filled from a Reception supplied on demand; the DiSEqC
// transmitter takes a realistic time per message on the given clock.
class Tda10086Model
{
public:
    static constexpr quint8 ChipId = 0xE1;
    // 8 data bits plus parity at 1.5 ms a bit, and the quiet gap after the message.
    static constexpr double MsPerDiseqcByte = 13.5;
    static constexpr int DiseqcGuardMs = 15;
    static constexpr int BurstMs = 13;

    using ReceptionSource = std::function<Reception()>;
    using MessageSink = std::function<void(const QByteArray&)>;
    using BurstSink = std::function<void(int)>; // 0 = A, 1 = B

    explicit Tda10086Model(const hw::Clock& clock);

    void setReceptionSource(ReceptionSource source) { m_source = std::move(source); }
    void setMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }
    void setBurstSink(BurstSink sink) { m_burstSink = std::move(sink); }
    // A transmitter that never reports ready again after its first message.
    void setTransmitterStuck(bool stuck) { m_stuck = stuck; }
    // The seed of the noise added to each AGC, SNR and error-count reading.
    void setNoiseSeed(quint64 seed) { m_noiseSeed = seed; }

    quint8 read(quint8 reg);
    void write(quint8 reg, quint8 value);

    // Holds a register at a fixed value, whatever the scene says (for tests and
    // for exploring the program's reaction to given readings).
    void pin(quint8 reg, quint8 value) { m_pinned.insert(reg, value); }
    void unpin(quint8 reg) { m_pinned.remove(reg); }

    // The raw contents, without side effects.
    quint8 peek(quint8 reg) const { return m_regs[reg]; }
    bool transmitterReady() const;
    int messagesSent() const { return m_messagesSent; }

private:
    void refreshMeasurements();
    // A reading of a measurement register: the level plus this read's noise.
    quint8 noisyRegister(quint8 reg, double level, double sigma);
    void latchErrorCount();
    void startTransmission(quint8 control);

    const hw::Clock& m_clock;
    std::array<quint8, 256> m_regs{};
    QMap<quint8, quint8> m_pinned;
    ReceptionSource m_source;
    MessageSink m_messageSink;
    BurstSink m_burstSink;
    qint64 m_readyAtMs = 0;
    qint64 m_ucbSinceMs = 0;
    qint64 m_measuredAtMs = -1;
    double m_ucbFraction = 0;
    Reception m_reception;
    quint64 m_noiseSeed = 0;
    std::array<quint64, 256> m_reads{};
    bool m_stuck = false;
    int m_messagesSent = 0;
};

} // namespace sim

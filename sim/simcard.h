#pragma once

#include "hw/cardbackend.h"
#include "hw/clock.h"
#include "sim/scene.h"
#include "sim/tda10086model.h"

#include <QSet>

#include <memory>

namespace sim {

// Ways to make the simulated card misbehave, so that every failure path of the
// program can be seen and tested.
struct SimFaults
{
    bool failOpen = false;
    bool failInit = false;
    bool failBind = false;
    bool failDiseqc = false; // the card library's DiSEqC send (switch, burst) fails
    bool busErrorAll = false;
    bool busErrorLnb = false;
    QSet<int> busErrorRegisters; // TDA10086 registers whose transfers fail
    int busErrorCode = 5;
    bool diseqcStuck = false;
    qint64 vanishAfterMs = -1; // from then on the card answers nothing (unplugged)
    QString vanishOnFile;      // ...or once this file exists: pulled when a test says so
};

// The LNBP21 supply's single control byte; bits 0x01/0x02 are its fault flags.
struct Lnbp21Model
{
    static constexpr quint8 Enable = 0x04;
    static constexpr quint8 Select18V = 0x08;
    static constexpr quint8 RaiseVoltage = 0x10;
    static constexpr quint8 ToneEnable = 0x20;

    quint8 control = 0;
    bool powered() const { return control & Enable; }
    int voltage() const
    {
        if (!powered())
            return 0;
        return ((control & Select18V) ? 18 : 13) + ((control & RaiseVoltage) ? 1 : 0);
    }
};

// A register-level simulation of the card: the TDA10086 at bus address 0x1C
// and the LNBP21 at 0x10, fed by a signal scene.
class SimCard : public hw::CardBackend
{
public:
    static constexpr int NoAcknowledge = 2;
    static constexpr int NotOpen = 1;
    static constexpr quint32 MinIfKHz = 950000;
    static constexpr quint32 MaxIfKHz = 2150000;
    static constexpr quint32 MinSymbolRate = 1000000;
    static constexpr quint32 MaxSymbolRate = 45000000;

    SimCard(hw::Clock& clock, std::unique_ptr<SignalScene> scene, SimFaults faults = {});

    bool open() override;
    void close() override;
    int initFrontend(quint8* status) override;
    bool busReachable() const override { return !m_faults.failBind; }
    int busRead(quint8 device, const quint8* out, int outLength, quint8* in, int inLength) override;
    int busWrite(quint8 device, const quint8* data, int length) override;
    int setChannel(const hw::ChannelRecord& channel) override;
    int sendDiseqc(const quint8* message, int length, int burst) override;
    // The card's demodulator also receives DVB-S2 (the default); without it,
    // the TDA10086 alone.
    void setSecondGeneration(bool on) { m_secondGeneration = on; }
    bool receivesDvbS2() const override { return m_secondGeneration; }
    int setChannelFormat(const hw::ChannelRecord& channel, const hw::SignalFormat& format) override;
    bool lockedFormat(hw::SignalFormat* format) override;

    // In English, as --remote status says it; the window translates it.
    QString description() const override
    {
        return m_secondGeneration
                   ? QString::fromLatin1(QT_TRANSLATE_NOOP("Receivers", "simulated receiver"))
                   : QString::fromLatin1(
                         QT_TRANSLATE_NOOP("Receivers", "simulated DVB-S receiver (TDA10086)"));
    }
    hw::TransportStream* transportStream() override { return &m_stream; }
    bool snrMeterInDecibels() const override { return true; }
    void setSite(double latitude, double longitude) override
    {
        m_scene->setSite(latitude, longitude);
    }
    bool adjustSimulation(const QString& part, const QStringList& words, QVariantMap* values,
                          QString* error) override
    {
        return m_scene->adjust(part, words, values, error);
    }

    SignalScene& scene() { return *m_scene; }
    Tda10086Model& demodulator() { return m_demod; }
    const Lnbp21Model& lnb() const { return m_lnb; }
    TunerState tunerState() const;
    SimFaults& faults() { return m_faults; }

    // A NIT is on air every so often; the first one arrives this long after a
    // read starts.
    static constexpr qint64 NitAfterMs = 1500;

private:
    // The network information of the scene's carrier, after NitAfterMs.
    class Stream : public hw::TransportStream
    {
    public:
        explicit Stream(SimCard& card) : m_card(card) {}
        void startNetworkRead(int timeLimitMs) override;
        State networkState(hw::NetworkInfo* info) override;

    private:
        SimCard& m_card;
        qint64 m_startMs = -1;
        int m_limitMs = 0;
    };

    bool failsOn(quint8 device, int reg) const;
    void selectInput(int input) { m_tuner.input = input; }
    void setLnbControl(quint8 control);

    hw::Clock& m_clock;
    std::unique_ptr<SignalScene> m_scene;
    SimFaults m_faults;
    Tda10086Model m_demod;
    Lnbp21Model m_lnb;
    TunerState m_tuner;
    bool m_open = false;
    bool m_secondGeneration = true;
    qint64 m_openedAtMs = 0;
    Stream m_stream{*this};
    bool gone() const;
};

} // namespace sim

#pragma once

#include "hw/cardbackend.h"
#include "hw/clock.h"
#include "hw/dvb/frontenddevice.h"
#include "hw/dvb/gonewatch.h"
#include "hw/dvb/registerfacade.h"

#include <memory>

namespace dvb {

// The card layer over a Linux DVB frontend: tuning with DVB API v5
// properties, DiSEqC with the kernel's master-command and burst calls and the
// guard pauses the bus needs, and the demodulator's registers answered from
// the kernel's measurements.
class DvbBackend : public hw::CardBackend
{
public:
    // The quiet time the DiSEqC bus needs around a message or burst.
    static constexpr int GuardMs = 15;

    DvbBackend(hw::Clock& clock, std::unique_ptr<FrontendDevice> device);

    bool open() override;
    void close() override;
    int initFrontend(quint8* status) override;
    bool busReachable() const override { return m_open; }
    int busRead(quint8 device, const quint8* out, int outLength, quint8* in, int inLength) override;
    int busWrite(quint8 device, const quint8* data, int length) override;
    int setChannel(const hw::ChannelRecord& channel) override;
    bool receivesDvbS2() const override { return m_info.dvbS2; }
    // A DVB-S2 carrier with its modcod; a DVB-S one goes to setChannel().
    int setChannelFormat(const hw::ChannelRecord& channel, const hw::SignalFormat& format) override;
    // The modcod of a DVB-S2 lock as the driver reports it. A DVB-S lock
    // gives false: its code rate is read through the demodulator's register.
    bool lockedFormat(hw::SignalFormat* format) override;
    int sendDiseqc(const quint8* message, int length, int burst) override;
    QString description() const override;
    bool carrierToNoiseDb(double* db) const override { return m_registers.carrierToNoiseDb(db); }
    // The adapter's demux, for a frontend in /dev/dvb; none for a scripted one.
    hw::TransportStream* transportStream() override;

    // Why open() failed, for the user: the device, and busy, not permitted,
    // missing or not a satellite frontend.
    QString openError() const override { return m_openError; }
    bool present() const override;
    const FrontendInfo& info() const { return m_info; }
    FrontendDevice& device() { return *m_device; }

private:
    void note(const QString& event);

    hw::Clock& m_clock;
    GoneWatch* m_watch; // m_device itself, which owns it
    std::unique_ptr<FrontendDevice> m_device;
    std::unique_ptr<hw::TransportStream> m_stream;
    RegisterFacade m_registers;
    FrontendInfo m_info;
    QString m_openError;
    // What the LNB cable carries now: every DiSEqC message goes out with the
    // supply on and the tone off, and no call repeats what the tune set.
    int setSupply(int volts);
    int guardedDiseqc(const QByteArray& message, int burst);
    void tuned(const hw::ChannelRecord& channel);

    bool m_open = false;
    bool m_highBand = false;
    int m_volts = 0;
    int m_lastVolts = 13;
    bool m_supplyOff = false; // the user switched it off
};

// The IF the tuner takes for a channel, kHz: the distance between the
// downlink and the LNB oscillator (the oscillator is above it for C band).
// Why a frontend could not be opened, in the user's terms.
QString openErrorReason(int error);

quint32 intermediateFrequencyKHz(const hw::ChannelRecord& channel);

// What a frontend is: FE_GET_INFO, with the satellite systems taken from the
// frontend's list of delivery systems where the kernel gives one (a combo
// frontend set to DVB-T is a satellite one too); from the legacy type and
// capability bits otherwise.
int identifyFrontend(FrontendDevice& device, FrontendInfo* info);

} // namespace dvb

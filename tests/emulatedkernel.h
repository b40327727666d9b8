#pragma once

// A satellite frontend as the kernel's Digital TV API documents it
// (linux/dvb/frontend.h and its uAPI pages), behind
// /dev/dvb/adapter0/frontend0 in a umockdev testbed: the program's own ioctl
// code talks to it as it would to a driver. The test binary runs with
// umockdev's preload library, which routes /dev to the testbed (and with
// ours before it, for the demux and refused opens: emulateddevices.cpp).
//
// Every call is recorded with the tone and the supply at that moment, and the
// time on the test's clock, so that a test can assert on what a dish would
// have heard.

#include "hw/clock.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVector>

#include <map>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

class EmulatedFrontend
{
public:
    // How the driver reports what it measures.
    enum class Statistics {
        Decibel,           // v5: C/N in 0.001 dB, strength in 0.001 dBm, bit and block counters
        Relative,          // v5: strength and C/N as 0..65535 only
        LegacyOnly,        // no v5 statistics ("not available" always); the old calls answer
        DecibelWhenLocked, // v5 in dB, "not available" until the lock
    };

    struct Config
    {
        QByteArray name = "Emulated DVB-S/S2";
        QVector<quint32> deliverySystems; // DTV_ENUM_DELSYS; empty: DVB-S and DVB-S2
        quint32 legacyType = 0;           // dvb_frontend_info.type (0 = FE_QPSK)
        Statistics statistics = Statistics::Decibel;
    };

    // One ioctl as the driver saw it.
    struct Call
    {
        QByteArray name;   // "FE_SET_TONE", "FE_DISEQC_SEND_MASTER_CMD", ...
        QByteArray detail; // the argument: "on", "18", "E0 31 60", "DTV_TUNE=0 ..."
        bool toneOn = false;
        int volts = 0; // 0, 13, 18 before the call
        qint64 atMs = 0;
        int result = 0; // 0 or the errno returned
    };

    // What the emulated demodulator receives.
    struct Signal
    {
        bool locked = false;
        double cnDb = 12.0;
        double strengthDbm = -45.0;
        quint64 errorBits = 0; // counters since the tune
        quint64 totalBits = 0;
        quint64 errorBlocks = 0;
        quint32 system = 0;     // the locked system, modulation, rate and pilot as
        quint32 modulation = 0; // DTV_* reads give them back (0: as tuned)
        quint32 innerFec = 0;
        quint32 pilot = 0;
    };

    EmulatedFrontend(const hw::Clock& clock, Config config);
    explicit EmulatedFrontend(const hw::Clock& clock);
    ~EmulatedFrontend();

    static QString path();
    // False when the test does not run with both preload libraries.
    static bool preloaded();

    QVector<Call> calls() const;
    void clearCalls();
    void setSignal(const Signal& signal);
    // The next `times` calls of an ioctl fail with the errno.
    void failNext(const QByteArray& ioctlName, int error, int times = 1);
    // From now on every call fails with ENODEV, as when the card is pulled;
    // until it is plugged in again.
    void vanish();
    void reappear();

    bool toneOn() const;
    int volts() const;

private:
    static int handleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    int dispatch(UMockdevIoctlClient* client, unsigned long request, QByteArray* name,
                 QByteArray* detail);
    int setProperties(UMockdevIoctlClient* client, QByteArray* detail);
    int getProperties(UMockdevIoctlClient* client, QByteArray* detail);
    int frontendInfo(UMockdevIoctlClient* client);
    int legacyReading(UMockdevIoctlClient* client, unsigned long request);
    int masterCommand(UMockdevIoctlClient* client, QByteArray* detail);
    bool v5Available() const;

    const hw::Clock& m_clock;
    Config m_config;
    UMockdevTestbed* m_testbed = nullptr;
    UMockdevIoctlBase* m_handler = nullptr;
    mutable QMutex m_mutex; // the handler runs on umockdev's thread
    QVector<Call> m_calls;
    Signal m_signal;
    std::map<QByteArray, std::pair<int, int>> m_failures; // name -> errno, times
    bool m_gone = false;
    bool m_tone = false;
    int m_volts = 0;
    std::map<quint32, quint32> m_tuned; // the last FE_SET_PROPERTY's values
};

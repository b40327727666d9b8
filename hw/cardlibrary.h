#pragma once

// Our stand-in for the card maker's library: the classes and entry points the
// program opens and tunes the card with, routed to the selected receiver.

#include "hw/cardbackend.h"
#include "hw/clock.h"

#include <QString>

#include <memory>

enum DVB_ERROR {
    DVB_ERR_NONE = 0,
    DVB_ERR_NOT_OPEN = 1,
    DVB_ERR_FAILED = 2,
    DVB_ERR_INVALID = 3,
};

class CDVBCommon
{
public:
    // Nonzero when the card with the given index is open.
    static unsigned long OpenDevice(unsigned short index, const char* name, int flags);
    static void CloseDevice();
};

class CDVBFrontend
{
public:
    struct _CHANNEL_TYPE
    {
        quint32 frequency;  // kHz
        quint32 mode;       // 1 or 2, see channelMode()
        quint32 symbolRate; // symbols per second
        quint32 lof;        // kHz
        quint32 highBand;   // 1 = high band
        quint32 voltage;    // 0, 13 or 18
        quint32 zero;
        quint32 unused; // never filled in by callers
    };

    DVB_ERROR Init();
    DVB_ERROR SetChannel(_CHANNEL_TYPE channel, int flags);
    DVB_ERROR SendDiSEqCMsg(unsigned char* data, unsigned char length, unsigned char burst);

    // The second-generation extension of receivers that have one.
    bool ReceivesDvbS2() const;
    DVB_ERROR SetChannelFormat(_CHANNEL_TYPE channel, const hw::SignalFormat& format);
    // The system, modulation and code rate after a DVB-S2 lock.
    bool GetLockedFormat(hw::SignalFormat* format) const;

    // The mode field of the channel record: 2 when bit 4 of the frontend's
    // status byte is set, else 1.
    quint32 channelMode() const { return (m_status & 0x10) ? 2 : 1; }

private:
    quint8 m_status = 0;
};

class CDVBBoardControl
{
};

// The two register-bus routines, bound by locateBusRoutines() and never cleared.
using BusReadRoutine = int (*)(unsigned char device, const unsigned char* out, int outLength,
                               unsigned char* in, int inLength);
using BusWriteRoutine = int (*)(unsigned char device, const unsigned char* data, int length);
extern BusReadRoutine busRead;
extern BusWriteRoutine busWrite;

// 0 when both bus routines are bound, -1 when the card's bus cannot be reached.
int locateBusRoutines();

namespace hw {

class CardTrace;

// Process-wide state behind the card library: the selected receiver, the clock
// that register traffic runs on, and the optional trace of everything sent.
class CardLayer
{
public:
    // Takes the back end; the clock must outlive it (null: the system clock).
    static void install(std::unique_ptr<CardBackend> backend, Clock* clock = nullptr);
    static void uninstall();
    static CardBackend* backend();
    static Clock& clock();
    static bool isOpen();

    static bool startTrace(const QString& path, QString* error);
    static void stopTrace();
    static CardTrace* trace();
};

} // namespace hw

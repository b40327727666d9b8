#pragma once

#include "hw/modcod.h"
#include "hw/transportstream.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QtGlobal>

#include <functional>

namespace hw {

// The channel as the card library receives it: kHz, symbols per second, volts.
struct ChannelRecord
{
    quint32 frequencyKHz = 0;
    quint32 mode = 1;
    quint32 symbolRate = 0;
    quint32 lofKHz = 0;
    quint32 highBand = 0;
    quint32 voltage = 0;
};

// One receiver behind the card layer: the simulated card, or real hardware.
// Result codes follow the card's own conventions: 0 is success, anything else
// is the bus's or the frontend's error code.
class CardBackend
{
public:
    virtual ~CardBackend() = default;

    virtual bool open() = 0;
    virtual void close() = 0;
    // Brings the frontend up; *status receives the frontend's status byte.
    virtual int initFrontend(quint8* status) = 0;
    // Whether the two register-bus routines can be reached on this card.
    virtual bool busReachable() const = 0;

    virtual int busRead(quint8 device, const quint8* out, int outLength, quint8* in,
                        int inLength) = 0;
    virtual int busWrite(quint8 device, const quint8* data, int length) = 0;

    virtual int setChannel(const ChannelRecord& channel) = 0;
    // length 0 sends only the burst; burst 0 or 1 is tone burst A or B, 0xFF none.
    virtual int sendDiseqc(const quint8* message, int length, int burst) = 0;

    // Second generation: a back end whose demodulator also receives DVB-S2
    // says so and takes the carrier's format with the channel. The DVB-S
    // path above stays the card's own.
    virtual bool receivesDvbS2() const { return false; }
    virtual int setChannelFormat(const ChannelRecord& channel, const SignalFormat& format)
    {
        Q_UNUSED(channel)
        Q_UNUSED(format)
        return -1;
    }
    // What the demodulator has locked to, where it reports more than the
    // DVB-S code-rate register: false when not locked or not DVB-S2.
    virtual bool lockedFormat(SignalFormat* format)
    {
        Q_UNUSED(format)
        return false;
    }

    // What the user is connected to, for the window ("simulated receiver",
    // "Philips TDA10086 DVB-S (/dev/dvb/adapter0/frontend0)").
    virtual QString description() const { return QString(); }
    // The carrier to noise ratio in dB as the receiver itself measures it, where
    // it gives one (a Linux DVB driver's decibel statistic); false otherwise.
    virtual bool carrierToNoiseDb(double* db) const
    {
        Q_UNUSED(db)
        return false;
    }
    // Whether the SNR register's meter scale is calibrated in decibels (40 at
    // 0 dB, 9 steps a dB), as the simulated card's is. A real card's relative
    // figure is not: no decibels are made up from it.
    virtual bool snrMeterInDecibels() const { return false; }
    // The receiver's transport stream, or null for a card that only gives
    // register readings (nothing is shown for it then).
    virtual TransportStream* transportStream() { return nullptr; }
    // False while the receiver has gone away (unplugged); the back end opens
    // it again by itself when it is back.
    virtual bool present() const { return true; }
    // Why the last open() failed, in the user's terms, where the back end knows.
    virtual QString openError() const { return QString(); }
    // Where the user says the dish stands (degrees, north and east positive).
    // A simulated installation stands there too; a real card has no use for it.
    virtual void setSite(double latitude, double longitude)
    {
        Q_UNUSED(latitude)
        Q_UNUSED(longitude)
    }

    // Adjusts a part of a simulated installation as an installer would (the
    // "mount", with the words that follow it on a remote command line), or
    // only reports it when there are none: *values is the part as it stands
    // after. False with *error, and nothing changed, when the words are
    // refused; a real receiver has nothing to adjust from here.
    virtual bool adjustSimulation(const QString& part, const QStringList& words,
                                  QVariantMap* values, QString* error)
    {
        Q_UNUSED(words)
        Q_UNUSED(values)
        *error =
            QStringLiteral("the receiver is not simulated: its %1 cannot be adjusted from here")
                .arg(part);
        return false;
    }

    // Why this receiver was chosen over another, for the status bar ("no DVB
    // card used: ... not permitted"); empty when there is nothing to say.
    QString choiceNote;

    // Set by the card layer: called when the demodulator puts a master command
    // on the LNB cable, so that it can be traced.
    std::function<void(const QByteArray&)> diseqcTransmitted;
    // Set by the card layer: any other event worth a line in the trace.
    std::function<void(const QString&)> traceNote;
};

} // namespace hw

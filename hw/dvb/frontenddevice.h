#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <utility>

namespace dvb {

// A measurement as the kernel hands it over (DVB API v5 statistics).
enum class Scale { NotAvailable, Decibel, Relative, Counter };

struct Stat
{
    Scale scale = Scale::NotAvailable;
    qint64 value = 0; // decibel: 0.001 dB (strength 0.001 dBm); relative: 0..65535
    bool available() const { return scale != Scale::NotAvailable; }
};

// What the frontend measures now. Drivers without v5 statistics are read with
// the legacy calls instead: strength and SNR as relative, the error count and
// the uncorrected blocks as the driver's own counts.
struct Statistics
{
    Stat strength;
    Stat cnr;
    Stat preErrorBits;
    Stat preTotalBits;
    Stat errorBlocks;
    bool legacyBer = false; // preErrorBits holds the driver's raw count, no total
};

struct FrontendInfo
{
    QString name;
    bool satellite = false; // lists a satellite system (DVB-S or DVB-S2)
    bool dvbS2 = false;
    quint32 minFrequencyKHz = 0;
    quint32 maxFrequencyKHz = 0;
    quint32 minSymbolRate = 0;
    quint32 maxSymbolRate = 0;
};

// One frontend device node, /dev/dvb/adapterN/frontendM, as the back end uses
// it: every call returns 0 or a positive errno.
class FrontendDevice
{
public:
    virtual ~FrontendDevice() = default;

    virtual QString path() const = 0;
    virtual int open() = 0;
    virtual void close() = 0;
    // FE_GET_INFO: the name, the limits, and what the frontend is by the
    // legacy type and capability bits.
    virtual int info(FrontendInfo* info) = 0;
    // DTV_ENUM_DELSYS: every delivery system (the kernel's SYS_* values) the
    // frontend can be switched to, whatever it is set to now.
    virtual int deliverySystems(QVector<quint32>* systems) = 0;
    // DTV properties (command, value) in one FE_SET_PROPERTY call.
    virtual int setProperties(const QVector<std::pair<quint32, quint32>>& properties) = 0;
    virtual int getProperty(quint32 command, quint32* value) = 0;
    virtual int readStatus(quint32* status) = 0;
    virtual int statistics(Statistics* statistics) = 0;
    virtual int sendMasterCommand(const QByteArray& message) = 0;
    virtual int sendBurst(int burst) = 0; // 0 = A (tone burst), 1 = B (data burst)
    virtual int setTone(bool on) = 0;
    virtual int setVoltage(int volts) = 0; // 0 (off), 13 or 18
    virtual int enableHighVoltage(bool on) = 0;
};

} // namespace dvb

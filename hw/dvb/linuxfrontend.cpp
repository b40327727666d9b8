#include "hw/dvb/linuxfrontend.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/dvb/frontend.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace dvb {
namespace {

// One ioctl: 0 or the errno. A call a signal broke off is made again, as the
// kernel's documentation asks of callers.
template <typename Arg>
int call(int fd, unsigned long request, Arg arg)
{
    for (int tries = 0;; ++tries) {
        if (ioctl(fd, request, arg) == 0)
            return 0;
        if (errno != EINTR || tries == 4)
            return errno;
    }
}

Stat fromKernel(const dtv_fe_stats& stats)
{
    if (stats.len == 0)
        return Stat{};
    const dtv_stats& s = stats.stat[0];
    switch (s.scale) {
    case FE_SCALE_DECIBEL:
        return Stat{Scale::Decibel, s.svalue};
    case FE_SCALE_RELATIVE:
        return Stat{Scale::Relative, qint64(s.uvalue)};
    case FE_SCALE_COUNTER:
        return Stat{Scale::Counter, qint64(s.uvalue)};
    default:
        return Stat{};
    }
}

} // namespace

LinuxFrontend::LinuxFrontend(QString path, bool readOnly)
    : m_path(std::move(path)), m_readOnly(readOnly)
{
}

LinuxFrontend::~LinuxFrontend()
{
    close();
}

QStringList LinuxFrontend::devicePaths()
{
    QStringList paths;
    const QDir dvb(QStringLiteral("/dev/dvb"));
    for (const QString& adapter :
         dvb.entryList({QStringLiteral("adapter*")}, QDir::Dirs, QDir::Name)) {
        const QDir dir(dvb.filePath(adapter));
        for (const QString& frontend :
             dir.entryList({QStringLiteral("frontend*")}, QDir::System | QDir::Files, QDir::Name))
            paths.append(dir.filePath(frontend));
    }
    return paths;
}

int LinuxFrontend::open()
{
    close();
    m_sources = {};
    m_fd = ::open(QFile::encodeName(m_path).constData(),
                  (m_readOnly ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_CLOEXEC);
    return m_fd < 0 ? errno : 0;
}

void LinuxFrontend::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int LinuxFrontend::info(FrontendInfo* out)
{
    dvb_frontend_info info{};
    if (const int rc = call(m_fd, FE_GET_INFO, &info))
        return rc;
    out->name = QString::fromLatin1(info.name, int(strnlen(info.name, sizeof info.name)));
    out->satellite = info.type == FE_QPSK;
    out->dvbS2 = info.caps & FE_CAN_2G_MODULATION;
    out->minFrequencyKHz = info.frequency_min;
    out->maxFrequencyKHz = info.frequency_max;
    out->minSymbolRate = info.symbol_rate_min;
    out->maxSymbolRate = info.symbol_rate_max;
    return 0;
}

int LinuxFrontend::deliverySystems(QVector<quint32>* systems)
{
    dtv_property prop{};
    prop.cmd = DTV_ENUM_DELSYS;
    dtv_properties list{1, &prop};
    if (const int rc = call(m_fd, FE_GET_PROPERTY, &list))
        return rc;
    // Never trust the count beyond the buffer it describes.
    const quint32 count = std::min<quint32>(prop.u.buffer.len, sizeof prop.u.buffer.data);
    systems->clear();
    for (quint32 i = 0; i < count; ++i)
        systems->append(prop.u.buffer.data[i]);
    return 0;
}

int LinuxFrontend::setProperties(const QVector<std::pair<quint32, quint32>>& properties)
{
    QVector<dtv_property> props(properties.size());
    for (int i = 0; i < properties.size(); ++i) {
        std::memset(&props[i], 0, sizeof props[i]);
        props[i].cmd = properties.at(i).first;
        props[i].u.data = properties.at(i).second;
    }
    dtv_properties list{quint32(props.size()), props.data()};
    return call(m_fd, FE_SET_PROPERTY, &list);
}

int LinuxFrontend::getProperty(quint32 command, quint32* value)
{
    dtv_property prop{};
    prop.cmd = command;
    dtv_properties list{1, &prop};
    if (const int rc = call(m_fd, FE_GET_PROPERTY, &list))
        return rc;
    *value = prop.u.data;
    return 0;
}

int LinuxFrontend::readStatus(quint32* status)
{
    fe_status_t s{};
    if (const int rc = call(m_fd, FE_READ_STATUS, &s))
        return rc;
    *status = quint32(s);
    return 0;
}

int LinuxFrontend::statistics(Statistics* out)
{
    dtv_property props[5];
    std::memset(props, 0, sizeof props);
    const quint32 commands[5] = {DTV_STAT_SIGNAL_STRENGTH, DTV_STAT_CNR,
                                 DTV_STAT_PRE_ERROR_BIT_COUNT, DTV_STAT_PRE_TOTAL_BIT_COUNT,
                                 DTV_STAT_ERROR_BLOCK_COUNT};
    for (int i = 0; i < 5; ++i)
        props[i].cmd = commands[i];
    dtv_properties list{5, props};
    // A failed read is a missing reading, never a reason to ask elsewhere.
    if (const int rc = call(m_fd, FE_GET_PROPERTY, &list))
        return rc;
    // Where each figure comes from is settled by the first answer and kept:
    // a statistic the driver supports has a length (its "not available" is a
    // reading missing for now); one it does not is asked the old way.
    for (int i = 0; i < 5; ++i)
        if (m_sources[size_t(i)] == Source::Undecided)
            m_sources[size_t(i)] = props[i].u.st.len > 0 ? Source::V5 : Source::Legacy;
    Statistics s;
    Stat* const stats[5] = {&s.strength, &s.cnr, &s.preErrorBits, &s.preTotalBits, &s.errorBlocks};
    for (int i = 0; i < 5; ++i)
        if (m_sources[size_t(i)] == Source::V5)
            *stats[i] = fromKernel(props[i].u.st);
    readLegacy(&s);
    *out = s;
    return 0;
}

void LinuxFrontend::readLegacy(Statistics* s)
{
    quint16 level = 0;
    if (m_sources[0] == Source::Legacy && call(m_fd, FE_READ_SIGNAL_STRENGTH, &level) == 0)
        s->strength = Stat{Scale::Relative, level};
    if (m_sources[1] == Source::Legacy && call(m_fd, FE_READ_SNR, &level) == 0)
        s->cnr = Stat{Scale::Relative, level};
    quint32 count = 0;
    if (m_sources[2] == Source::Legacy && call(m_fd, FE_READ_BER, &count) == 0) {
        s->preErrorBits = Stat{Scale::Counter, count};
        s->legacyBer = true;
    }
    // The blocks the driver has counted since the tune: not reset by reading.
    if (m_sources[4] == Source::Legacy && call(m_fd, FE_READ_UNCORRECTED_BLOCKS, &count) == 0)
        s->errorBlocks = Stat{Scale::Counter, count};
}

int LinuxFrontend::sendMasterCommand(const QByteArray& message)
{
    if (message.isEmpty() || message.size() > 6)
        return EINVAL;
    dvb_diseqc_master_cmd cmd{};
    std::memcpy(cmd.msg, message.constData(), size_t(message.size()));
    cmd.msg_len = quint8(message.size());
    return call(m_fd, FE_DISEQC_SEND_MASTER_CMD, &cmd);
}

int LinuxFrontend::sendBurst(int burst)
{
    return call(m_fd, FE_DISEQC_SEND_BURST, burst ? SEC_MINI_B : SEC_MINI_A);
}

int LinuxFrontend::setTone(bool on)
{
    return call(m_fd, FE_SET_TONE, on ? SEC_TONE_ON : SEC_TONE_OFF);
}

int LinuxFrontend::setVoltage(int volts)
{
    const fe_sec_voltage v = volts == 13   ? SEC_VOLTAGE_13
                             : volts == 18 ? SEC_VOLTAGE_18
                                           : SEC_VOLTAGE_OFF;
    return call(m_fd, FE_SET_VOLTAGE, v);
}

int LinuxFrontend::enableHighVoltage(bool on)
{
    return call(m_fd, FE_ENABLE_HIGH_LNB_VOLTAGE, on ? 1L : 0L);
}

} // namespace dvb

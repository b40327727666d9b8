#include "emulatedkernel.h"

#include <QList>
#include <QMutexLocker>
#include <QtGlobal>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <linux/dvb/frontend.h>
#include <sys/ioctl.h>
#include <umockdev.h>

namespace {

const char* const Node = "/dev/dvb/adapter0/frontend0";

// The names the uAPI gives the properties, for the recording.
QByteArray propertyName(quint32 cmd)
{
    static const std::map<quint32, const char*> names = {
        {DTV_TUNE, "DTV_TUNE"},
        {DTV_CLEAR, "DTV_CLEAR"},
        {DTV_FREQUENCY, "DTV_FREQUENCY"},
        {DTV_MODULATION, "DTV_MODULATION"},
        {DTV_INVERSION, "DTV_INVERSION"},
        {DTV_SYMBOL_RATE, "DTV_SYMBOL_RATE"},
        {DTV_INNER_FEC, "DTV_INNER_FEC"},
        {DTV_VOLTAGE, "DTV_VOLTAGE"},
        {DTV_TONE, "DTV_TONE"},
        {DTV_PILOT, "DTV_PILOT"},
        {DTV_ROLLOFF, "DTV_ROLLOFF"},
        {DTV_DELIVERY_SYSTEM, "DTV_DELIVERY_SYSTEM"},
        {DTV_ENUM_DELSYS, "DTV_ENUM_DELSYS"},
        {DTV_STAT_SIGNAL_STRENGTH, "DTV_STAT_SIGNAL_STRENGTH"},
        {DTV_STAT_CNR, "DTV_STAT_CNR"},
        {DTV_STAT_PRE_ERROR_BIT_COUNT, "DTV_STAT_PRE_ERROR_BIT_COUNT"},
        {DTV_STAT_PRE_TOTAL_BIT_COUNT, "DTV_STAT_PRE_TOTAL_BIT_COUNT"},
        {DTV_STAT_ERROR_BLOCK_COUNT, "DTV_STAT_ERROR_BLOCK_COUNT"},
    };
    const auto it = names.find(cmd);
    return it != names.end() ? QByteArray(it->second) : QByteArray::number(cmd);
}

QByteArray requestName(unsigned long request)
{
    static const std::map<unsigned long, const char*> names = {
        {FE_GET_INFO, "FE_GET_INFO"},
        {FE_SET_PROPERTY, "FE_SET_PROPERTY"},
        {FE_GET_PROPERTY, "FE_GET_PROPERTY"},
        {FE_READ_STATUS, "FE_READ_STATUS"},
        {FE_READ_BER, "FE_READ_BER"},
        {FE_READ_SNR, "FE_READ_SNR"},
        {FE_READ_SIGNAL_STRENGTH, "FE_READ_SIGNAL_STRENGTH"},
        {FE_READ_UNCORRECTED_BLOCKS, "FE_READ_UNCORRECTED_BLOCKS"},
        {FE_SET_TONE, "FE_SET_TONE"},
        {FE_SET_VOLTAGE, "FE_SET_VOLTAGE"},
        {FE_ENABLE_HIGH_LNB_VOLTAGE, "FE_ENABLE_HIGH_LNB_VOLTAGE"},
        {FE_DISEQC_SEND_MASTER_CMD, "FE_DISEQC_SEND_MASTER_CMD"},
        {FE_DISEQC_SEND_BURST, "FE_DISEQC_SEND_BURST"},
    };
    const auto it = names.find(request);
    return it != names.end() ? QByteArray(it->second)
                             : "0x" + QByteArray::number(qulonglong(request), 16);
}

unsigned long valueArgument(UMockdevIoctlClient* client)
{
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    unsigned long value = 0;
    std::memcpy(&value, arg->data, sizeof value);
    return value;
}

void fill(dtv_fe_stats* st, fecap_scale_params scale, qint64 value)
{
    st->len = 1;
    st->stat[0].scale = scale;
    if (scale == FE_SCALE_DECIBEL)
        st->stat[0].svalue = value;
    else
        st->stat[0].uvalue = quint64(value);
}

// The property list of FE_SET_PROPERTY and FE_GET_PROPERTY, followed into the
// caller's memory: the header, then the array it points to. What the handler
// changes goes back to the caller when the call completes.
struct PropertyList
{
    UMockdevIoctlData* header = nullptr;
    UMockdevIoctlData* items = nullptr;
    dtv_property* props = nullptr;
    quint32 count = 0;

    int resolve(UMockdevIoctlClient* client)
    {
        GError* error = nullptr;
        header = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                             sizeof(dtv_properties), &error);
        if (!header)
            return EFAULT;
        count = reinterpret_cast<dtv_properties*>(header->data)->num;
        if (count == 0 || count > DTV_IOCTL_MAX_MSGS)
            return EINVAL;
        items = umockdev_ioctl_data_resolve(header, offsetof(dtv_properties, props),
                                            count * sizeof(dtv_property), &error);
        if (!items)
            return EFAULT;
        props = reinterpret_cast<dtv_property*>(items->data);
        return 0;
    }
    ~PropertyList()
    {
        if (items)
            g_object_unref(items);
        if (header)
            g_object_unref(header);
    }
};

} // namespace

EmulatedFrontend::EmulatedFrontend(const hw::Clock& clock, Config config)
    : m_clock(clock), m_config(std::move(config))
{
    if (m_config.deliverySystems.isEmpty())
        m_config.deliverySystems = {SYS_DVBS, SYS_DVBS2};
    m_testbed = umockdev_testbed_new();
    GError* error = nullptr;
    const char* device = "P: /devices/pci0000:00/dvb/dvb0.frontend0\n"
                         "N: dvb/adapter0/frontend0\n"
                         "E: DEVNAME=/dev/dvb/adapter0/frontend0\n"
                         "E: SUBSYSTEM=dvb\n"
                         "E: DVB_ADAPTER_NUM=0\n"
                         "E: DVB_DEVICE_TYPE=frontend\n"
                         "E: DVB_DEVICE_NUM=0\n"
                         "A: dev=212:3\n";
    // The adapter's demux is listed as the kernel lists it; what it delivers
    // comes from emulateddevices.cpp.
    const char* demux = "P: /devices/pci0000:00/dvb/dvb0.demux0\n"
                        "N: dvb/adapter0/demux0\n"
                        "E: DEVNAME=/dev/dvb/adapter0/demux0\n"
                        "E: SUBSYSTEM=dvb\n"
                        "E: DVB_ADAPTER_NUM=0\n"
                        "E: DVB_DEVICE_TYPE=demux\n"
                        "E: DVB_DEVICE_NUM=0\n"
                        "A: dev=212:4\n";
    if (!umockdev_testbed_add_from_string(m_testbed, device, &error) ||
        !umockdev_testbed_add_from_string(m_testbed, demux, &error))
        qFatal("emulated frontend: %s", error->message);
    m_handler = umockdev_ioctl_base_new();
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&EmulatedFrontend::handleIoctl), this);
    if (!umockdev_testbed_attach_ioctl(m_testbed, Node, m_handler, &error))
        qFatal("emulated frontend: %s", error->message);
}

EmulatedFrontend::EmulatedFrontend(const hw::Clock& clock) : EmulatedFrontend(clock, Config{}) {}

EmulatedFrontend::~EmulatedFrontend()
{
    umockdev_testbed_detach_ioctl(m_testbed, Node, nullptr);
    g_object_unref(m_handler);
    g_object_unref(m_testbed);
}

QString EmulatedFrontend::path()
{
    return QString::fromLatin1(Node);
}

bool EmulatedFrontend::preloaded()
{
    const QByteArray preload = qgetenv("LD_PRELOAD");
    return preload.contains("umockdev") && preload.contains("zenara_emulated_devices");
}

QVector<EmulatedFrontend::Call> EmulatedFrontend::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

void EmulatedFrontend::clearCalls()
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
}

void EmulatedFrontend::setSignal(const Signal& signal)
{
    QMutexLocker lock(&m_mutex);
    m_signal = signal;
}

void EmulatedFrontend::failNext(const QByteArray& ioctlName, int error, int times)
{
    QMutexLocker lock(&m_mutex);
    m_failures[ioctlName] = {error, times};
}

void EmulatedFrontend::vanish()
{
    QMutexLocker lock(&m_mutex);
    m_gone = true;
}

void EmulatedFrontend::reappear()
{
    QMutexLocker lock(&m_mutex);
    m_gone = false;
    m_tone = false; // a new device: nothing on the cable yet
    m_volts = 0;
}

bool EmulatedFrontend::toneOn() const
{
    QMutexLocker lock(&m_mutex);
    return m_tone;
}

int EmulatedFrontend::volts() const
{
    QMutexLocker lock(&m_mutex);
    return m_volts;
}

int EmulatedFrontend::handleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    auto* frontend = static_cast<EmulatedFrontend*>(self);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    QMutexLocker lock(&frontend->m_mutex);
    Call call;
    call.name = requestName(request);
    call.toneOn = frontend->m_tone;
    call.volts = frontend->m_volts;
    call.atMs = frontend->m_clock.nowMs();
    int error = 0;
    if (frontend->m_gone) {
        error = ENODEV;
    } else if (auto f = frontend->m_failures.find(call.name);
               f != frontend->m_failures.end() && f->second.second > 0) {
        error = f->second.first;
        --f->second.second;
    } else {
        error = frontend->dispatch(client, request, &call.name, &call.detail);
    }
    call.result = error;
    frontend->m_calls.append(call);
    umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    return TRUE;
}

int EmulatedFrontend::dispatch(UMockdevIoctlClient* client, unsigned long request, QByteArray* name,
                               QByteArray* detail)
{
    switch (request) {
    case FE_GET_INFO:
        return frontendInfo(client);
    case FE_SET_PROPERTY:
        return setProperties(client, detail);
    case FE_GET_PROPERTY:
        return getProperties(client, detail);
    case FE_READ_STATUS:
    case FE_READ_BER:
    case FE_READ_SNR:
    case FE_READ_SIGNAL_STRENGTH:
    case FE_READ_UNCORRECTED_BLOCKS:
        return legacyReading(client, request);
    case FE_SET_TONE:
        m_tone = valueArgument(client) == SEC_TONE_ON;
        *detail = m_tone ? "on" : "off";
        return 0;
    case FE_SET_VOLTAGE: {
        const unsigned long v = valueArgument(client);
        m_volts = v == SEC_VOLTAGE_13 ? 13 : v == SEC_VOLTAGE_18 ? 18 : 0;
        *detail = QByteArray::number(m_volts);
        return 0;
    }
    case FE_ENABLE_HIGH_LNB_VOLTAGE:
        *detail = QByteArray::number(qulonglong(valueArgument(client)));
        return 0;
    case FE_DISEQC_SEND_MASTER_CMD:
        return masterCommand(client, detail);
    case FE_DISEQC_SEND_BURST:
        *detail = valueArgument(client) == SEC_MINI_B ? "B" : "A";
        return 0;
    default:
        *name = requestName(request);
        return ENOTTY;
    }
}

int EmulatedFrontend::frontendInfo(UMockdevIoctlClient* client)
{
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                          sizeof(dvb_frontend_info), &error);
    if (!data)
        return EFAULT;
    auto* info = reinterpret_cast<dvb_frontend_info*>(data->data);
    std::memset(info, 0, sizeof *info);
    qstrncpy(info->name, m_config.name.constData(), sizeof info->name);
    info->type = fe_type(m_config.legacyType);
    // Satellite frontends give their range in kHz.
    info->frequency_min = 950000;
    info->frequency_max = 2150000;
    info->symbol_rate_min = 1000000;
    info->symbol_rate_max = 45000000;
    info->caps =
        fe_caps(FE_CAN_INVERSION_AUTO | FE_CAN_FEC_AUTO | FE_CAN_QPSK |
                (m_config.deliverySystems.contains(SYS_DVBS2) ? int(FE_CAN_2G_MODULATION) : 0));
    g_object_unref(data);
    return 0;
}

int EmulatedFrontend::setProperties(UMockdevIoctlClient* client, QByteArray* detail)
{
    PropertyList list;
    if (const int rc = list.resolve(client))
        return rc;
    const dtv_property* props = list.props;
    const quint32 count = list.count;
    QList<QByteArray> words;
    for (quint32 i = 0; i < count; ++i) {
        const quint32 cmd = props[i].cmd;
        const quint32 value = props[i].u.data;
        words.append(propertyName(cmd) + '=' + QByteArray::number(value));
        if (cmd == DTV_CLEAR)
            m_tuned.clear();
        else
            m_tuned[cmd] = value;
        // The core sets the supply and the tone as it meets them in the list.
        if (cmd == DTV_VOLTAGE)
            m_volts = value == SEC_VOLTAGE_13 ? 13 : value == SEC_VOLTAGE_18 ? 18 : 0;
        if (cmd == DTV_TONE)
            m_tone = value == SEC_TONE_ON;
    }
    *detail = words.join(' ');
    return 0;
}

bool EmulatedFrontend::v5Available() const
{
    switch (m_config.statistics) {
    case Statistics::Decibel:
    case Statistics::Relative:
        return true;
    case Statistics::LegacyOnly:
        return false;
    case Statistics::DecibelWhenLocked:
        return m_signal.locked;
    }
    return false;
}

int EmulatedFrontend::getProperties(UMockdevIoctlClient* client, QByteArray* detail)
{
    PropertyList list;
    if (const int rc = list.resolve(client))
        return rc;
    dtv_property* props = list.props;
    QList<QByteArray> words;
    const bool v5 = v5Available();
    const bool relative = m_config.statistics == Statistics::Relative;
    // A driver without v5 statistics leaves their length 0 ("not supported");
    // one that has them says "not available" while it cannot measure.
    const bool supported = m_config.statistics != Statistics::LegacyOnly;
    for (quint32 i = 0; i < list.count; ++i) {
        dtv_property& p = props[i];
        words.append(propertyName(p.cmd));
        if (p.cmd >= DTV_STAT_SIGNAL_STRENGTH && p.cmd <= DTV_STAT_TOTAL_BLOCK_COUNT &&
            !supported) {
            p.u.st.len = 0;
            continue;
        }
        switch (p.cmd) {
        case DTV_ENUM_DELSYS:
            p.u.buffer.len = quint32(m_config.deliverySystems.size());
            for (int k = 0; k < m_config.deliverySystems.size(); ++k)
                p.u.buffer.data[k] = quint8(m_config.deliverySystems.at(k));
            break;
        case DTV_STAT_SIGNAL_STRENGTH:
            if (!v5)
                fill(&p.u.st, FE_SCALE_NOT_AVAILABLE, 0);
            else if (relative)
                fill(&p.u.st, FE_SCALE_RELATIVE,
                     qBound(0.0, (m_signal.strengthDbm + 85) / 60 * 65535, 65535.0));
            else
                fill(&p.u.st, FE_SCALE_DECIBEL, qint64(m_signal.strengthDbm * 1000));
            break;
        case DTV_STAT_CNR:
            if (!v5)
                fill(&p.u.st, FE_SCALE_NOT_AVAILABLE, 0);
            else if (relative)
                fill(&p.u.st, FE_SCALE_RELATIVE, qBound(0.0, m_signal.cnDb / 20 * 65535, 65535.0));
            else
                fill(&p.u.st, FE_SCALE_DECIBEL, qint64(std::lround(m_signal.cnDb * 1000)));
            break;
        case DTV_STAT_PRE_ERROR_BIT_COUNT:
        case DTV_STAT_PRE_TOTAL_BIT_COUNT:
        case DTV_STAT_ERROR_BLOCK_COUNT: {
            const quint64 value = p.cmd == DTV_STAT_PRE_ERROR_BIT_COUNT   ? m_signal.errorBits
                                  : p.cmd == DTV_STAT_PRE_TOTAL_BIT_COUNT ? m_signal.totalBits
                                                                          : m_signal.errorBlocks;
            fill(&p.u.st, v5 && m_signal.locked ? FE_SCALE_COUNTER : FE_SCALE_NOT_AVAILABLE,
                 qint64(value));
            break;
        }
        case DTV_DELIVERY_SYSTEM:
        case DTV_MODULATION:
        case DTV_INNER_FEC:
        case DTV_PILOT:
        case DTV_ROLLOFF: {
            // After a lock the driver gives what it found; else what was asked.
            const quint32 found = p.cmd == DTV_DELIVERY_SYSTEM ? m_signal.system
                                  : p.cmd == DTV_MODULATION    ? m_signal.modulation
                                  : p.cmd == DTV_INNER_FEC     ? m_signal.innerFec
                                  : p.cmd == DTV_PILOT         ? m_signal.pilot
                                                               : 0;
            const auto asked = m_tuned.find(p.cmd);
            p.u.data = m_signal.locked && found ? found
                       : asked != m_tuned.end() ? asked->second
                                                : 0;
            break;
        }
        default:
            p.u.data = 0;
            break;
        }
    }
    *detail = words.join(' ');
    return 0;
}

int EmulatedFrontend::legacyReading(UMockdevIoctlClient* client, unsigned long request)
{
    const size_t size = request == FE_READ_SNR || request == FE_READ_SIGNAL_STRENGTH ? 2 : 4;
    GError* error = nullptr;
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error);
    if (!data)
        return EFAULT;
    quint32 value = 0;
    switch (request) {
    case FE_READ_STATUS:
        value = m_signal.locked
                    ? FE_HAS_SIGNAL | FE_HAS_CARRIER | FE_HAS_VITERBI | FE_HAS_SYNC | FE_HAS_LOCK
                    : FE_HAS_SIGNAL;
        break;
    case FE_READ_SNR: // a driver's own relative scale
        value = quint32(qBound(0.0, m_signal.cnDb / 20 * 65535, 65535.0));
        break;
    case FE_READ_SIGNAL_STRENGTH:
        value = quint32(qBound(0.0, (m_signal.strengthDbm + 85) / 60 * 65535, 65535.0));
        break;
    case FE_READ_BER: // errors per 10^7 bits over the driver's own window
        value = m_signal.totalBits
                    ? quint32(1e7 * double(m_signal.errorBits) / double(m_signal.totalBits))
                    : 0;
        break;
    case FE_READ_UNCORRECTED_BLOCKS: // counted since the tune, never reset by a read
        value = quint32(m_signal.errorBlocks);
        break;
    }
    if (size == 2) {
        const quint16 v = quint16(value);
        std::memcpy(data->data, &v, 2);
    } else {
        std::memcpy(data->data, &value, 4);
    }
    g_object_unref(data);
    return 0;
}

int EmulatedFrontend::masterCommand(UMockdevIoctlClient* client, QByteArray* detail)
{
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                          sizeof(dvb_diseqc_master_cmd), &error);
    if (!data)
        return EFAULT;
    const auto* cmd = reinterpret_cast<dvb_diseqc_master_cmd*>(data->data);
    const int length = cmd->msg_len;
    if (length < 3 || length > 6) {
        g_object_unref(data);
        return EINVAL;
    }
    *detail = QByteArray(reinterpret_cast<const char*>(cmd->msg), length).toHex(' ').toUpper();
    g_object_unref(data);
    return 0;
}

#include "hw/dvb/fakefrontend.h"

#include <QFileInfo>
#include <QSettings>

#include <cerrno>

namespace dvb {

FakeFrontend::FakeFrontend()
{
    frontendInfo.name = QStringLiteral("Philips TDA10086 DVB-S");
    frontendInfo.satellite = true;
    frontendInfo.minFrequencyKHz = 950000;
    frontendInfo.maxFrequencyKHz = 2150000;
    frontendInfo.minSymbolRate = 1000000;
    frontendInfo.maxSymbolRate = 45000000;
}

namespace {

bool parseStat(const QString& text, Stat* stat)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("none")) {
        *stat = Stat{};
        return true;
    }
    const int colon = t.indexOf(QLatin1Char(':'));
    bool ok = false;
    const qint64 value = t.mid(colon + 1).toLongLong(&ok);
    if (colon < 0 || !ok)
        return false;
    const QString scale = t.left(colon);
    if (scale == QLatin1String("relative"))
        *stat = Stat{Scale::Relative, value};
    else if (scale == QLatin1String("decibel"))
        *stat = Stat{Scale::Decibel, value};
    else if (scale == QLatin1String("counter"))
        *stat = Stat{Scale::Counter, value};
    else
        return false;
    return true;
}

using Names = QMap<QString, quint32>;

// The kernel's values by the names a script uses (linux/dvb/frontend.h).
const Names& systemNames()
{
    static const Names names = {{"DVBC", 1},  {"DVBT", 3},   {"DSS", 4},   {"DVBS", 5},
                                {"DVBS2", 6}, {"ISDBT", 8},  {"ISDBS", 9}, {"ATSC", 11},
                                {"DTMB", 13}, {"DVBT2", 16}, {"TURBO", 17}};
    return names;
}

// A key whose value names one of the kernel's values; absent keeps *value.
bool namedValue(const QSettings& ini, const QString& key, const Names& names, quint32* value,
                QString* problem)
{
    const QVariant setting = ini.value(key);
    if (!setting.isValid())
        return true;
    const QString text = setting.toString().trimmed().toUpper();
    if (!names.contains(text)) {
        *problem = QStringLiteral("%1 takes %2, not \"%3\"")
                       .arg(key, names.keys().join(QLatin1String(", ")), setting.toString());
        return false;
    }
    *value = names.value(text);
    return true;
}

} // namespace

bool FakeFrontend::loadCarrier(const QSettings& ini, QString* problem)
{
    const QStringList systems = ini.value(QStringLiteral("frontend/delsys")).toStringList();
    for (const QString& name : systems) {
        const QString text = name.trimmed().toUpper();
        if (!systemNames().contains(text)) {
            *problem = QStringLiteral("frontend/delsys takes %1, not \"%2\"")
                           .arg(systemNames().keys().join(QLatin1String(", ")), name);
            return false;
        }
        delsys.append(systemNames().value(text));
    }
    static const Names modulations = {
        {"QPSK", 0}, {"8PSK", 9}, {"16APSK", 10}, {"32APSK", 11}, {"AUTO", 6}};
    static const Names rates = {{"NONE", 0}, {"1/2", 1},   {"2/3", 2}, {"3/4", 3}, {"4/5", 4},
                                {"5/6", 5},  {"6/7", 6},   {"7/8", 7}, {"8/9", 8}, {"AUTO", 9},
                                {"3/5", 10}, {"9/10", 11}, {"2/5", 12}};
    static const Names pilots = {{"ON", 0}, {"OFF", 1}, {"AUTO", 2}};
    static const Names rollOffs = {{"35", 0}, {"20", 1}, {"25", 2}, {"AUTO", 3}};
    return namedValue(ini, QStringLiteral("reception/system"), systemNames(), &system, problem) &&
           namedValue(ini, QStringLiteral("reception/modulation"), modulations, &modulation,
                      problem) &&
           namedValue(ini, QStringLiteral("reception/fec"), rates, &innerFec, problem) &&
           namedValue(ini, QStringLiteral("reception/pilot"), pilots, &pilot, problem) &&
           namedValue(ini, QStringLiteral("reception/rolloff"), rollOffs, &rollOff, problem);
}

bool FakeFrontend::loadScript(const QString& path, QString* error)
{
    if (!QFileInfo(path).isReadable()) {
        *error = QStringLiteral("Cannot read the fake frontend's script %1").arg(path);
        return false;
    }
    QSettings ini(path, QSettings::IniFormat);
    frontendInfo.name = ini.value(QStringLiteral("frontend/name"), frontendInfo.name).toString();
    frontendInfo.satellite = ini.value(QStringLiteral("frontend/satellite"), true).toBool();
    const QString open =
        ini.value(QStringLiteral("frontend/open"), QStringLiteral("ok")).toString();
    static const QMap<QString, int> openErrors = {{QStringLiteral("ok"), 0},
                                                  {QStringLiteral("busy"), EBUSY},
                                                  {QStringLiteral("denied"), EACCES},
                                                  {QStringLiteral("missing"), ENOENT}};
    if (!openErrors.contains(open)) {
        *error = QStringLiteral("%1: frontend/open takes ok, busy, denied or missing, not \"%2\"")
                     .arg(path, open);
        return false;
    }
    openError = openErrors.value(open);
    bool ok = true;
    status = ini.value(QStringLiteral("reception/status"), QStringLiteral("0x1F"))
                 .toString()
                 .toUInt(&ok, 0);
    const struct
    {
        const char* key;
        Stat* stat;
    } stats_[] = {{"reception/strength", &stats.strength},
                  {"reception/cnr", &stats.cnr},
                  {"reception/errors", &stats.preErrorBits},
                  {"reception/bits", &stats.preTotalBits},
                  {"reception/blocks", &stats.errorBlocks}};
    for (const auto& s : stats_) {
        const QString text = ini.value(QLatin1String(s.key)).toString();
        if (!parseStat(text, s.stat)) {
            *error =
                QStringLiteral("%1: %2 takes relative:N, decibel:N, counter:N or none, not \"%3\"")
                    .arg(path, QLatin1String(s.key), text);
            return false;
        }
    }
    QString problem;
    if (!loadCarrier(ini, &problem)) {
        *error = QStringLiteral("%1: %2").arg(path, problem);
        return false;
    }
    ini.beginGroup(QStringLiteral("fail"));
    for (const QString& call : ini.childKeys()) {
        if (call == QLatin1String("vanish"))
            vanishAfterCalls = ini.value(call).toInt();
        else if (call == QLatin1String("vanish-on"))
            vanishOnFile = ini.value(call).toString();
        else
            failures.insert(call, ini.value(call).toInt());
    }
    ini.endGroup();
    m_path = QStringLiteral("fake frontend %1").arg(path);
    return ok;
}

int FakeFrontend::call(const QString& name, const QString& details)
{
    calls.append(details.isEmpty() ? name : name + QLatin1Char(' ') + details);
    return failure(name);
}

int FakeFrontend::failure(const QString& name)
{
    ++m_callCount;
    if ((vanishAfterCalls >= 0 && m_callCount > vanishAfterCalls) ||
        (!vanishOnFile.isEmpty() && QFileInfo::exists(vanishOnFile)))
        return ENODEV;
    return failures.value(name, 0);
}

int FakeFrontend::open()
{
    if (const int rc = call(QStringLiteral("open")))
        return rc;
    if (openError)
        return openError;
    isOpen = true;
    return 0;
}

void FakeFrontend::close()
{
    call(QStringLiteral("close"));
    isOpen = false;
}

int FakeFrontend::info(FrontendInfo* info)
{
    if (const int rc = call(QStringLiteral("FE_GET_INFO")))
        return rc;
    *info = frontendInfo;
    return 0;
}

int FakeFrontend::deliverySystems(QVector<quint32>* systems)
{
    if (const int rc = call(QStringLiteral("FE_GET_PROPERTY"), QStringLiteral("44")))
        return rc;
    if (const int rc = failures.value(QStringLiteral("DTV_ENUM_DELSYS"), 0))
        return rc;
    if (!delsys.isEmpty())
        *systems = delsys;
    else if (frontendInfo.satellite)
        *systems = frontendInfo.dvbS2 ? QVector<quint32>{5, 6} : QVector<quint32>{5};
    else
        *systems = {3};
    return 0;
}

int FakeFrontend::setProperties(const QVector<std::pair<quint32, quint32>>& properties)
{
    propertySets.append(properties);
    QStringList list;
    for (const auto& p : properties)
        list.append(QStringLiteral("%1=%2").arg(p.first).arg(p.second));
    return call(QStringLiteral("FE_SET_PROPERTY"), list.join(QLatin1Char(' ')));
}

int FakeFrontend::getProperty(quint32 command, quint32* value)
{
    if (const int rc = call(QStringLiteral("FE_GET_PROPERTY"), QString::number(command)))
        return rc;
    switch (command) {
    case 4: // DTV_MODULATION
        *value = modulation;
        break;
    case 9: // DTV_INNER_FEC
        *value = innerFec;
        break;
    case 12: // DTV_PILOT
        *value = pilot;
        break;
    case 13: // DTV_ROLLOFF
        *value = rollOff;
        break;
    case 17: // DTV_DELIVERY_SYSTEM
        *value = system;
        break;
    default:
        *value = 0;
    }
    return 0;
}

int FakeFrontend::readStatus(quint32* value)
{
    if (const int rc = failure(QStringLiteral("FE_READ_STATUS")))
        return rc; // polled four times a second: not logged
    *value = status;
    return 0;
}

int FakeFrontend::statistics(Statistics* value)
{
    if (const int rc = failure(QStringLiteral("FE_GET_PROPERTY")))
        return rc;
    *value = stats;
    return 0;
}

int FakeFrontend::sendMasterCommand(const QByteArray& message)
{
    return call(QStringLiteral("FE_DISEQC_SEND_MASTER_CMD"),
                QString::fromLatin1(message.toHex(' ').toUpper()));
}

int FakeFrontend::sendBurst(int burst)
{
    return call(QStringLiteral("FE_DISEQC_SEND_BURST"),
                burst ? QStringLiteral("B") : QStringLiteral("A"));
}

int FakeFrontend::setTone(bool on)
{
    return call(QStringLiteral("FE_SET_TONE"), on ? QStringLiteral("on") : QStringLiteral("off"));
}

int FakeFrontend::setVoltage(int volts)
{
    return call(QStringLiteral("FE_SET_VOLTAGE"), QString::number(volts));
}

int FakeFrontend::enableHighVoltage(bool on)
{
    return call(QStringLiteral("FE_ENABLE_HIGH_LNB_VOLTAGE"),
                on ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace dvb

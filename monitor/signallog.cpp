#include "monitor/signallog.h"

#include "settings/safefile.h"

#include <QFileInfo>

namespace {

// A field as CSV: quoted when it holds a comma, a quote or a line break.
QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString number(bool valid, double value, int decimals)
{
    return valid ? QString::number(value, 'f', decimals) : QString();
}

// The header of an existing log; read only from a plain file.
QByteArray firstLine(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readLine(4096).trimmed();
}

} // namespace

const char* const SignalLog::Header = "time,frequency_mhz,polarisation,symbol_rate_ks,flags,locked,"
                                      "agc_percent,snr_percent,ber,ucb_total,marker,system,modcod";
const char* const SignalLog::HeaderWithoutModcod =
    "time,frequency_mhz,polarisation,symbol_rate_ks,flags,locked,agc_percent,snr_percent,ber,"
    "ucb_total,marker";

bool SignalLog::open(const QString& path, QString* error)
{
    m_file.close();
    m_path = path;
    const bool fresh = !QFileInfo::exists(path) || QFileInfo(path).size() == 0;
    // Never blocks: a FIFO without a reader would hold start-up for good.
    if (!safefile::openForWriting(&m_file, path, QIODevice::Append | QIODevice::Text, error))
        return false;
    m_withModcod = fresh || firstLine(path) != HeaderWithoutModcod;
    if (fresh && (m_file.write(Header) < 0 || m_file.write("\n") < 0 || !m_file.flush())) {
        *error = m_file.errorString();
        m_file.close();
        return false;
    }
    return true;
}

QString SignalLog::line(const Entry& e, bool withModcod)
{
    QStringList fields = {
        e.when.toString(Qt::ISODateWithMs),
        QString::number(e.frequencyMHz),
        e.horizontal ? QStringLiteral("H") : QStringLiteral("V"),
        QString::number(e.symbolRateKs),
        e.flagsValid ? QStringLiteral("0x%1").arg(e.flags, 2, 16, QLatin1Char('0')) : QString(),
        e.locked ? QStringLiteral("1") : QStringLiteral("0"),
        number(e.agcValid, e.agcPercent, 1),
        number(e.snrValid, e.snrPercent, 1),
        e.berValid ? QString::number(e.ber, 'e', 2) : QString(),
        QString::number(e.ucbTotal, 'f', 0),
        csvField(e.marker),
    };
    if (withModcod)
        fields << e.system << e.modcod;
    return fields.join(QLatin1Char(','));
}

bool SignalLog::write(const Entry& entry)
{
    if (!m_file.isOpen())
        return false;
    const QByteArray text = (line(entry, m_withModcod) + QLatin1Char('\n')).toUtf8();
    if (m_file.write(text) != text.size() || !m_file.flush()) {
        m_file.close();
        return false;
    }
    return true;
}

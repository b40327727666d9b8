#include "hw/cardtrace.h"

#include "settings/safefile.h"

namespace hw {

bool CardTrace::open(const QString& path, QString* error)
{
    QString why;
    if (!safefile::openForWriting(&m_file, path, QIODevice::Truncate | QIODevice::Text, &why)) {
        if (error)
            *error = why;
        return false;
    }
    return true;
}

void CardTrace::write(qint64 nowMs, const QString& event)
{
    if (!m_file.isOpen())
        return;
    const QByteArray line =
        QString::number(nowMs - m_origin).toLatin1() + ' ' + event.toLatin1() + '\n';
    m_file.write(line);
    m_file.flush();
}

QString CardTrace::hexBytes(const quint8* data, int length)
{
    QString text;
    for (int i = 0; i < length; ++i) {
        if (i)
            text += QLatin1Char(' ');
        text += QString::asprintf("%02X", data[i]);
    }
    return text;
}

} // namespace hw

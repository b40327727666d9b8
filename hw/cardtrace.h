#pragma once

#include <QFile>
#include <QString>
#include <QtGlobal>

namespace hw {

// One line per card event, flushed as written, so that what the program does to
// the card can be followed from outside while it runs:
//   <ms> RD <dev> <reg> <value>   /  <ms> RD <dev> <reg> ERR <code>
//   <ms> WR <dev> <byte>... [ERR <code>]
//   <ms> DISEQC <byte>...
//   <ms> FE_DISEQC <byte>... BURST <n>
//   <ms> FE_CHANNEL freq=<kHz> mode=<n> sr=<sym/s> lof=<kHz> hi=<0|1> volt=<0|13|18>
//   <ms> FE_CHANNEL2 (the same) sys=S|S2 [mod=<name> fec=<n/d> rolloff=<%> pilot=on|off|auto]
//   <ms> OPEN | INIT | CLOSE
// <ms> counts from the moment the card was opened; bytes are two upper-case hex digits.
class CardTrace
{
public:
    bool open(const QString& path, QString* error);
    void setOrigin(qint64 nowMs) { m_origin = nowMs; }
    void write(qint64 nowMs, const QString& event);

    static QString hexBytes(const quint8* data, int length);

private:
    QFile m_file;
    qint64 m_origin = 0;
};

} // namespace hw

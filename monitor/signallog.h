#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

// The signal as a CSV file, one line per poll, for plotting later: appended to,
// with a header when the file is new, flushed line by line. A write that fails
// stops the log; the caller says so once.
class SignalLog
{
public:
    struct Entry
    {
        QDateTime when;
        int frequencyMHz = 0;
        bool horizontal = true;
        int symbolRateKs = 0;
        bool flagsValid = false;
        quint8 flags = 0;
        bool locked = false;
        bool agcValid = false;
        double agcPercent = 0;
        bool snrValid = false;
        double snrPercent = 0;
        bool berValid = false;
        double ber = 0;
        double ucbTotal = 0;
        QString marker; // markers added since the last line, "; "-separated
        QString system; // "DVB-S", "DVB-S2": what was tuned
        QString modcod; // "3/4", "8PSK 3/4": what the lock is; empty before
    };

    static const char* const Header;
    // The header of logs written before the system and modcod were logged:
    // such a file is continued in its own columns.
    static const char* const HeaderWithoutModcod;

    // False with *error when the file cannot be opened for appending.
    bool open(const QString& path, QString* error);
    // False when the line could not be written; the log is closed then.
    bool write(const Entry& entry);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }

    static QString line(const Entry& entry, bool withModcod = true);

private:
    QFile m_file;
    bool m_withModcod = true;
    QString m_path;
};

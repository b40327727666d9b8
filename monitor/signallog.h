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
    };

    static const char* const Header;

    // False with *error when the file cannot be opened for appending.
    bool open(const QString& path, QString* error);
    // False when the line could not be written; the log is closed then.
    bool write(const Entry& entry);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }

    static QString line(const Entry& entry);

private:
    QFile m_file;
    QString m_path;
};

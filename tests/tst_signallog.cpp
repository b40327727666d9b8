// The signal log: a CSV line per poll, a header only for a new file, markers
// quoted when they hold commas, and a failed write that stops the log.

#include "monitor/signallog.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

class TestSignalLog : public QObject
{
    Q_OBJECT

private slots:
    void linesAndHeader();
    void failuresStopTheLog();
};

namespace {

QStringList lines(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

void TestSignalLog::linesAndHeader()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dish.csv"));
    SignalLog::Entry e;
    e.when = QDateTime(QDate(2026, 12, 7), QTime(17, 30, 0, 250), Qt::UTC);
    e.frequencyMHz = 11977;
    e.horizontal = true;
    e.symbolRateKs = 27500;
    e.flagsValid = true;
    e.flags = 0x1F;
    e.locked = true;
    e.agcValid = true;
    e.agcPercent = 72.94;
    e.snrValid = true;
    e.snrPercent = 69.8;
    e.berValid = true;
    e.ber = 1.5e-6;
    e.ucbTotal = 3;
    e.marker = QStringLiteral("11977, H, 27500");
    e.system = QStringLiteral("DVB-S2");
    e.modcod = QStringLiteral("8PSK 3/4");
    {
        SignalLog log;
        QString error;
        QVERIFY2(log.open(path, &error), qPrintable(error));
        QVERIFY(log.write(e));
    }
    QCOMPARE(lines(path),
             QStringList({"time,frequency_mhz,polarisation,symbol_rate_ks,flags,locked,agc_percent,"
                          "snr_percent,ber,ucb_total,marker,system,modcod",
                          "2026-12-07T17:30:00.250Z,11977,H,27500,0x1f,1,72.9,69.8,1.50e-06,3,"
                          "\"11977, H, 27500\",DVB-S2,8PSK 3/4"}));
    // Opened again, it appends, without a second header; missing readings stay empty.
    SignalLog::Entry missing;
    missing.when = e.when;
    missing.frequencyMHz = 10719;
    missing.horizontal = false;
    missing.symbolRateKs = 27500;
    missing.marker = QStringLiteral("say \"hi\"");
    {
        SignalLog log;
        QString error;
        QVERIFY(log.open(path, &error));
        QVERIFY(log.write(missing));
    }
    const QStringList all = lines(path);
    QCOMPARE(all.size(), 3);
    QCOMPARE(all.at(2),
             QStringLiteral("2026-12-07T17:30:00.250Z,10719,V,27500,,0,,,,0,\"say \"\"hi\"\"\",,"));

    // A log begun before the system was logged goes on in its own columns.
    const QString old = dir.filePath(QStringLiteral("old.csv"));
    QFile file(old);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(SignalLog::HeaderWithoutModcod) + "\n");
    file.close();
    {
        SignalLog log;
        QString error;
        QVERIFY(log.open(old, &error));
        QVERIFY(log.write(e));
    }
    QCOMPARE(lines(old).value(1).count(QLatin1Char(',')),
             QString::fromLatin1(SignalLog::HeaderWithoutModcod).count(QLatin1Char(',')) + 2);
}

void TestSignalLog::failuresStopTheLog()
{
    QTemporaryDir dir;
    SignalLog log;
    QString error;
    // A folder where the file should be.
    QVERIFY(!log.open(dir.path(), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!log.write(SignalLog::Entry{}));
    // A pipe nobody reads, or a device: refused at once (opening a pipe for
    // writing would wait for a reader for good), saying what it is.
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QVERIFY(!log.open(pipe, &error));
    QCOMPARE(error, QStringLiteral("it is a pipe (FIFO), not a file"));
    QVERIFY(!log.open(QStringLiteral("/dev/null"), &error));
    QVERIFY(error.startsWith(QLatin1String("it is a device")));
    // A full disk (a file size limit stands in for it): the write fails, the
    // log closes, later writes are refused.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved = {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    QVERIFY(log.open(dir.filePath(QStringLiteral("log.csv")), &error));
    bool failed = false;
    for (int i = 0; i < 1000 && !failed; ++i)
        failed = !log.write(SignalLog::Entry{});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QVERIFY(failed);
    QVERIFY(!log.isOpen());
    QVERIFY(!log.write(SignalLog::Entry{}));
}

QTEST_GUILESS_MAIN(TestSignalLog)
#include "tst_signallog.moc"

// The figures the README gives are measured here, as a user would meet them,
// so that the README cannot drift from the program: the window's smallest size
// in a 9- and an 11-point font, and the levels at the first lock of the walk
// from nothing to a lock. A failure prints what was measured.

#include "app/messages.h"
#include "forms/zenaraform.h"
#include "hw/cardlibrary.h"
#include "hw/demodulatoraccess.h"
#include "hw/tuning.h"
#include "monitor/statuspoll.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"
#include "sim/sky.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {

QString readme()
{
    QFile file(QStringLiteral(ZENARA_SOURCE_DIR "/README.md"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no README");
    // Sentences run over line ends: read them as one line.
    return QString::fromUtf8(file.readAll()).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// The numbers the README's sentence holds, in order.
QList<int> figures(const QString& pattern)
{
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(readme());
    QList<int> numbers;
    for (int i = 1; i <= m.lastCapturedIndex(); ++i)
        numbers.append(m.captured(i).toInt());
    return numbers;
}

} // namespace

class TestReadme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void smallestWindow();
    void levelsAtTheFirstLock();
};

void TestReadme::smallestWindow()
{
    const QList<int> said = figures(QStringLiteral(
        "smallest size \\((\\d+) x (\\d+) with a 9-point font, about (\\d+) x (\\d+) with an "
        "11-point one\\)"));
    QCOMPARE(said.size(), 4);
    sim::SimFaults none;
    hw::ManualClock clock;
    hw::CardLayer::install(
        std::make_unique<sim::SimCard>(clock, std::make_unique<sim::FixedScene>(), none), &clock);
    messages::setHook([](QMessageBox::Icon, const QString&, const QString&) {});
    QList<int> measured;
    for (int points : {9, 11}) {
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), points));
        zenaraForm window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        measured << window.minimumSize().width() << window.minimumSize().height();
    }
    hw::CardLayer::uninstall();
    for (int i = 0; i < 4; ++i)
        QVERIFY2(std::abs(measured.at(i) - said.at(i)) <= 3,
                 qPrintable(QStringLiteral("measured %1 x %2 and %3 x %4")
                                .arg(measured.at(0))
                                .arg(measured.at(1))
                                .arg(measured.at(2))
                                .arg(measured.at(3))));
}

void TestReadme::levelsAtTheFirstLock()
{
    const QList<int> said = figures(QStringLiteral("AGC and SNR read about (\\d+) % and (\\d+) %"));
    QCOMPARE(said.size(), 2);
    // The simulated installation as it starts, under the shipped sky.
    hw::ManualClock clock;
    sim::SimConfig config;
    sim::Sky sky = sim::Sky::fromFiles(QStringLiteral(ZENARA_SOURCE_DIR "/data/satlist.znr"),
                                       QStringLiteral(ZENARA_SOURCE_DIR "/data/Transponders/"),
                                       config.eirpDbw);
    hw::CardLayer::install(
        std::make_unique<sim::SimCard>(
            clock, std::make_unique<sim::PhysicalScene>(clock, config, std::move(sky))),
        &clock);
    CDVBFrontend frontend;
    QVERIFY(CDVBCommon::OpenDevice(0, nullptr, 0) != 0 && frontend.Init() == DVB_ERR_NONE &&
            locateBusRoutines() == 0);
    DemodulatorAccess access;
    // Step 3 of the walk: 11977 H 27500 on the universal LNB, then the polls.
    tuning::ReceiverFlags flags;
    tuning::Tuner tuner(frontend, access, clock);
    tuning::Request r;
    r.frequency = QStringLiteral("11977");
    r.symbolRate = QStringLiteral("27500");
    r.lof1 = QStringLiteral("9750");
    r.lof2 = QStringLiteral("10600");
    r.switchFrequency = QStringLiteral("11700");
    QCOMPARE(tuner.tune(r, flags).status, 0);
    access.lnbp21_write_byte(tuning::lnbp21Byte(true, true, false, false));
    StatusPoll poll(access, clock, flags);
    double agc = 0, snr = 0;
    int locked = 0;
    for (int i = 0; i < 16; ++i) {
        const qint64 start = clock.nowMs();
        const PollReading reading = poll.poll();
        if (i >= 8) { // within a second it has locked; the next two seconds count
            locked += reading.locked;
            agc += reading.agcPercent / 8;
            snr += reading.snrPercent / 8;
        }
        clock.advance(StatusPoll::IntervalMs - (clock.nowMs() - start));
    }
    CDVBCommon::CloseDevice();
    hw::CardLayer::uninstall();
    QCOMPARE(locked, 8);
    QVERIFY2(std::abs(agc - said.at(0)) <= 1.0 && std::abs(snr - said.at(1)) <= 1.0,
             qPrintable(QStringLiteral("measured AGC %1 %, SNR %2 %").arg(agc).arg(snr)));
}

QTEST_MAIN(TestReadme)
#include "tst_readme.moc"

// The acoustic signal rendered offline: the tone's pitch for AGC levels, the
// lock sound, pause and volume, and a missing lock sound.

#include "monitor/sound.h"

#include <QtTest>

#include <climits>

#include <vector>

namespace {

std::vector<float> render(sound::Signaliser& s, int frames = sound::System::OutputRate)
{
    std::vector<float> out(size_t(frames), 0.0f);
    s.system()->render(out.data(), frames);
    return out;
}

int zeroCrossings(const std::vector<float>& samples)
{
    int count = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++count;
    return count;
}

float peak(const std::vector<float>& samples)
{
    float p = 0;
    for (float v : samples)
        p = std::max(p, std::abs(v));
    return p;
}

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void toneFrequency_data();
    void toneFrequency();
    void pitchFollowsTheAgc_data();
    void pitchFollowsTheAgc();
    void lockSoundWhileLocked();
    void pauseAndVolume();
    void missingLockSoundKeepsTheTone();
    void loudMixesClipInsteadOfWrapping();
};

void TestSound::toneFrequency_data()
{
    QTest::addColumn<double>("agc");
    QTest::addColumn<int>("minHz");
    QTest::addColumn<int>("maxHz");
    QTest::addColumn<int>("scaleMin");
    QTest::addColumn<int>("scaleMax");
    QTest::addColumn<float>("value");
    QTest::newRow("at the scale minimum") << 50.0 << 50 << 1000 << 50 << 70 << 5000.0f;
    QTest::newRow("below it") << 20.0 << 50 << 1000 << 50 << 70 << 5000.0f;
    QTest::newRow("60 %") << 60.0 << 50 << 1000 << 50 << 70 << 52000.0f;
    QTest::newRow("70 %") << 70.0 << 50 << 1000 << 50 << 70 << 99000.0f;
    QTest::newRow("above: keeps rising") << 80.0 << 50 << 1000 << 50 << 70 << 146000.0f;
    QTest::newRow("integer ratio") << 60.0 << 50 << 100 << 50 << 70 << 7000.0f; // k = 2
    QTest::newRow("span below scale") << 65.0 << 50 << 60 << 50 << 70 << 5000.0f;
    QTest::newRow("equal bounds") << 90.0 << 50 << 1000 << 60 << 60 << 5000.0f;
    QTest::newRow("inverted scale") << 90.0 << 50 << 1000 << 70 << 50 << 5000.0f;
    // Settings can hold any integer: no overflow, whatever they say.
    QTest::newRow("widest scale") << 100.0 << 0 << INT_MAX << INT_MIN << INT_MAX << 0.0f;
    QTest::newRow("steepest rise") << 100.0 << 0 << INT_MAX << 0 << 1 << 6543600.0f; // 16 bits kept
    QTest::newRow("highest minimum") << 0.0 << INT_MAX << INT_MAX << 50 << 70 << 214748364700.0f;
    QTest::newRow("lowest minimum") << 60.0 << INT_MIN << INT_MAX << 50 << 70 << -214741812000.0f;
}

void TestSound::toneFrequency()
{
    QFETCH(double, agc);
    QFETCH(int, minHz);
    QFETCH(int, maxHz);
    QFETCH(int, scaleMin);
    QFETCH(int, scaleMax);
    QFETCH(float, value);
    QCOMPARE(sound::toneFrequency(agc, minHz, maxHz, scaleMin, scaleMax), value);
}

void TestSound::pitchFollowsTheAgc_data()
{
    QTest::addColumn<double>("agc");
    QTest::addColumn<int>("hz");
    QTest::newRow("50 %: 50 Hz") << 50.0 << 50;
    QTest::newRow("60 %: 520 Hz") << 60.0 << 520;
    QTest::newRow("70 %: 990 Hz") << 70.0 << 990;
}

void TestSound::pitchFollowsTheAgc()
{
    QFETCH(double, agc);
    QFETCH(int, hz);
    sound::Signaliser s;
    const sound::ToneSettings settings;
    QVERIFY(s.init(QStringLiteral(ZENARA_LOCK_WAV), settings, true).isEmpty());
    QVERIFY(s.available());
    s.tick(false, agc, settings, true);
    // One second of output crosses zero twice per period.
    const int crossings = zeroCrossings(render(s));
    QVERIFY2(std::abs(crossings - 2 * hz) <= 2, qPrintable(QString::number(crossings)));
}

void TestSound::lockSoundWhileLocked()
{
    sound::Signaliser s;
    sound::ToneSettings settings;
    QVERIFY(s.init(QStringLiteral(ZENARA_LOCK_WAV), settings, true).isEmpty());
    QVERIFY(s.lockChannel());
    QVERIFY(s.lockChannel()->paused() && s.toneChannel()->paused()); // silent at first
    QCOMPARE(peak(render(s)), 0.0f);

    s.tick(true, 40, settings, true);
    QVERIFY(!s.lockChannel()->paused());
    s.toneChannel()->setPaused(true);
    QVERIFY(peak(render(s, 4000)) > 0.05f); // the chime alone
    s.tick(false, 40, settings, true);
    QVERIFY(s.lockChannel()->paused());

    // With the check box off the tick does nothing.
    s.setEnabled(false);
    s.tick(true, 40, settings, false);
    QVERIFY(s.lockChannel()->paused());
}

void TestSound::pauseAndVolume()
{
    sound::Signaliser s;
    sound::ToneSettings settings;
    QVERIFY(s.init(QStringLiteral(ZENARA_LOCK_WAV), settings, true).isEmpty());
    s.tick(true, 60, settings, true);
    QVERIFY(peak(render(s, 2000)) > 0.4f); // both playing at 50 %

    s.setEnabled(false);
    QVERIFY(s.toneChannel()->paused() && s.lockChannel()->paused());
    QCOMPARE(peak(render(s, 2000)), 0.0f);

    s.setEnabled(true); // the tone at once, the lock sound with the next tick
    QVERIFY(!s.toneChannel()->paused());
    QVERIFY(s.lockChannel()->paused());

    settings.volume = 0;
    s.tick(true, 60, settings, true);
    QVERIFY(!s.toneChannel()->paused() && !s.lockChannel()->paused());
    QCOMPARE(peak(render(s, 2000)), 0.0f);
}

void TestSound::missingLockSoundKeepsTheTone()
{
    sound::Signaliser s;
    const sound::ToneSettings settings;
    const QStringList problems = s.init(QStringLiteral("no-such-lock.wav"), settings, true);
    QCOMPARE(problems, QStringList({"Sound error! (1) File not found. (no-such-lock.wav)\n"}));
    QVERIFY(s.available());
    QVERIFY(!s.lockChannel());
    s.tick(true, 60, settings, true);
    QVERIFY(std::abs(zeroCrossings(render(s)) - 1040) <= 2);
    QVERIFY(s.shutdown().isEmpty());
    QVERIFY(!s.available());
}

void TestSound::loudMixesClipInsteadOfWrapping()
{
    // Tone and chime at full volume, mixed offline.
    sound::Signaliser s;
    sound::ToneSettings settings;
    settings.volume = 100;
    QVERIFY(s.init(QStringLiteral(ZENARA_LOCK_WAV), settings, true).isEmpty());
    s.tick(true, 80, settings, true);
    const std::vector<float> mix = render(s, 20000);
    QVERIFY2(peak(mix) > 1.0f, qPrintable(QString::number(peak(mix)))); // beyond full scale
    std::vector<qint16> pcm(mix.size());
    sound::toPcm16(mix.data(), pcm.data(), int(mix.size()));
    for (size_t i = 0; i < mix.size(); ++i) {
        // Same sign as the mix, and at the rail where the mix passes it.
        QVERIFY((pcm[i] >= 0) == (mix[i] >= 0) || std::abs(mix[i]) < 1e-4f);
        if (mix[i] >= 1.0f)
            QCOMPARE(pcm[i], qint16(32767));
        if (mix[i] <= -1.0f)
            QCOMPARE(pcm[i], qint16(-32767));
    }
    const float samples[4] = {1.7f, -2.5f, 0.5f, -0.25f};
    qint16 out[4] = {};
    sound::toPcm16(samples, out, 4);
    QCOMPARE(out[0], qint16(32767));
    QCOMPARE(out[1], qint16(-32767));
    QCOMPARE(out[2], qint16(16383));
    QCOMPARE(out[3], qint16(-8191));
}

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"

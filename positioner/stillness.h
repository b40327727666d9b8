#pragma once

#include <QtGlobal>

namespace positioner {

// Whether anything in the readings changed after a goto west. A motor that
// does not understand the west code it was sent does not move at all, and
// then the flags stay as they were and the levels only wander with their
// noise. A dish that turns changes at least one of them within seconds.
class StillnessWatch
{
public:
    // The first second after the goto (and the tune that may follow it) is
    // the receiver settling on its channel; the four after it tell.
    static constexpr qint64 SettleMs = 1000;
    static constexpr qint64 WatchMs = 5000;
    // More than the readings wander at rest (about 1.6 points), less than a
    // turning dish moves them.
    static constexpr double NoisePercent = 3.0;

    void start(qint64 nowMs);
    void stop() { m_watching = false; }
    bool watching() const { return m_watching; }

    // One poll's readings (a missing level is left out). True once, at the end
    // of the watch, when nothing changed; the watch then ends.
    bool still(qint64 nowMs, bool flagsValid, quint8 flags, bool agcValid, double agc,
               bool snrValid, double snr);

private:
    struct Spread
    {
        double low = 0, high = 0;
        bool any = false;
        void add(double v);
        double width() const { return any ? high - low : 0.0; }
    };

    bool m_watching = false;
    qint64 m_startMs = 0;
    int m_flags = -1; // -1: none read yet
    bool m_flagsChanged = false;
    Spread m_agc, m_snr;
};

} // namespace positioner

#include "positioner/stillness.h"

#include <algorithm>

namespace positioner {

void StillnessWatch::Spread::add(double v)
{
    low = any ? std::min(low, v) : v;
    high = any ? std::max(high, v) : v;
    any = true;
}

void StillnessWatch::start(qint64 nowMs)
{
    *this = StillnessWatch();
    m_watching = true;
    m_startMs = nowMs;
}

bool StillnessWatch::still(qint64 nowMs, bool flagsValid, quint8 flags, bool agcValid, double agc,
                           bool snrValid, double snr)
{
    if (!m_watching || nowMs - m_startMs < SettleMs)
        return false;
    if (flagsValid) {
        m_flagsChanged = m_flagsChanged || (m_flags >= 0 && m_flags != flags);
        m_flags = flags;
    }
    if (agcValid)
        m_agc.add(agc);
    if (snrValid)
        m_snr.add(snr);
    const bool moved =
        m_flagsChanged || m_agc.width() > NoisePercent || m_snr.width() > NoisePercent;
    if (moved) {
        m_watching = false;
        return false;
    }
    if (nowMs - m_startMs < WatchMs)
        return false;
    m_watching = false;
    // Nothing read at all says nothing either way.
    return m_flags >= 0 || m_agc.any || m_snr.any;
}

} // namespace positioner

#include "positioner/lobesearch.h"

#include "positioner/beamfit.h"
#include "positioner/logging.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace positioner {
namespace {

constexpr double Unlocked = -1e9; // a coarse reading off the lock

} // namespace

LobeSearch::LobeSearch(Io io, double beamwidthSteps)
    : m_io(std::move(io)), m_beam(std::max(beamwidthSteps, 5.0))
{
}

bool LobeSearch::moveTo(int target)
{
    if (target == m_at)
        return true;
    const bool east = target > m_at;
    const bool ok = m_io.move(east, std::abs(target - m_at));
    m_at = target;
    m_lastEast = east;
    return ok;
}

bool LobeSearch::approach(int target)
{
    if (target > m_at && (m_lastEast || target - m_at >= Overshoot))
        return moveTo(target);
    if (target == m_at && m_lastEast)
        return true;
    return moveTo(target - Overshoot) && moveTo(target);
}

double LobeSearch::value(const Reading& r) const
{
    if (!m_snr)
        return r.agc;
    return r.locked ? r.snr : -std::numeric_limits<double>::infinity();
}

bool LobeSearch::probe(int at, int polls, Reading* r)
{
    if (!moveTo(at) || !m_io.read(polls, r))
        return false;
    if (!m_snr && r->locked)
        m_coarse.clear(); // the lock came: what was read before is on another scale
    m_coarse[at] = m_snr || r->locked ? (r->locked ? r->snr : Unlocked) : r->agc;
    qCDebug(lcPositioner, "Tune: at %d steps AGC %.1f SNR %.1f%s", at, r->agc, r->snr,
            r->locked ? " locked" : "");
    return true;
}

bool LobeSearch::findLock(Point* best, int* direction)
{
    // Out both ways in turn, nearest first: the lock nearest the start is the
    // satellite the dish is on; the AGC alone cannot tell it from a
    // neighbour's carrier on the same frequency.
    const int coarse = coarseStep();
    const int reach = int(std::lround(m_beam));
    Point agcBest = *best;
    int agcWay = 0;
    Reading r;
    for (int distance = coarse; distance <= reach; distance += coarse) {
        Point locked{0, Unlocked};
        for (const int way : {1, -1}) {
            if (!probe(way * distance, CoarsePolls, &r))
                return false;
            if (r.locked && r.snr > locked.value)
                locked = {way * distance, r.snr};
            if (r.agc > agcBest.value) {
                agcBest = {way * distance, r.agc};
                agcWay = way;
            }
        }
        // Both ways locked: the higher SNR is nearer its own top.
        if (locked.value > Unlocked) {
            m_snr = true;
            m_coarse.clear();
            m_coarse[locked.at] = locked.value;
            *best = locked;
            *direction = locked.at > 0 ? 1 : -1;
            return true;
        }
    }
    // No lock near: the AGC's way, from its best reading.
    *best = agcBest;
    *direction = agcWay;
    return true;
}

bool LobeSearch::climb(Point* best)
{
    const int coarse = coarseStep();
    // No top lies further off: the fine-tune starts on the beam.
    const int limit = int(std::lround(2.5 * m_beam));
    Reading r;
    int direction = 0;
    if (!m_snr) {
        if (!findLock(best, &direction))
            return false;
    } else {
        // Which way is up: east, else west, else the top is within a step.
        for (const int way : {1, -1}) {
            if (!probe(way * coarse, CoarsePolls, &r))
                return false;
            if (value(r) > best->value) {
                *best = {way * coarse, value(r)};
                direction = way;
                break;
            }
        }
    }
    int notBetter = 0;
    for (int at = best->at; direction != 0 && std::abs(at) < limit;) {
        at += direction * coarse;
        if (!probe(at, CoarsePolls, &r))
            return false;
        if (!m_snr && r.locked) {
            m_snr = true;
            *best = {at, r.snr};
            notBetter = 0;
        } else if (m_snr && !r.locked) {
            break; // off the carrier's main lobe, or onto another's
        } else if (value(r) > best->value) {
            *best = {at, value(r)};
            notBetter = 0;
        } else if (++notBetter >= 2) {
            break; // two lower in a row: past the top, not a flicker of noise
        }
    }
    return true;
}

int LobeSearch::coarseStep() const
{
    return std::max(2, int(std::lround(m_beam / 4)));
}

double LobeSearch::coarseTop(int best) const
{
    // A parabola through the best coarse reading and its two neighbours.
    const int c = coarseStep();
    if (!m_coarse.contains(best - c) || !m_coarse.contains(best + c))
        return best;
    const double west = m_coarse[best - c], top = m_coarse[best], east = m_coarse[best + c];
    const double bend = west - 2 * top + east;
    if (!(bend < 0) || std::min(west, east) <= Unlocked)
        return best;
    return best + std::clamp(c * (west - east) / (2 * bend), -double(c), double(c));
}

bool LobeSearch::finePass(int centre, Series* series)
{
    // The upper part of the main lobe, centred on the top: the wider, the
    // more the parabola's curvature pins the top, while the beam keeps its
    // shape.
    const int half = std::max(3, int(std::lround(FineHalfWidth * m_beam)));
    if (!approach(centre - half))
        return false;
    QVector<Reading> readings;
    for (int at = centre - half;; ++at) {
        Reading r;
        if (!m_io.read(FinePolls, &r))
            return false;
        readings.append(r);
        // Well past the far edge of the lock: the rest is another lobe's.
        const int n = readings.size();
        const bool gone = m_snr && n > 8 && !readings[n - 1].locked && !readings[n - 2].locked &&
                          !readings[n - 3].locked && readings[n - 6].locked;
        if (at >= centre + half || gone)
            break;
        if (!moveTo(at + 1))
            return false;
    }
    // The run of locked readings round the top (a lock may flicker at the
    // lobe's edges); by the AGC, all of them.
    int from = 0, to = readings.size() - 1;
    if (m_snr) {
        const int mid = std::clamp(half, 0, int(readings.size()) - 1);
        int seed = mid;
        for (int d = 0; d <= int(readings.size()) && !readings[seed].locked; ++d)
            for (const int i : {mid - d, mid + d})
                if (i >= 0 && i < readings.size() && readings[i].locked) {
                    seed = i;
                    break;
                }
        from = to = seed;
        while (from > 0 && readings[from - 1].locked)
            --from;
        while (to + 1 < readings.size() && readings[to + 1].locked)
            ++to;
        if (!readings[seed].locked)
            return true; // no lock at all: nothing to fit
    }
    for (int i = from; i <= to; ++i) {
        const double x = centre - half + i;
        series->agc.append(QPointF(x, readings[i].agc));
        if (m_snr)
            series->snr.append(QPointF(x, readings[i].snr));
    }
    return true;
}

// The AGC reads the power in the tuner's band and the SNR the wanted carrier
// against noise and interference. Alone, both peak where the beam does, with
// independent noise: each weighs by how well its parabola fits. A neighbour
// on the same frequency pulls the AGC's top towards it and the SNR's away:
// where they disagree beyond their noise, the SNR's top is the best
// reception of the carrier wanted.
double LobeSearch::fit(const Series& series, bool* parabola, ParabolaTop* agcTop)
{
    const ParabolaTop agc = parabolaTop(series.agc);
    *agcTop = agc;
    const ParabolaTop snr = m_snr ? parabolaTop(series.snr) : ParabolaTop{};
    // How much one reading scatters, for the comparison with the start.
    const ParabolaTop& judged = m_snr ? snr : agc;
    if (judged.ok)
        m_scatter = judged.scatter;
    *parabola = m_snr ? snr.ok : agc.ok;
    qCDebug(lcPositioner, "Tune: the AGC's top %.2f (%.2f), the SNR's %.2f (%.2f)", agc.peak,
            std::sqrt(agc.variance), snr.peak, std::sqrt(snr.variance));
    const bool agree = agc.ok && snr.ok &&
                       std::abs(agc.peak - snr.peak) <= 3 * std::sqrt(agc.variance + snr.variance);
    if (agree) {
        const double wa = 1 / std::max(agc.variance, 1e-6), ws = 1 / std::max(snr.variance, 1e-6);
        return (wa * agc.peak + ws * snr.peak) / (wa + ws);
    }
    if (snr.ok || (agc.ok && !m_snr))
        return snr.ok ? snr.peak : agc.peak;
    // No single beam's shape: the best of three readings in a row.
    const QVector<QPointF>& samples = m_snr ? series.snr : series.agc;
    double bestSum = -std::numeric_limits<double>::infinity(), peak = 0;
    for (int i = 1; i + 1 < samples.size(); ++i) {
        const double sum = samples[i - 1].y() + samples[i].y() + samples[i + 1].y();
        if (sum > bestSum) {
            bestSum = sum;
            peak = samples[i].x();
        }
    }
    return peak;
}

bool LobeSearch::worseThanStart(const Reading& end) const
{
    // Twice the noise of the difference of two means of StartPolls readings.
    const double scatter = m_scatter > 0 ? m_scatter : std::max(m_start.spread, end.spread);
    const double margin = 2 * scatter * std::sqrt(2.0 / StartPolls);
    if (m_start.locked)
        return !end.locked || end.snr < m_start.snr - margin;
    return !end.locked && end.agc < m_start.agc - margin;
}

LobeSearch::Result LobeSearch::run()
{
    Result result;
    if (!m_io.read(StartPolls, &m_start))
        return result;
    m_snr = m_start.locked;
    qCDebug(lcPositioner, "Tune: starts with AGC %.1f SNR %.1f%s", m_start.agc, m_start.snr,
            m_start.locked ? " locked" : "");
    Point best{0, value(m_start)};
    m_coarse[0] = best.value;
    Series series;
    if (!climb(&best) || !finePass(int(std::lround(coarseTop(best.at))), &series))
        return result;
    result.samples = m_snr ? series.snr : series.agc;
    result.bySnr = m_snr;
    if (result.samples.size() < 3) {
        approach(0); // nothing of the beam to fit: back where it began
        return result;
    }
    ParabolaTop agcTop;
    result.peak = fit(series, &result.parabola, &agcTop);
    result.agcOk = agcTop.ok;
    result.agcPeak = agcTop.peak;
    result.agcCurvature = agcTop.curvature;
    qCDebug(lcPositioner, "Tune: %d readings from %d steps by the %s, top at %.2f (%s)",
            int(result.samples.size()), int(result.samples.first().x()), m_snr ? "SNR" : "AGC",
            result.peak, result.parabola ? "parabola" : "best readings");
    Reading end;
    if (!approach(int(std::lround(result.peak))) || !m_io.read(StartPolls, &end))
        return result;
    if (worseThanStart(end)) {
        result.backAtStart = true;
        if (!approach(0))
            return result;
    }
    result.ok = true;
    return result;
}

} // namespace positioner

#include "positioner/positioner.h"

#include "positioner/beamfit.h"
#include "positioner/commands.h"
#include "positioner/lobesearch.h"
#include "positioner/logging.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace positioner {
namespace {

// Looks up a text marked elsewhere for translation.
QString translated(const char* text)
{
    return QCoreApplication::translate("zenaraForm", text);
}

} // namespace

const char* const Positioner::FrontendSendFailed =
    QT_TRANSLATE_NOOP("zenaraForm", "Frontend::tda10086_send_master_cmd(...) failed");
const char* const Positioner::SendFailed =
    QT_TRANSLATE_NOOP("zenaraForm", "tda10086_send_master_cmd(...) failed");

Positioner::Positioner(hw::Clock& clock, Hooks hooks) : m_clock(clock), m_hooks(std::move(hooks))
{
    m_motion.setRates(m_settings.stepsPerDegree, m_settings.msPerDegree);
}

void Positioner::setSettings(const Settings& settings)
{
    m_settings = settings;
    m_motion.setRates(settings.stepsPerDegree, settings.msPerDegree);
}

int Positioner::put(const QByteArray& message)
{
    ++m_sendCount;
    return m_hooks.send(message);
}

bool Positioner::sendOnce(const QByteArray& message, const char* failure)
{
    if (put(message) != 0) {
        qCDebug(lcPositioner, "Sending %s failed", message.toHex(' ').constData());
        m_hooks.warn(translated(failure));
        return false;
    }
    return true;
}

bool Positioner::sendRepeated(QByteArray message, const char* failure)
{
    if (!sendOnce(message, failure))
        return false;
    message[0] = char(RepeatedTransmission);
    if (m_hooks.later && !m_abandoned) {
        // The window goes on meanwhile: the poll, a click on Halt.
        repeatLater(message, diseqcRepeatCount - 1, failure);
        return true;
    }
    // Without an event loop to come back to (closing down): in sleeps.
    for (int k = 1; k < diseqcRepeatCount; ++k) {
        m_clock.sleepMs(RepeatPauseMs);
        if (!sendOnce(message, failure))
            return false;
    }
    m_clock.sleepMs(RepeatPauseMs);
    return true;
}

void Positioner::repeatLater(QByteArray message, int left, const char* failure)
{
    if (left <= 0)
        return;
    const quint64 after = m_sendCount;
    m_hooks.later(RepeatPauseMs, [this, message, left, failure, after] {
        if (m_sendCount != after)
            return; // another message went out meanwhile: it counts now
        if (sendOnce(message, failure))
            repeatLater(message, left - 1, failure);
    });
}

bool Positioner::halt()
{
    haltRequested = true;
    const QByteArray m = message(Halt);
    m_hooks.showRaw(m);
    const qint64 sentAt = m_clock.nowMs(); // the motor stops at the first one
    if (!sendRepeated(m, FrontendSendFailed))
        return false;
    m_motion.halt(sentAt);
    motionChanged();
    m_hooks.marker(QCoreApplication::translate("zenaraForm", "Halt"));
    return true;
}

bool Positioner::single(quint8 command, const char* markerText)
{
    const QByteArray m = message(command);
    m_hooks.showRaw(m);
    if (!sendOnce(m, FrontendSendFailed))
        return false;
    m_hooks.marker(translated(markerText));
    return true;
}

bool Positioner::limitEast()
{
    return single(motorEast(true) ? LimitEast : LimitWest,
                  QT_TRANSLATE_NOOP("zenaraForm", "Limit E"));
}

bool Positioner::limitWest()
{
    return single(motorEast(false) ? LimitEast : LimitWest,
                  QT_TRANSLATE_NOOP("zenaraForm", "Limit W"));
}

bool Positioner::limitsOff()
{
    return single(LimitsOff, QT_TRANSLATE_NOOP("zenaraForm", "Limits Off"));
}

bool Positioner::gotoPosition(int position)
{
    const QByteArray m = message(GotoPosition, quint8(position));
    m_hooks.showRaw(m);
    if (!sendRepeated(m, FrontendSendFailed))
        return false;
    m_motion.moveTo(QStringLiteral("Goto %1").arg(position), m_motion.storedAngle(position),
                    m_clock.nowMs());
    motionChanged();
    m_hooks.marker(QString::asprintf("Goto %d", position));
    return true;
}

bool Positioner::storePosition(int position)
{
    const QByteArray m = message(StorePosition, quint8(position));
    m_hooks.showRaw(m);
    if (!sendOnce(m, FrontendSendFailed))
        return false;
    m_motion.stored(position, m_clock.nowMs());
    motionChanged();
    m_hooks.marker(QString::asprintf("Store %d", position));
    return true;
}

bool Positioner::sendRaw(const QStringList& fields)
{
    const RawMessage raw = parseRawFields(fields);
    if (!raw.error.isEmpty()) {
        m_hooks.warn(raw.error);
        return false;
    }
    if (raw.bytes.isEmpty())
        return false; // an incomplete command: ignored
    if (!sendOnce(raw.bytes, SendFailed))
        return false;
    // A hand-made drive or goto leaves the dish somewhere the program cannot tell.
    const quint8 command = quint8(raw.bytes.at(2));
    if (command == DriveEast || command == DriveWest || command == GotoPosition ||
        command == GotoAngle) {
        m_motion.lose();
        motionChanged();
    }
    m_hooks.marker(QStringLiteral("RAW Data"));
    return true;
}

bool Positioner::haltSeen()
{
    if (haltRequested) {
        haltRequested = false;
        m_halted = true;
    }
    return m_halted;
}

bool Positioner::waitFor(qint64 ms)
{
    const hw::Stopwatch watch(m_clock);
    while (watch.elapsed() < ms) {
        if (haltSeen())
            return false;
        m_hooks.processEvents();
        motionChanged(); // the time left counts down
    }
    return !m_halted;
}

void Positioner::motionChanged()
{
    if (m_hooks.motionChanged)
        m_hooks.motionChanged();
}

void Positioner::leaveDrive()
{
    if (--m_depth == 0) {
        m_halted = false;
        m_abandoned = false;
    }
}

void Positioner::abandon()
{
    m_abandoned = true;
    halt();
}

void Positioner::driveChunks(bool east, int steps, bool showRaw)
{
    haltRequested = false;
    ++m_depth;
    // The status line follows the whole move, not one chunk of it.
    m_motion.moveBy(QString::asprintf(east ? "East %d stp" : "West %d stp", steps),
                    (east ? steps : -steps) / m_settings.stepsPerDegree, m_clock.nowMs());
    motionChanged();
    for (int chunk : stepChunks(steps)) {
        const QByteArray m = positioner::driveSteps(motorEast(east), chunk);
        if (showRaw)
            m_hooks.showRaw(m);
        if (!sendOnce(m, east ? SendFailed : FrontendSendFailed)) {
            m_motion.halt(m_clock.nowMs());
            motionChanged();
            break;
        }
        m_hooks.marker(QString::asprintf(east ? "East %d stp" : "West %d stp", chunk));
        if (!waitFor(chunkWaitMs(chunk, m_settings.stepsPerDegree, m_settings.msPerDegree)))
            break;
    }
    leaveDrive();
}

void Positioner::driveSteps(bool east, int steps)
{
    driveChunks(east, steps, true);
}

void Positioner::driveDegrees(bool east, double degrees)
{
    const int steps = degreesToSteps(degrees, m_settings.stepsPerDegree);
    if (steps <= 0) {
        haltRequested = false;
        return; // under one step: nothing to send
    }
    driveChunks(east, steps, false);
}

void Positioner::driveSeconds(bool east, const std::function<int()>& seconds)
{
    haltRequested = false;
    const int s = seconds();
    const QByteArray m = positioner::driveSeconds(motorEast(east), s);
    m_hooks.showRaw(m);
    if (!sendOnce(m, east ? SendFailed : FrontendSendFailed))
        return;
    const QString label = QString::asprintf(east ? "East %d sec" : "West %d sec", s);
    m_hooks.marker(label);
    m_motion.moveFor(label, east, qint64(s) * 1000, m_clock.nowMs());
    motionChanged();
    ++m_depth;
    const hw::Stopwatch watch(m_clock);
    for (;;) {
        if (watch.elapsed() >= qint64(seconds()) * 1000) {
            halt();
            break;
        }
        if (haltSeen())
            break; // Halt has been sent by its own click
        m_hooks.processEvents();
        motionChanged();
    }
    leaveDrive();
}

bool Positioner::usalsGoto(double degrees, bool east)
{
    return angleGoto(east, degrees, true);
}

void Positioner::waitWithEvents(int ms)
{
    const hw::Stopwatch watch(m_clock);
    while (watch.elapsed() < ms && !m_abandoned) {
        m_hooks.processEvents();
        if (haltRequested) {
            haltRequested = false;
            // A drive this runs inside must end too (the motor was told to stop).
            if (m_depth > 0)
                m_halted = true;
            return;
        }
    }
}

bool Positioner::autotune(int n, int gapMs, const std::function<double()>& sample)
{
    const QByteArray east = message(DriveEast, 0xFF);
    const QByteArray west = message(DriveWest, 0xFF);
    auto step = [&](const QByteArray& m) {
        if (m_abandoned)
            return false; // the window has gone: no more steps
        if (put(m) == 0) {
            const double oneStep = 1.0 / m_settings.stepsPerDegree;
            const bool userEast = (m == east) != mirrored();
            m_motion.moveBy(QCoreApplication::translate("zenaraForm", "Tune"),
                            userEast ? oneStep : -oneStep, m_clock.nowMs());
            motionChanged();
            return true;
        }
        m_hooks.warn(translated(FrontendSendFailed));
        return false;
    };
    auto measure = [&] {
        double sum = 0;
        for (int k = 0; k < 10; ++k) {
            waitWithEvents(gapMs);
            sum += sample();
        }
        return sum;
    };

    m_hooks.marker(QCoreApplication::translate("zenaraForm", "Tune Begin"));
    ++m_depth;
    double ref = 0.0;
    for (int k = 0; k < 10; ++k) {
        ref += sample();
        waitWithEvents(gapMs);
    }
    const bool done = climb(n, ref, measure, step, east, west);
    leaveDrive();
    if (done)
        m_hooks.marker(QCoreApplication::translate("zenaraForm", "Tune End"));
    return done;
}

bool Positioner::climb(int n, double ref, const std::function<double()>& measure,
                       const std::function<bool(const QByteArray&)>& step, const QByteArray& east,
                       const QByteArray& west)
{
    // East while the level holds or rises.
    bool dropped = false;
    for (int i = 0; i < n && !dropped; ++i) {
        if (!step(east))
            return false;
        const double sum = measure();
        if (sum < ref)
            dropped = true;
        else
            ref = sum;
    }
    if (dropped) {
        // Back to the best, then west while it holds or rises.
        if (!step(west))
            return false;
        bool droppedWest = false;
        for (int j = 0; j < n && !droppedWest; ++j) {
            if (!step(west))
                return false;
            const double sum = measure();
            if (sum < ref)
                droppedWest = true;
            else
                ref = sum;
        }
        if (droppedWest && !step(east))
            return false;
    }
    return true;
}

double Positioner::beamwidthSteps(double dishDiameterM, double frequencyMHz) const
{
    if (!(dishDiameterM > 0) || !(frequencyMHz > 0))
        return 0;
    const double wavelengthM = 299.792458 / frequencyMHz;
    const double beamwidthDeg = 70.0 * wavelengthM / dishDiameterM;
    return std::clamp(beamwidthDeg * m_settings.stepsPerDegree, 1.0, 700.0);
}

bool Positioner::moveAndWait(bool east, int steps, int* sent)
{
    for (int chunk : stepChunks(steps)) {
        if (!sendOnce(positioner::driveSteps(east, chunk), FrontendSendFailed))
            return false;
        *sent += chunk;
        const double degrees = chunk / m_settings.stepsPerDegree;
        const bool userEast = east != mirrored();
        m_motion.moveBy(QCoreApplication::translate("zenaraForm", "Tune"),
                        userEast ? degrees : -degrees, m_clock.nowMs());
        motionChanged();
        if (!waitFor(qint64(std::ceil(degrees * m_settings.msPerDegree))))
            return false;
    }
    return true;
}

bool Positioner::sweepTune(double beamwidthSteps, int gapMs, const std::function<Reading()>& sample,
                           SweepReport* report)
{
    SweepReport local;
    SweepReport& r = report ? *report : local;
    r = SweepReport{};
    haltRequested = false;
    ++m_depth;
    m_hooks.marker(QCoreApplication::translate("zenaraForm", "Tune Begin"));
    bool failed = false;
    LobeSearch::Io io;
    io.move = [&](bool east, int steps) {
        failed = !moveAndWait(east, steps, &r.steps);
        return !failed;
    };
    io.read = [&](int polls, Reading* out) {
        double agc = 0, snr = 0, sumSquares = 0;
        bool locked = true;
        // Only polls taken after the dish came to rest, each a new one.
        qint64 after = m_clock.nowMs() + SettleMs;
        for (int k = 0; k < polls; ++k) {
            Reading one;
            if (!nextPoll(gapMs, &after, sample, &one))
                return false;
            agc += one.agc;
            snr += one.snr;
            locked = locked && one.locked;
            const double level = one.locked ? one.snr : one.agc;
            sumSquares += level * level;
        }
        *out = Reading{agc / polls, snr / polls, locked, 0};
        const double mean = locked ? out->snr : out->agc;
        out->spread = polls > 1 ? std::sqrt(std::max(0.0, sumSquares / polls - mean * mean)) : 0;
        return true;
    };
    const LobeSearch::Result found = LobeSearch(io, beamwidthSteps).run();
    r.peak = found.peak;
    r.parabola = found.parabola;
    r.samples = found.samples;
    r.backAtStart = found.backAtStart;
    r.bySnr = found.bySnr;
    r.ok = found.ok && !failed && !m_halted;
    r.agcOk = found.agcOk;
    r.agcPeak = found.agcPeak;
    r.agcCurvature = found.agcCurvature;
    const bool halted = m_halted;
    if (!found.ok && !failed && !halted)
        m_hooks.warn(
            QCoreApplication::translate("zenaraForm", "Tune: no beam was found across the sweep"));
    else if (found.backAtStart)
        m_hooks.warn(QCoreApplication::translate(
            "zenaraForm",
            "Tune: nowhere near was better than the start, so the dish is back there"));
    leaveDrive();
    m_lastSweep = r;
    if (found.ok)
        m_hooks.marker(QCoreApplication::translate("zenaraForm", "Tune End"));
    return found.ok;
}

bool Positioner::nextPoll(int gapMs, qint64* after, const std::function<Reading()>& sample,
                          Reading* reading)
{
    *reading = sample();
    if (reading->atMs < 0) // no time on it: wait a poll's interval
        return waitFor(gapMs) && (*reading = sample(), true);
    while (reading->atMs <= *after) {
        if (!waitFor(1))
            return false;
        *reading = sample();
    }
    *after = reading->atMs;
    return true;
}

bool Positioner::gotoAngle(bool east, double degrees)
{
    return angleGoto(east, degrees, false);
}

bool Positioner::angleGoto(bool east, double degrees, bool repeated)
{
    QByteArray m;
    if (!positioner::gotoAngle(motorEast(east), degrees, m_settings.driveVersion, &m)) {
        m_hooks.warn(QCoreApplication::translate("zenaraForm",
                                                 "Goto %1°: the motor takes angles up to 255.9°")
                         .arg(degrees, 0, 'f', 1));
        return false;
    }
    m_hooks.showRaw(m);
    // The USALS goto is repeated like Halt; Goto x.x° goes once, and only the
    // east drive's failure text leaves out the frontend.
    const bool sent = repeated ? sendRepeated(m, FrontendSendFailed)
                               : sendOnce(m, east ? SendFailed : FrontendSendFailed);
    if (!sent)
        return false;
    const QString label = QString::asprintf(east ? "Goto %.1f°E" : "Goto %.1f°W", degrees);
    m_motion.moveTo(label, east ? degrees : -degrees, m_clock.nowMs());
    motionChanged();
    m_hooks.marker(label);
    return true;
}

} // namespace positioner

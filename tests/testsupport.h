#pragma once

#include "hw/clock.h"
#include "sim/scene.h"
#include "sim/simcard.h"

#include <QStringList>
#include <QTemporaryDir>

#include <functional>

#include <memory>

// A scene whose reception the test sets directly.
class ScriptedScene : public sim::SignalScene
{
public:
    sim::Reception reception;
    QList<QByteArray> heard;
    std::function<void(const QByteArray&)> onHeard; // runs after each message heard

    bool hasNetwork = false;
    hw::NetworkInfo networkInfo;
    // A DVB-S2 lock's format, reported while the reception says LCK.
    bool s2 = false;
    hw::SignalFormat s2Format;

    // Where the session last said the dish stands.
    double siteLatitude = qQNaN();
    double siteLongitude = qQNaN();

    sim::Reception receive(const sim::TunerState&, qint64) override { return reception; }
    void setSite(double latitude, double longitude) override
    {
        siteLatitude = latitude;
        siteLongitude = longitude;
    }
    bool network(const sim::TunerState&, hw::NetworkInfo* info) override
    {
        if (hasNetwork)
            *info = networkInfo;
        return hasNetwork;
    }
    bool lockedFormat(const sim::TunerState& tuner, hw::SignalFormat* format) override
    {
        if (!s2 || !tuner.secondGeneration || !(reception.status & 0x10))
            return false;
        *format = s2Format;
        return true;
    }
    void masterCommand(const QByteArray& message, const sim::TunerState&, qint64) override
    {
        heard.append(message);
        if (onHeard)
            onHeard(message);
    }
};

// A simulated card installed behind the card layer on a manual clock, opened and
// bound like the program does at start-up, with its trace in a temporary file.
class SimulatedBoard
{
public:
    explicit SimulatedBoard(sim::SimFaults faults = {}, bool openAndBind = true);
    ~SimulatedBoard();

    hw::ManualClock clock;
    sim::SimCard* card = nullptr;
    ScriptedScene* scene = nullptr;

    // The trace lines written so far, as they stand in the file.
    QStringList rawTraceLines() const;
    // The trace lines written so far, without their time stamps.
    QStringList traceEvents() const;
    // Trace lines written since the last call.
    QStringList newTraceEvents();

private:
    QTemporaryDir m_dir;
    int m_seen = 0;
};

#pragma once

#include "positioner/beamfit.h"

#include <QMap>
#include <QPointF>
#include <QVector>
#include <QtGlobal>

#include <functional>

namespace positioner {

// One look at the meters: the AGC and the SNR as the poll reads them, and
// whether the demodulator held its lock throughout.
struct Reading
{
    double agc = 0;
    double snr = 0;
    bool locked = false;
    double spread = 0; // how much the polls averaged into it scattered
    qint64 atMs = -1;  // when the poll was taken; -1: not known
};

// The fine-tune's search for the top of the beam of the carrier the dish is
// on, in motor steps east of where it began. A coarse climb in steps of a
// fifth of the beamwidth finds the top; a fine pass in single steps across
// the upper half of the main lobe, always arriving from the west so that
// the gears' play is the same for every reading, fits it. A locked start is
// judged by the SNR, which belongs to the wanted carrier alone: where the
// lock goes, the dish has left that carrier's main lobe (towards a
// neighbour on the same frequency), and the search goes no further that
// way. It never leaves the dish on a worse reading than it began with.
class LobeSearch
{
public:
    struct Io
    {
        // Moves whole steps; false when a message failed or Halt came.
        std::function<bool(bool east, int steps)> move;
        // Averages a number of polls; false when Halt came.
        std::function<bool(int polls, Reading*)> read;
    };

    struct Result
    {
        bool ok = false;          // false: failed, halted, or nothing to fit
        bool backAtStart = false; // the top found was no better than the start
        double peak = 0;          // the fitted top, steps from the start
        bool parabola = false;    // fitted as a parabola, not the best reading
        bool bySnr = false;       // the samples are the SNR's
        // The top of the AGC's readings alone: the power the dish gathers,
        // which the sky's noise, warmer low down, hardly moves.
        bool agcOk = false;
        double agcPeak = 0;
        double agcCurvature = 0; // of its parabola, per step squared (negative)
        QVector<QPointF> samples; // the fine pass: steps, level
    };

    static constexpr int Overshoot = 3; // steps past a point to take up the play
    static constexpr int StartPolls = 4;
    static constexpr int CoarsePolls = 1;
    static constexpr int FinePolls = 1;
    static constexpr double FineHalfWidth = 0.8; // beamwidths either side of the top

    LobeSearch(Io io, double beamwidthSteps);
    Result run();

private:
    struct Point
    {
        int at = 0;
        double value = 0;
    };

    bool moveTo(int target);
    // Onto a point moving east, with the play taken up.
    bool approach(int target);
    double value(const Reading& r) const;
    // Reads at a point; false when it could not.
    bool probe(int at, int polls, Reading* r);
    // The top within a coarse step; false when a move or a reading failed.
    bool climb(Point* best);
    // From an unlocked start: the nearest lock either way, else the AGC's
    // best reading and its way.
    bool findLock(Point* best, int* direction);
    struct Series
    {
        QVector<QPointF> agc, snr;
    };
    int coarseStep() const;
    // Where between the coarse readings the top lies.
    double coarseTop(int best) const;
    bool finePass(int centre, Series* series);
    double fit(const Series& series, bool* parabola, ParabolaTop* agcTop);
    // Whether the dish is now no better than where it began.
    bool worseThanStart(const Reading& end) const;

    Io m_io;
    double m_beam;
    int m_at = 0;
    bool m_lastEast = false; // unknown at first: take the play up before reading
    bool m_snr = false;      // judged by the SNR (locked), or by the AGC
    Reading m_start;
    QMap<int, double> m_coarse; // by step, in the present scale
    double m_scatter = 0;       // of one reading about the fitted beam
};

} // namespace positioner

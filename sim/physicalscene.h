#pragma once

#include "hw/clock.h"
#include "sim/motor.h"
#include "sim/mount.h"
#include "sim/scene.h"
#include "sim/sky.h"

#include <QMap>
#include <QVector>

#include <vector>

namespace sim {

// What the weather and the installer did to the outdoor unit; may change while
// the simulation runs.
struct FieldConditions
{
    double rainFadeDb = 0;   // attenuation on the path; the rain also adds sky noise
    double skewDeg = 0;      // LNB polarisation angle error
    double lofOffsetMHz = 0; // the LNB oscillator's error: carriers appear shifted
};

struct SimConfig
{
    double latitude = 45.0;
    double longitude = 42.0;
    // The simulation says where the dish stands; otherwise it stands where
    // the user's options say (setSite()).
    bool siteGiven = false;
    bool startAngleGiven = false; // ... and where the motor starts
    double dishDiameterM = 0.8;
    // A mount set up a little off, as most are.
    MountErrors mountErrors{0.15, 0.3, 0, 0};
    // A random installation: every error not given (a bit of mountErrorsGiven,
    // in MountErrors' order) drawn within +-mountSpread degrees from the seed.
    bool mountSeedGiven = false;
    quint32 mountSeed = 0;
    double mountSpread = 1.0;
    unsigned mountErrorsGiven = 0;
    // The errors the mount is installed with, the draw included.
    MountErrors installedMount() const;
    DishMotor::Config motor;
    int dishInput = 0; // committed-switch / burst input the dish hangs on
    double eirpDbw = 50.0;
    QMap<int, double> eirpByPosition; // dBW by orbital position in tenths, east positive
    // What a satellite's NIT gives as its position, where it is not its own
    // (tenths, east positive; NoNit: it sends none).
    QMap<int, int> nitPositionByPosition;
    static constexpr int NoNit = 100000;
    quint32 noiseSeed = 1;
    double readingNoise = 1.0;   // scale of the noise on every reading; 0 = none
    double lowBandLofMHz = 9750; // a universal LNB
    double highBandLofMHz = 10600;
    FieldConditions field;
};

// What the demodulator sees from one transponder at the current pointing.
struct Carrier
{
    const SimSatellite* satellite = nullptr;
    const SimTransponder* transponder = nullptr;
    double esN0Db = -99; // C / (N + I), uplink noise included
    double cnDb = -99;   // downlink C/N alone
    double ciDb = 99;    // carrier to co-channel interference
};

// A real installation: satellites on the arc, a dish on a polar mount driven by
// a DiSEqC motor, a universal LNB, and a demodulator whose registers follow
// the link budget.
class PhysicalScene : public SignalScene
{
public:
    PhysicalScene(const hw::Clock& clock, const SimConfig& config, Sky sky);

    // The user's site: the installation moves there (a new mount, with the
    // same installation error) unless the simulation gave a site of its own.
    void setSite(double latitude, double longitude) override;

    Reception receive(const TunerState& tuner, qint64 nowMs) override;
    void masterCommand(const QByteArray& message, const TunerState& tuner, qint64 nowMs) override;
    void supplyChanged(int volts, qint64 nowMs) override;
    quint64 noiseSeed() const override { return m_config.noiseSeed; }
    bool network(const TunerState& tuner, hw::NetworkInfo* info) override;
    bool lockedFormat(const TunerState& tuner, hw::SignalFormat* format) override;

    // "mount": its errors turned or set (adjustMountErrors), the dish
    // re-placed at once; with no words only reported, with the site.
    bool adjust(const QString& part, const QStringList& words, QVariantMap* values,
                QString* error) override;

    DishMotor& motor() { return m_motor; }
    const PolarMount& mount() const { return m_mount; }
    // The mount's errors as the simulation installed them, and as they stand.
    const MountErrors& installedMount() const { return m_installedMount; }
    const MountErrors& mountErrors() const { return m_mountErrors; }
    void setMountErrors(const MountErrors& errors);
    // Called after the mount's errors changed, so that they can be kept.
    std::function<void()> mountChanged;
    const Sky& sky() const { return m_sky; }
    const FieldConditions& field() const { return m_config.field; }
    void setField(const FieldConditions& field) { m_config.field = field; }

    // Relative dish gain in dB (0 on axis) at an angle off the boresight.
    double patternDb(double offAxisDeg, double frequencyMHz) const;
    // Downlink C/N of a transponder at the current pointing and weather,
    // received on its own polarisation through the LNB's skew.
    double downlinkCnDb(const SimSatellite& satellite, const SimTransponder& transponder);
    // The same with the uplink's noise added.
    double esN0Db(const SimSatellite& satellite, const SimTransponder& transponder);
    // The carrier the demodulator would lock on for this tuning, if any.
    Carrier tunedCarrier(const TunerState& tuner);

    // What part of the satellite's EIRP a carrier gets: its bandwidth's share
    // of a transponder filled at ReferenceSymbolRateKs.
    static double powerShare(const SimTransponder& transponder);
    static constexpr double ReferenceSymbolRateKs = 27500;
    // How much lower C/N is at an elevation than at the reference one (38
    // degrees), from the longer path through the air and the warmer sky.
    static double clearSkyPenaltyDb(double elevationDeg);
    // DVB-S Es/N0 needed for quasi-error-free reception at a code rate.
    static double thresholdDb(int codeRate);
    // What this demodulator needs for a carrier: the DVB-S figure, or the
    // DVB-S2 one of its modcod plus what a real chip loses against the ideal.
    static double carrierThresholdDb(const SimTransponder& transponder);
    static constexpr double S2ImplementationLossDb = 0.3;

    // Acquisition after a tune, as the chip's flags come up.
    static constexpr qint64 CarrierAfterMs = 40;
    static constexpr qint64 ViterbiAfterMs = 100;
    static constexpr qint64 SyncAfterMs = 170;
    static constexpr qint64 LockAfterMs = 190; // a few frames after sync
    // DVB-S2: physical-layer frame sync, then the LDPC decoder's first frames.
    static constexpr qint64 S2FrameAfterMs = 120;
    static constexpr qint64 S2SyncAfterMs = 220;
    static constexpr qint64 S2LockAfterMs = 260;

private:
    struct Band
    {
        double powerRatio = 1; // everything in the tuner band over clear-sky noise
        double signalDb = 0;   // the carriers' part, over the noise as it is
        Carrier carrier;
    };

    // A carrier in the tuner's band, with its power over clear-sky noise.
    struct InBand
    {
        int satellite;
        const SimTransponder* transponder;
        double powerHz;
    };

    void place();
    Band measure(const TunerState& tuner);
    // Every carrier within the band around f; *signalHz their power in it,
    // *best the one the demodulator captures (-1: none).
    QVector<InBand> carriersInBand(const TunerState& tuner, double f, double bandwidthMHz,
                                   double* signalHz, int* best);
    // The captured carrier against the noise and every other carrier in its band.
    Carrier against(const QVector<InBand>& inBand, int best, double noiseRise) const;
    // The acquisition stage the signal allows: 0 nothing, 1 signal, 2 carrier,
    // 3 Viterbi, 5 lock.
    int allowedStage(const Band& band, const TunerState& tuner) const;
    // How far the chip has got since the tune, within what the signal allows.
    int acquisitionLevel(const TunerState& tuner, qint64 nowMs, int allowed, bool s2);
    // A list's second entry for a carrier it also names (DVB-S and DVB-S2
    // after a change of modulation): not a carrier of its own.
    static bool sameCarrier(const SimTransponder& a, const SimTransponder& b);
    double downlinkMHz(const TunerState& tuner) const;
    // Carrier power over clear-sky noise density (Hz) arriving from a
    // satellite at a frequency, polarisation aside.
    double carrierPowerHz(int satellite, double frequencyMHz);
    double polarisationFactor(bool carrierVertical, bool lnbVertical) const;
    // System noise over the reference clear sky: the rain's, and the sky's
    // and the ground's at the elevation the dish points to.
    double noiseRise();

    SimConfig m_config;
    Sky m_sky;
    MountErrors m_installedMount;
    MountErrors m_mountErrors;
    PolarMount m_mount;
    DishMotor m_motor;
    QVector<double> m_rangeKm;
    QVector<double> m_atmosphereDb; // by satellite: what its path through the air takes
    QVector<bool> m_visible;
    // Every transponder of the visible satellites by frequency, so that a
    // measurement looks only at those near the tuned one.
    struct Entry
    {
        double frequencyMHz;
        double occupiedMHz;
        int satellite;
        const SimTransponder* transponder;
    };
    std::vector<Entry> m_byFrequency;
    double m_widestMHz = 0;
    // A satellite's carrier power during one measurement, worked out once.
    std::vector<double> m_powerHz;
    std::vector<quint64> m_powerRound;
    quint64 m_round = 0;
    qint64 m_acquireSince = -1;
    qint64 m_lastTune = -1;
    bool m_locked = false;
    const SimTransponder* m_lockedTransponder = nullptr;
};

} // namespace sim

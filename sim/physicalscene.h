#pragma once

#include "hw/clock.h"
#include "sim/motor.h"
#include "sim/mount.h"
#include "sim/scene.h"
#include "sim/sky.h"

#include <functional>
#include <random>

namespace sim {

struct SimConfig
{
    double latitude = 45.0;
    double longitude = 42.0;
    double dishDiameterM = 0.8;
    double elevationErrorDeg = 0.3;
    double azimuthErrorDeg = 0.15;
    DishMotor::Config motor;
    int dishInput = 0; // committed-switch / burst input the dish hangs on
    double eirpDbw = 50.0;
    quint32 noiseSeed = 1;
    double readingNoise = 1.0;   // scale of the noise on every reading; 0 = none
    double lowBandLofMHz = 9750; // a universal LNB
    double highBandLofMHz = 10600;
};

// What the demodulator sees from one transponder at the current pointing.
struct Carrier
{
    const SimSatellite* satellite = nullptr;
    const SimTransponder* transponder = nullptr;
    double esN0Db = -99;
};

// A real installation: satellites on the arc, a dish on a polar mount driven by
// a DiSEqC motor, a universal LNB, and a demodulator whose registers follow
// the link budget.
class PhysicalScene : public SignalScene
{
public:
    PhysicalScene(const hw::Clock& clock, const SimConfig& config, Sky sky);

    Reception receive(const TunerState& tuner, qint64 nowMs) override;
    void masterCommand(const QByteArray& message, const TunerState& tuner, qint64 nowMs) override;

    DishMotor& motor() { return m_motor; }
    const PolarMount& mount() const { return m_mount; }
    const Sky& sky() const { return m_sky; }

    // Relative dish gain in dB (0 on axis) at an angle off the boresight.
    double patternDb(double offAxisDeg, double frequencyMHz) const;
    // Es/N0 of a transponder at the current pointing, both polarisations matched.
    double esN0Db(const SimSatellite& satellite, const SimTransponder& transponder);
    // The carrier the demodulator would lock on for this tuning, if any.
    Carrier tunedCarrier(const TunerState& tuner);

    // DVB-S Es/N0 needed for quasi-error-free reception at a code rate.
    static double thresholdDb(int codeRate);

private:
    double downlinkMHz(const TunerState& tuner) const;
    // Es/N0 through the LNB's current polarisation.
    double receivedEsN0Db(const SimSatellite& satellite, const SimTransponder& transponder,
                          bool lnbVertical);
    double noise(double sigma);

    const hw::Clock& m_clock;
    SimConfig m_config;
    Sky m_sky;
    PolarMount m_mount;
    DishMotor m_motor;
    std::mt19937 m_rng;
    qint64 m_acquireSince = -1;
    qint64 m_lastTune = -1;
    bool m_locked = false;
};

} // namespace sim

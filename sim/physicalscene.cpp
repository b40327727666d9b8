#include "sim/physicalscene.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

constexpr double SpeedOfLight = 299792.458; // km/s
constexpr double SystemNoiseK = 66.0;
constexpr double AtmosphereDb = 0.4;
constexpr double UplinkCnDb = 20.0;
constexpr double Efficiency = 0.65;
constexpr double CrossPolarDb = -25.0;
constexpr double PatternFloorDb = -35.0;

double toLinear(double db)
{
    return std::pow(10.0, db / 10.0);
}

double toDb(double linear)
{
    return 10.0 * std::log10(std::max(linear, 1e-30));
}

// Gaussian tail probability.
double qFunction(double x)
{
    return 0.5 * std::erfc(x / std::sqrt(2.0));
}

// Half the width in MHz over which the demodulator finds a carrier.
double captureMHz(double symbolRateKs)
{
    return symbolRateKs >= 4000 ? 8.0 : 1.0 + symbolRateKs / 2000.0;
}

} // namespace

PhysicalScene::PhysicalScene(const hw::Clock& clock, const SimConfig& config, Sky sky)
    : m_clock(clock), m_config(config), m_sky(std::move(sky)),
      m_mount(config.latitude, config.longitude), m_motor(clock, config.motor),
      m_rng(config.noiseSeed)
{
    m_mount.setInstallationError(config.elevationErrorDeg, config.azimuthErrorDeg);
    m_motor.stopped = [this](double angle, DishMotor::Stop why) {
        if (note)
            note(QStringLiteral("MOTOR %1 %2").arg(angle, 0, 'f', 2).arg(DishMotor::stopName(why)));
    };
}

double PhysicalScene::thresholdDb(int codeRate)
{
    // 1/2 .. 8/9; 4/5, 6/7 and 8/9 interpolated between the standard's rates.
    static const double thresholds[8] = {4.15, 5.89, 6.91, 7.4, 7.86, 8.2, 8.48, 8.9};
    return thresholds[std::clamp(codeRate, 0, 7)];
}

double PhysicalScene::patternDb(double offAxisDeg, double frequencyMHz) const
{
    const double lambdaM = SpeedOfLight * 1000.0 / (frequencyMHz * 1e6);
    const double u = M_PI * m_config.dishDiameterM * std::sin(offAxisDeg * M_PI / 180.0) / lambdaM;
    if (std::abs(u) < 1e-6)
        return 0.0;
    // Aperture with a (1 - r^2) taper: 8 J2(u) / u^2 in field, real nulls and
    // first sidelobes near -25 dB.
    const double field = 8.0 * std::cyl_bessel_j(2.0, std::abs(u)) / (u * u);
    return std::max(PatternFloorDb, toDb(field * field));
}

double PhysicalScene::esN0Db(const SimSatellite& satellite, const SimTransponder& transponder)
{
    const double fHz = transponder.frequencyMHz * 1e6;
    const double lambdaM = SpeedOfLight * 1000.0 / fHz;
    const double gainDbi =
        toDb(Efficiency * std::pow(M_PI * m_config.dishDiameterM / lambdaM, 2.0));
    const double rangeM = m_mount.slantRangeKm(satellite.longitude) * 1000.0;
    const double pathLossDb = toDb(std::pow(4 * M_PI * rangeM / lambdaM, 2.0));
    const double pointing = patternDb(m_mount.pointingError(m_motor.angle(), satellite.longitude),
                                      transponder.frequencyMHz);
    const double cn0 = satellite.eirpDbw - pathLossDb - AtmosphereDb + gainDbi + pointing -
                       toDb(SystemNoiseK) + 228.6;
    const double downlink = cn0 - toDb(transponder.symbolRateKs * 1000.0);
    // The uplink and the transponder add their own noise.
    return toDb(1.0 / (1.0 / toLinear(downlink) + 1.0 / toLinear(UplinkCnDb)));
}

double PhysicalScene::receivedEsN0Db(const SimSatellite& satellite,
                                     const SimTransponder& transponder, bool lnbVertical)
{
    return esN0Db(satellite, transponder) +
           (transponder.vertical == lnbVertical ? 0.0 : CrossPolarDb);
}

double PhysicalScene::downlinkMHz(const TunerState& tuner) const
{
    const double lof = tuner.tone22k ? m_config.highBandLofMHz : m_config.lowBandLofMHz;
    return lof + tuner.ifKHz / 1000.0;
}

Carrier PhysicalScene::tunedCarrier(const TunerState& tuner)
{
    Carrier best;
    if (!tuner.tuned || tuner.input != m_config.dishInput || !tuner.lnbPowered)
        return best;
    const double f = downlinkMHz(tuner);
    const double tunedKs = tuner.symbolRate / 1000.0;
    const bool vertical = tuner.voltage < 16;
    for (const SimSatellite& sat : m_sky.satellites) {
        if (!m_mount.visible(sat.longitude))
            continue;
        for (const SimTransponder& tp : sat.transponders) {
            if (std::abs(tp.frequencyMHz - f) > captureMHz(tp.symbolRateKs) ||
                std::abs(tp.symbolRateKs - tunedKs) > 0.03 * tp.symbolRateKs)
                continue;
            const double esN0 = receivedEsN0Db(sat, tp, vertical);
            if (esN0 > best.esN0Db)
                best = Carrier{&sat, &tp, esN0};
        }
    }
    return best;
}

double PhysicalScene::noise(double sigma)
{
    if (sigma * m_config.readingNoise <= 0)
        return 0.0;
    return std::normal_distribution<double>(0.0, sigma * m_config.readingNoise)(m_rng);
}

Reception PhysicalScene::receive(const TunerState& tuner, qint64 nowMs)
{
    Reception r;
    m_motor.angle(); // let the motor report an arrival on time
    if (!tuner.lnbPowered || tuner.input != m_config.dishInput) {
        // No supply, or an input with nothing behind it: no signal at all.
        r.agcRegister = quint8(255 - std::clamp(int(8 + noise(1.0)), 0, 255));
        m_acquireSince = -1;
        m_locked = false;
        return r;
    }

    // Total power in the tuner's bandwidth against the LNB's own noise.
    const double f = downlinkMHz(tuner);
    const double tunedKs = std::max(1000.0, tuner.symbolRate / 1000.0);
    const double bandwidthMHz = 1.35 * tunedKs / 1000.0 + 10.0;
    const bool vertical = tuner.voltage < 16;
    double ratio = 1.0;
    for (const SimSatellite& sat : m_sky.satellites) {
        if (!m_mount.visible(sat.longitude))
            continue;
        for (const SimTransponder& tp : sat.transponders) {
            const double occupied = 1.35 * tp.symbolRateKs / 1000.0;
            const double overlap = std::min(f + bandwidthMHz / 2, tp.frequencyMHz + occupied / 2) -
                                   std::max(f - bandwidthMHz / 2, tp.frequencyMHz - occupied / 2);
            if (overlap <= 0)
                continue;
            const double cn = toLinear(receivedEsN0Db(sat, tp, vertical));
            ratio += cn * (tp.symbolRateKs / 1000.0) * (overlap / occupied) / bandwidthMHz;
        }
    }
    const double agc = 90.0 + 6.0 * toDb(ratio) + noise(1.5);
    r.agcRegister = quint8(255 - std::clamp(int(std::lround(agc)), 0, 255));

    const Carrier carrier = tunedCarrier(tuner);
    const double esN0 = carrier.esN0Db + noise(0.15);
    const double snr = carrier.transponder ? 40.0 + 9.0 * esN0 : 25.0 + noise(3.0);
    r.snrRegister = quint8(255 - std::clamp(int(std::lround(snr)), 0, 255));

    // Which stage of acquisition the signal allows, then how far it has got.
    int allowed = toDb(ratio) > 0.5 ? 1 : 0;
    if (carrier.transponder && esN0 > 1.0) {
        allowed = 2;
        const double threshold = thresholdDb(carrier.transponder->codeRate);
        if (!carrier.transponder->dvbS2) {
            if (esN0 > threshold - 1.0)
                allowed = 3;
            if (esN0 > threshold - (m_locked ? 0.5 : 0.0))
                allowed = 4;
        }
    }
    if (tuner.tunedAtMs != m_lastTune || allowed < 2) {
        m_lastTune = tuner.tunedAtMs;
        m_acquireSince = allowed >= 2 ? nowMs : -1;
    } else if (m_acquireSince < 0) {
        m_acquireSince = nowMs;
    }
    const qint64 since = m_acquireSince < 0 ? 0 : nowMs - m_acquireSince;
    const int reached = since >= 250 ? 4 : since >= 150 ? 3 : since >= 50 ? 2 : 1;
    const int level = allowed >= 2 ? std::min(allowed, reached) : allowed;
    static const quint8 flags[5] = {0x00, 0x01, 0x03, 0x07, 0x1F};
    r.status = flags[level];
    m_locked = level == 4;

    if (level >= 3) {
        const double ber = qFunction(std::sqrt(toLinear(esN0)));
        r.berCount = quint32(std::clamp(ber * 1e7 * (1.0 + noise(0.05)), 0.0, double(0xFFFFF)));
        r.codeRate = carrier.transponder->codeRate;
        const double margin = esN0 - thresholdDb(carrier.transponder->codeRate);
        r.ucbPerSecond = margin < 2.0 ? 300.0 * std::pow(10.0, -2.0 * std::max(0.0, margin)) : 0;
    }
    return r;
}

void PhysicalScene::masterCommand(const QByteArray& message, const TunerState&, qint64)
{
    m_motor.command(message);
}

} // namespace sim

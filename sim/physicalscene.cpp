#include "sim/physicalscene.h"

#include "sim/simconfig.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <random>

namespace sim {
namespace {

constexpr double SpeedOfLight = 299792.458; // km/s
constexpr double BoltzmannDb = 228.6;       // -10 log10(k)
constexpr double DegToRad = M_PI / 180.0;
// The clear sky at the reference elevation (38 degrees: the default site's
// satellite due south) is what the link budget is worked out against: a 66 K
// system (45 K antenna, 21 K for a 0.3 dB LNB) and 0.4 dB lost on the way.
constexpr double ReferenceElevationDeg = 38.3;
constexpr double SystemNoiseK = 66.0;
constexpr double ReferenceAntennaK = 45.0;
constexpr double AtmosphereDb = 0.4;
constexpr double MediumK = 275.0; // what absorbs (air, rain) radiates at about this
constexpr double CosmicK = 2.7;
// Gases at Ku band: about 0.09 dB straight up, through a layer equivalent to
// 4 km of sea-level air (the shape of ITU-R P.676 and P.618).
constexpr double ZenithGasDb = 0.09;
constexpr double GasLayerKm = 4.0;
constexpr double EarthKm = 6371.0;
// Near the horizon the sidelobes see more of the warm ground.
constexpr double LowGroundK = 30.0;
constexpr double LowGroundScaleDeg = 2.0;
constexpr double UplinkCnDb = 20.0;
constexpr double Efficiency = 0.65;
constexpr double LnbCrossPolarDb = -25.0;
// Field at the rim of the dish relative to its centre: a half-power beamwidth
// of about 71 lambda/D, first null near 92 lambda/D, first sidelobes near -24 dB.
constexpr double EdgeField = 0.03;
constexpr double FarSidelobeFloorDb = -50.0;
constexpr double OccupiedPerSymbol = 1.35; // occupied bandwidth / symbol rate
// Meter scale of the AGC and SNR readings.
constexpr double AgcAtNoiseFloor = 90.0;
constexpr double AgcPerDb = 6.0;
constexpr double SnrAtZeroDb = 40.0;
constexpr double SnrPerDb = 9.0;
constexpr double SnrWithoutCarrier = 25.0;

double toLinear(double db)
{
    return std::pow(10.0, db / 10.0);
}

double toDb(double linear)
{
    return 10.0 * std::log10(std::max(linear, 1e-30));
}

double wavelengthM(double frequencyMHz)
{
    return SpeedOfLight * 1000.0 / (frequencyMHz * 1e6);
}

// Gaussian tail probability.
double qFunction(double x)
{
    return 0.5 * std::erfc(x / std::sqrt(2.0));
}

// Gaseous absorption on a path at an elevation: the zenith figure times the
// path's length through the layer, on a curved Earth so that it stays finite
// at the horizon.
double gasLossDb(double elevationDeg)
{
    const double e = std::max(elevationDeg, 0.0) * DegToRad;
    const double outer = EarthKm + GasLayerKm;
    const double path = std::sqrt(outer * outer - std::pow(EarthKm * std::cos(e), 2)) -
                        EarthKm * std::sin(e);
    return ZenithGasDb * path / GasLayerKm;
}

// What the antenna sees of the sky, the ground and its own spillover at an
// elevation: the air radiates what it absorbs, the cosmic background shows
// through the rest. Rain adds its own noise on top, as the usual link budget
// takes it (MediumK times what it absorbs).
double antennaNoiseK(double elevationDeg, double rainDb)
{
    const auto sky = [](double elevation) {
        const double through = std::pow(10.0, -gasLossDb(elevation) / 10.0);
        return MediumK * (1 - through) + CosmicK * through +
               LowGroundK * std::exp(-std::max(elevation, 0.0) / LowGroundScaleDeg);
    };
    static const double spillover = ReferenceAntennaK - sky(ReferenceElevationDeg);
    return spillover + sky(elevationDeg) + MediumK * (1 - std::pow(10.0, -rainDb / 10.0));
}

// Half the width in MHz over which the demodulator finds a carrier.
double captureMHz(double symbolRateKs)
{
    return symbolRateKs >= 4000 ? 8.0 : 1.0 + symbolRateKs / 2000.0;
}

double overlapMHz(double centreA, double widthA, double centreB, double widthB)
{
    return std::min(centreA + widthA / 2, centreB + widthB / 2) -
           std::max(centreA - widthA / 2, centreB - widthB / 2);
}

bool sameSlot(const SimSatellite& a, const SimSatellite& b)
{
    return std::abs(a.longitude - b.longitude) < 0.05;
}

// Uncorrected blocks per second at a margin over the QEF threshold: none worth
// counting at or above it (1e-5/s there, far less than one an hour), then the
// Reed-Solomon decoder gives up fast, a decade for every 1/8 dB.
double uncorrectedPerSecond(double marginDb)
{
    if (marginDb >= 0.5)
        return 0.0;
    return std::min(5000.0, 1000.0 * std::pow(10.0, -8.0 * (1.0 + marginDb)));
}

// Bit errors of the demodulated symbols before any decoding. For QPSK that is
// Q(sqrt(Es/N0)); every constellation is taken at its nearest neighbours,
// Gray-coded: 2/log2(M) Q(d/2 sqrt(2 Es/N0)) with d the smallest distance
// between points at unit mean energy (16APSK 4+12 with rings 2.7 apart,
// 32APSK 4+12+16 at 2.84 and 5.27).
double channelBitErrorRate(const Carrier& carrier)
{
    const double esN0 = toLinear(carrier.esN0Db);
    if (!carrier.transponder->dvbS2)
        return qFunction(std::sqrt(esN0));
    struct Shape
    {
        hw::Modulation modulation;
        double bits, distance;
    };
    static const Shape shapes[] = {{hw::Modulation::Qpsk, 2, 1.4142},
                                   {hw::Modulation::Psk8, 3, 0.7654},
                                   {hw::Modulation::Apsk16, 4, 0.584},
                                   {hw::Modulation::Apsk32, 5, 0.356}};
    Shape shape = shapes[0];
    for (const Shape& s : shapes)
        if (s.modulation == carrier.transponder->s2.modulation)
            shape = s;
    return std::min(0.5, 2.0 / shape.bits * qFunction(shape.distance / 2 * std::sqrt(2 * esN0)));
}

// DVB-S2's LDPC and BCH codes fall off a cliff: at the threshold one packet in
// 10^7 is lost, and every 0.07 dB below it ten times as many.
double s2UncorrectedPerSecond(const SimTransponder& transponder, double marginDb)
{
    if (marginDb >= 0.3)
        return 0.0;
    static const double bits[] = {0, 2, 3, 4, 5};
    const double bitsPerSymbol = bits[int(transponder.s2.modulation)];
    const hw::CodeRate rate = transponder.s2.rate;
    const double packets =
        transponder.symbolRateKs * 1000.0 * bitsPerSymbol * rate.num / rate.den / (188 * 8);
    return std::min(5000.0, packets * std::min(1.0, 1e-7 * std::pow(10.0, -marginDb / 0.07)));
}

} // namespace

// The draw scales the generator's own output, so that a seed gives the same
// mount with every standard library; every error is drawn whether or not it
// is given, so that giving one leaves the others as they were.
MountErrors SimConfig::installedMount() const
{
    MountErrors e = mountErrors;
    if (!mountSeedGiven)
        return e;
    std::mt19937 random(mountSeed);
    for (unsigned i = 0; i < std::size(MountErrorFields); ++i) {
        const double unit = double(random()) / 4294967296.0 * 2 - 1; // [-1, 1)
        if (!(mountErrorsGiven & (1u << i)))
            e.*MountErrorFields[i] = std::round(unit * mountSpread * 1000) / 1000;
    }
    return e;
}

PhysicalScene::PhysicalScene(const hw::Clock& clock, const SimConfig& config, Sky sky)
    : m_config(config), m_sky(std::move(sky)), m_installedMount(config.installedMount()),
      m_mountErrors(m_installedMount), m_mount(config.latitude, config.longitude),
      m_motor(clock, config.motor)
{
    for (SimSatellite& sat : m_sky.satellites) {
        const auto eirp = m_config.eirpByPosition.constFind(int(std::lround(sat.longitude * 10)));
        if (eirp != m_config.eirpByPosition.constEnd())
            sat.eirpDbw = eirp.value();
    }
    place();
    m_motor.stopped = [this](double angle, DishMotor::Stop why) {
        if (note)
            note(QStringLiteral("MOTOR %1 %2").arg(angle, 0, 'f', 2).arg(DishMotor::stopName(why)));
    };
}

void PhysicalScene::setSite(double latitude, double longitude)
{
    if (m_config.siteGiven || (latitude == m_config.latitude && longitude == m_config.longitude))
        return;
    m_config.latitude = latitude;
    m_config.longitude = longitude;
    place();
    if (note)
        note(QStringLiteral("SITE %1 %2").arg(latitude, 0, 'f', 2).arg(longitude, 0, 'f', 2));
}

void PhysicalScene::setMountErrors(const MountErrors& errors)
{
    m_mountErrors = errors;
    place();
    if (note) {
        QStringList words;
        for (const auto& [name, degrees] : mountErrorValues(errors))
            words.append(QStringLiteral("%1=%2").arg(name).arg(degrees, 0, 'f', 3));
        note(QStringLiteral("MOUNT ") + words.join(QLatin1Char(' ')));
    }
    if (mountChanged)
        mountChanged();
}

bool PhysicalScene::adjust(const QString& part, const QStringList& words, QVariantMap* values,
                           QString* error)
{
    if (part != QLatin1String("mount"))
        return SignalScene::adjust(part, words, values, error);
    MountErrors errors = m_mountErrors;
    if (!adjustMountErrors(words, &errors, error))
        return false;
    if (errors != m_mountErrors)
        setMountErrors(errors);
    values->clear();
    // To a thousandth of a degree, as far as a screw is ever turned.
    for (const auto& [name, degrees] : mountErrorValues(m_mountErrors))
        values->insert(name, std::round(degrees * 1000) / 1000);
    values->insert(QStringLiteral("latitude"), m_config.latitude);
    values->insert(QStringLiteral("longitude"), m_config.longitude);
    return true;
}

// The mount at the configured site, aligned as its errors say, and what it
// sees of the sky from there.
void PhysicalScene::place()
{
    m_mount = PolarMount(m_config.latitude, m_config.longitude);
    m_mount.setErrors(m_mountErrors);
    m_rangeKm.clear();
    m_visible.clear();
    m_byFrequency.clear();
    m_widestMHz = 0;
    m_atmosphereDb.clear();
    for (const SimSatellite& sat : m_sky.satellites) {
        m_rangeKm.append(m_mount.slantRangeKm(sat.longitude));
        m_visible.append(m_mount.visible(sat.longitude));
        // The lower the satellite, the longer its path through the air.
        m_atmosphereDb.append(AtmosphereDb - gasLossDb(ReferenceElevationDeg) +
                              gasLossDb(m_mount.satelliteElevationDeg(sat.longitude)));
    }
    for (int s = 0; s < m_sky.satellites.size(); ++s) {
        if (!m_visible.at(s))
            continue;
        const QVector<SimTransponder>& all = m_sky.satellites.at(s).transponders;
        for (const SimTransponder& tp : all) {
            // One carrier named twice goes out once, as its DVB-S2 entry.
            const bool named = std::any_of(all.cbegin(), all.cend(), [&](const SimTransponder& o) {
                return &o != &tp && sameCarrier(o, tp) &&
                       (o.dvbS2 > tp.dvbS2 || (o.dvbS2 == tp.dvbS2 && &o < &tp));
            });
            if (named)
                continue;
            const double occupied = OccupiedPerSymbol * tp.symbolRateKs / 1000.0;
            m_byFrequency.push_back({tp.frequencyMHz, occupied, s, &tp});
            m_widestMHz = std::max(m_widestMHz, occupied);
        }
    }
    std::sort(m_byFrequency.begin(), m_byFrequency.end(),
              [](const Entry& a, const Entry& b) { return a.frequencyMHz < b.frequencyMHz; });
    m_powerHz.assign(size_t(m_sky.satellites.size()), 0.0);
    m_powerRound.assign(size_t(m_sky.satellites.size()), 0);
}

double PhysicalScene::thresholdDb(int codeRate)
{
    // 1/2 .. 8/9; 4/5, 6/7 and 8/9 interpolated between the standard's rates.
    static const double thresholds[8] = {4.15, 5.89, 6.91, 7.4, 7.86, 8.2, 8.48, 8.9};
    return thresholds[std::clamp(codeRate, 0, 7)];
}

double PhysicalScene::carrierThresholdDb(const SimTransponder& transponder)
{
    if (!transponder.dvbS2)
        return thresholdDb(transponder.codeRate);
    return hw::modcod::qefEsN0Db(transponder.s2) + S2ImplementationLossDb;
}

bool PhysicalScene::sameCarrier(const SimTransponder& a, const SimTransponder& b)
{
    return a.vertical == b.vertical && std::abs(a.frequencyMHz - b.frequencyMHz) < 0.5 &&
           std::abs(a.symbolRateKs - b.symbolRateKs) <= 0.03 * a.symbolRateKs;
}

double PhysicalScene::patternDb(double offAxisDeg, double frequencyMHz) const
{
    const double theta = std::abs(offAxisDeg);
    const double u =
        M_PI * m_config.dishDiameterM * std::sin(theta * M_PI / 180.0) / wavelengthM(frequencyMHz);
    // Aperture illuminated as a pedestal plus a (1 - r^2) taper; each term's
    // normalised field, 2 J1(u)/u and 8 J2(u)/u^2, weighted by its share.
    double field = 1.0;
    if (u > 1e-6) {
        const double uniform = 2.0 * std::cyl_bessel_j(1.0, u) / u;
        const double tapered = 8.0 * std::cyl_bessel_j(2.0, u) / (u * u);
        field = (EdgeField * uniform + (1 - EdgeField) / 2 * tapered) /
                (EdgeField + (1 - EdgeField) / 2);
    }
    double power = field * field;
    if (theta >= 1.0) {
        // Far out, scattering from the feed and the struts and surface errors
        // fill the nulls: an average about 12 dB under the 29 - 25 log(theta)
        // dBi sidelobe envelope, never below -50 dB.
        const double gainDbi = toDb(
            Efficiency * std::pow(M_PI * m_config.dishDiameterM / wavelengthM(frequencyMHz), 2.0));
        power += toLinear(
            std::clamp(17.0 - 25.0 * std::log10(theta) - gainDbi, FarSidelobeFloorDb, -30.0));
    }
    return toDb(power);
}

double PhysicalScene::noiseRise()
{
    const double rain = std::max(0.0, m_config.field.rainFadeDb);
    const double elevation = m_mount.elevationDeg(m_motor.dishAngle());
    return (SystemNoiseK - ReferenceAntennaK + antennaNoiseK(elevation, rain)) / SystemNoiseK;
}

double PhysicalScene::clearSkyPenaltyDb(double elevationDeg)
{
    const double loss = gasLossDb(elevationDeg) - gasLossDb(ReferenceElevationDeg);
    const double noise = SystemNoiseK - ReferenceAntennaK + antennaNoiseK(elevationDeg, 0.0);
    return loss + toDb(noise / SystemNoiseK);
}

double PhysicalScene::polarisationFactor(bool carrierVertical, bool lnbVertical) const
{
    const double skew = m_config.field.skewDeg * M_PI / 180.0;
    if (carrierVertical == lnbVertical)
        return std::cos(skew) * std::cos(skew);
    return std::sin(skew) * std::sin(skew) + toLinear(LnbCrossPolarDb);
}

double PhysicalScene::carrierPowerHz(int satellite, double frequencyMHz)
{
    const SimSatellite& sat = m_sky.satellites.at(satellite);
    const double lambdaM = wavelengthM(frequencyMHz);
    const double gainDbi =
        toDb(Efficiency * std::pow(M_PI * m_config.dishDiameterM / lambdaM, 2.0));
    const double pathLossDb =
        toDb(std::pow(4 * M_PI * m_rangeKm.at(satellite) * 1000.0 / lambdaM, 2.0));
    const double pointing =
        patternDb(m_mount.pointingError(m_motor.dishAngle(), sat.longitude), frequencyMHz);
    return toLinear(sat.eirpDbw - pathLossDb - m_atmosphereDb.at(satellite) -
                    m_config.field.rainFadeDb + gainDbi + pointing - toDb(SystemNoiseK) +
                    BoltzmannDb);
}

// A satellite holds its power spectral density about constant: a narrow
// carrier gets the share of its bandwidth, not the whole transponder's power.
// The EIRP is that of a carrier filling a 36 MHz transponder (27500 kS/s).
double PhysicalScene::powerShare(const SimTransponder& transponder)
{
    return transponder.symbolRateKs / ReferenceSymbolRateKs;
}

double PhysicalScene::downlinkCnDb(const SimSatellite& satellite, const SimTransponder& transponder)
{
    const int index = int(&satellite - m_sky.satellites.constData());
    Q_ASSERT(index >= 0 && index < m_sky.satellites.size());
    return toDb(carrierPowerHz(index, transponder.frequencyMHz) * powerShare(transponder) *
                polarisationFactor(transponder.vertical, transponder.vertical) /
                (noiseRise() * transponder.symbolRateKs * 1000.0));
}

double PhysicalScene::esN0Db(const SimSatellite& satellite, const SimTransponder& transponder)
{
    const double downlink = toLinear(downlinkCnDb(satellite, transponder));
    return toDb(1.0 / (1.0 / downlink + 1.0 / toLinear(UplinkCnDb)));
}

double PhysicalScene::downlinkMHz(const TunerState& tuner) const
{
    const double lof = tuner.tone22k ? m_config.highBandLofMHz : m_config.lowBandLofMHz;
    return lof + m_config.field.lofOffsetMHz + tuner.ifKHz / 1000.0;
}

QVector<PhysicalScene::InBand> PhysicalScene::carriersInBand(const TunerState& tuner, double f,
                                                             double bandwidthMHz, double* signalHz,
                                                             int* best)
{
    const double tunedKs = std::max(1000.0, tuner.symbolRate / 1000.0);
    const bool lnbVertical = tuner.voltage < 16;
    const double uplinkNoise = 1.0 / toLinear(UplinkCnDb);
    QVector<InBand> inBand;
    ++m_round;
    const double reach = bandwidthMHz / 2 + m_widestMHz / 2;
    auto entry = std::lower_bound(
        m_byFrequency.cbegin(), m_byFrequency.cend(), f - reach,
        [](const Entry& e, double frequency) { return e.frequencyMHz < frequency; });
    for (; entry != m_byFrequency.cend() && entry->frequencyMHz <= f + reach; ++entry) {
        const SimTransponder& tp = *entry->transponder;
        const double overlap = overlapMHz(f, bandwidthMHz, tp.frequencyMHz, entry->occupiedMHz);
        if (overlap <= 0)
            continue;
        const size_t s = size_t(entry->satellite);
        if (m_powerRound[s] != m_round) {
            m_powerHz[s] = carrierPowerHz(entry->satellite, f);
            m_powerRound[s] = m_round;
        }
        const double power =
            m_powerHz[s] * powerShare(tp) * polarisationFactor(tp.vertical, lnbVertical);
        *signalHz += power * (1.0 + uplinkNoise) * std::min(1.0, overlap / entry->occupiedMHz);
        inBand.append({entry->satellite, &tp, power});
        const bool captured = std::abs(tp.frequencyMHz - f) <= captureMHz(tp.symbolRateKs) &&
                              std::abs(tp.symbolRateKs - tunedKs) <= 0.03 * tp.symbolRateKs;
        if (captured && (*best < 0 || power > inBand.at(*best).powerHz))
            *best = inBand.size() - 1;
    }
    return inBand;
}

// Other satellites count on either polarisation, the carrier's own satellite
// on the other one only.
Carrier PhysicalScene::against(const QVector<InBand>& inBand, int best, double noiseRise) const
{
    const InBand& wanted = inBand.at(best);
    const SimSatellite& own = m_sky.satellites.at(wanted.satellite);
    const double occupied = OccupiedPerSymbol * wanted.transponder->symbolRateKs / 1000.0;
    double interferenceHz = 0;
    for (const InBand& other : inBand) {
        if (&other == &wanted)
            continue;
        if (sameSlot(m_sky.satellites.at(other.satellite), own) &&
            other.transponder->vertical == wanted.transponder->vertical)
            continue; // the operator's own frequency plan keeps these apart
        const double otherOccupied = OccupiedPerSymbol * other.transponder->symbolRateKs / 1000.0;
        const double overlap = overlapMHz(wanted.transponder->frequencyMHz, occupied,
                                          other.transponder->frequencyMHz, otherOccupied);
        if (overlap > 0)
            interferenceHz += other.powerHz * std::min(1.0, overlap / otherOccupied);
    }
    const double uplinkNoise = 1.0 / toLinear(UplinkCnDb);
    const double cn = wanted.powerHz / (noiseRise * wanted.transponder->symbolRateKs * 1000.0);
    // Interference spread over the occupied band counts as extra noise density.
    const double iOverC = interferenceHz / wanted.powerHz / OccupiedPerSymbol;
    const double esN0 = toDb(1.0 / (1.0 / cn + uplinkNoise + iOverC));
    if (esN0 <= 0.0)
        return Carrier{}; // lost in the noise: nothing to recover
    return Carrier{&own, wanted.transponder, esN0, toDb(cn),
                   interferenceHz > 0 ? toDb(wanted.powerHz / interferenceHz) : 99.0};
}

PhysicalScene::Band PhysicalScene::measure(const TunerState& tuner)
{
    Band band;
    const double f = downlinkMHz(tuner);
    const double tunedKs = std::max(1000.0, tuner.symbolRate / 1000.0);
    const double bandwidthMHz = OccupiedPerSymbol * tunedKs / 1000.0 + 10.0;
    double signalHz = 0;
    int best = -1;
    const QVector<InBand> inBand = carriersInBand(tuner, f, bandwidthMHz, &signalHz, &best);
    const double rise = noiseRise();
    const double noiseHz = rise * bandwidthMHz * 1e6;
    band.powerRatio = (noiseHz + signalHz) / (bandwidthMHz * 1e6);
    band.signalDb = toDb(1.0 + signalHz / noiseHz);
    if (best >= 0)
        band.carrier = against(inBand, best, rise);
    return band;
}

Carrier PhysicalScene::tunedCarrier(const TunerState& tuner)
{
    if (!tuner.tuned || tuner.input != m_config.dishInput || !tuner.lnbPowered)
        return Carrier{};
    return measure(tuner).carrier;
}

void PhysicalScene::supplyChanged(int volts, qint64)
{
    m_motor.setSupply(volts);
}

int PhysicalScene::allowedStage(const Band& band, const TunerState& tuner) const
{
    const Carrier& carrier = band.carrier;
    const double esN0 = carrier.esN0Db;
    int allowed = band.signalDb > 0.5 ? 1 : 0;
    if (!carrier.transponder || !(esN0 > 1.0))
        return allowed;
    allowed = 2;
    // A DVB-S demodulator finds a DVB-S2 carrier but never decodes it.
    if (carrier.transponder->dvbS2 && !tuner.secondGeneration)
        return allowed;
    const double threshold = carrierThresholdDb(*carrier.transponder);
    // Lock is acquired at the threshold and held down to 1 dB below it.
    if (esN0 > threshold - 1.0)
        allowed = 3;
    if (esN0 > threshold - (m_locked ? 1.0 : 0.0))
        allowed = 5;
    return allowed;
}

int PhysicalScene::acquisitionLevel(const TunerState& tuner, qint64 nowMs, int allowed, bool s2)
{
    if (tuner.tunedAtMs != m_lastTune || allowed < 2) {
        // The chip starts its search with the tune.
        m_lastTune = tuner.tunedAtMs;
        m_acquireSince = allowed >= 2 ? tuner.tunedAtMs : -1;
    } else if (m_acquireSince < 0 || (m_locked && allowed < 5)) {
        m_acquireSince = nowMs; // searching afresh
    }
    const qint64 since = m_acquireSince < 0 ? 0 : nowMs - m_acquireSince;
    const qint64 lockAfter = s2 ? S2LockAfterMs : LockAfterMs;
    const qint64 syncAfter = s2 ? S2SyncAfterMs : SyncAfterMs;
    const qint64 frameAfter = s2 ? S2FrameAfterMs : ViterbiAfterMs;
    const int reached = since >= lockAfter        ? 5
                        : since >= syncAfter      ? 4
                        : since >= frameAfter     ? 3
                        : since >= CarrierAfterMs ? 2
                                                  : 1;
    return allowed >= 2 ? std::min(allowed, reached) : allowed;
}

Reception PhysicalScene::receive(const TunerState& tuner, qint64 nowMs)
{
    Reception r;
    const double scale = m_config.readingNoise;
    m_motor.angle(); // let the motor report an arrival on time
    if (!tuner.lnbPowered || tuner.input != m_config.dishInput) {
        // No supply, or an input with nothing behind it: no signal at all.
        r.agc = 8;
        r.agcNoise = 1.0 * scale;
        r.snr = SnrWithoutCarrier;
        r.snrNoise = 3.0 * scale;
        m_acquireSince = -1;
        m_locked = false;
        return r;
    }

    const Band band = tuner.tuned ? measure(tuner) : Band{};
    r.agc = AgcAtNoiseFloor + AgcPerDb * toDb(band.powerRatio);
    r.agcNoise = 1.5 * scale;
    const Carrier& carrier = band.carrier;
    const double esN0 = carrier.esN0Db;
    if (carrier.transponder) {
        r.snr = SnrAtZeroDb + SnrPerDb * esN0;
        r.snrNoise = SnrPerDb * 0.15 * scale;
    } else {
        r.snr = SnrWithoutCarrier;
        r.snrNoise = 3.0 * scale;
    }

    const bool s2 = carrier.transponder && carrier.transponder->dvbS2;
    const int level = acquisitionLevel(tuner, nowMs, allowedStage(band, tuner), s2);
    static const quint8 flags[6] = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F};
    r.status = flags[level];
    m_locked = level == 5;
    m_lockedTransponder = m_locked ? carrier.transponder : nullptr;

    if (level >= 3) {
        r.berCount = channelBitErrorRate(carrier) * 1e7;
        r.berNoise = 0.05 * scale;
        r.codeRate = carrier.transponder->codeRate;
    }
    if (level >= 4) {
        const double margin = esN0 - carrierThresholdDb(*carrier.transponder);
        r.ucbPerSecond = s2 ? s2UncorrectedPerSecond(*carrier.transponder, margin)
                            : uncorrectedPerSecond(margin);
    }
    return r;
}

bool PhysicalScene::lockedFormat(const TunerState& tuner, hw::SignalFormat* format)
{
    if (!m_locked || !m_lockedTransponder || !m_lockedTransponder->dvbS2 || !tuner.secondGeneration)
        return false;
    *format = m_lockedTransponder->s2;
    return true;
}

void PhysicalScene::masterCommand(const QByteArray& message, const TunerState&, qint64)
{
    m_motor.command(message);
}

bool PhysicalScene::network(const TunerState& tuner, hw::NetworkInfo* info)
{
    const Carrier carrier = tunedCarrier(tuner);
    if (!carrier.satellite || !carrier.transponder)
        return false;
    const int own = int(std::lround(carrier.satellite->longitude * 10));
    const int reported = m_config.nitPositionByPosition.value(own, own);
    if (reported == SimConfig::NoNit)
        return false;
    // The satellite's own name stands for its operator's network.
    info->networkId = quint16(own & 0xFFFF);
    info->name = carrier.satellite->name;
    info->orbitalPosition = reported / 10.0;
    info->providers = QStringList(carrier.satellite->name);
    return true;
}

} // namespace sim

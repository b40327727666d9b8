// How soon a goto on the full shipped sky ends: seeded gotos from the default
// site to satellites across the sky, each tuned to one of its own carriers
// (narrow and wide), through the session as the go button and "--remote go"
// run it, on a test clock. For each: the motor's true travel time, the first
// lock, and when the program takes the move to have ended (a waiting remote
// request replies then).
//
// bench_goto [--gotos N]   (60 by default)

#include "core/session.h"
#include "hw/cardlibrary.h"
#include "lists/satellitelist.h"
#include "settings/settingsstore.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

struct Goto
{
    bool narrow = false;
    bool locked = false;
    double travelS = 0; // the motor's, from the go to its stop
    double lockS = 0;   // from the go to the first lock
    double endS = 0;    // from the go to the end the program sees
};

struct Bench
{
    hw::ManualClock clock;
    std::unique_ptr<core::Session> session;
    sim::PhysicalScene* scene = nullptr;

    void pollFor(int ms)
    {
        for (int t = 0; t < ms; t += 250) {
            clock.advance(250);
            session->pollOnce();
        }
    }

    // One goto to the list's row, tuned to a carrier of the satellite.
    Goto run(int row, const sim::SimTransponder& tp)
    {
        session->chooseSatellite(row);
        session->setEntry(
            {QString::number(tp.frequencyMHz), QString::number(tp.symbolRateKs), !tp.vertical, {}});
        session->tune(); // remembered for the satellite; the goto tunes it again
        Goto g;
        g.narrow = tp.symbolRateKs < 5000;
        const qint64 start = clock.nowMs();
        session->go();
        qint64 lock = -1, stop = -1, end = -1;
        for (int t = 0; t < 200000 && (end < 0 || stop < 0); t += 250) {
            pollFor(250);
            const qint64 now = clock.nowMs();
            if (stop < 0 && !scene->motor().moving())
                stop = now;
            // The lock the goto ends on: the last run of it.
            if (!session->lastReading().locked)
                lock = -1;
            else if (lock < 0)
                lock = now;
            if (end < 0 && !session->positioner().motion().moving(now))
                end = now;
        }
        pollFor(5000); // the signal looked at before the next
        g.locked = lock >= 0;
        g.travelS = (stop - start) / 1000.0;
        g.lockS = (lock - start) / 1000.0;
        g.endS = (end - start) / 1000.0;
        return g;
    }
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.at(std::min(v.size() - 1, size_t(std::ceil(p * v.size())) - 1));
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("zenara.*=false"));
    int count = 60;
    const int at = app.arguments().indexOf(QStringLiteral("--gotos"));
    if (at > 0 && at + 1 < app.arguments().size())
        count = std::max(1, app.arguments().at(at + 1).toInt());

    const QString data = QStringLiteral(ZENARA_SOURCE_DIR "/data");
    QDir::setCurrent(data);
    Bench bench;
    sim::Sky sky = sim::Sky::fromFiles(data + QStringLiteral("/satlist.znr"),
                                       data + QStringLiteral("/Transponders/"), 50.0);
    auto scene = std::make_unique<sim::PhysicalScene>(bench.clock, sim::SimConfig{}, sky);
    bench.scene = scene.get();
    hw::CardLayer::install(std::make_unique<sim::SimCard>(bench.clock, std::move(scene)),
                           &bench.clock);
    bench.session = std::make_unique<core::Session>();
    bench.session->loadSettings();
    bench.session->openCard();
    bench.session->tune();

    // Satellites the list shows (visible from the site), each with its Ku
    // carriers narrow and wide.
    const SatelliteList& list = bench.session->satellites();
    struct Target
    {
        int row;
        QVector<sim::SimTransponder> narrow, wide;
    };
    QVector<Target> targets;
    for (int row = 1; row < list.shownNumbers.size(); ++row) {
        const int i = list.numbers.indexOf(list.shownNumbers.at(row));
        for (const sim::SimSatellite& sat : bench.scene->sky().satellites) {
            if (i < 0 || std::abs(sat.longitude - list.orbitalPositions.at(i)) > 0.05 ||
                bench.scene->mount().satelliteElevationDeg(sat.longitude) < 10)
                continue;
            Target t{row, {}, {}};
            for (const sim::SimTransponder& tp : sat.transponders)
                if (tp.frequencyMHz >= 10700 && tp.frequencyMHz <= 12750)
                    (tp.symbolRateKs < 5000 ? t.narrow : t.wide).append(tp);
            if (!t.narrow.isEmpty() || !t.wide.isEmpty())
                targets.append(t);
            break;
        }
    }
    std::mt19937 random(7);
    std::vector<Goto> gotos;
    for (int n = 0; n < count && !targets.isEmpty(); ++n) {
        const Target& t = targets.at(int(random() % quint32(targets.size())));
        const bool narrow = (n % 2 == 1 && !t.narrow.isEmpty()) || t.wide.isEmpty();
        const auto& pool = narrow ? t.narrow : t.wide;
        gotos.push_back(bench.run(t.row, pool.at(int(random() % quint32(pool.size())))));
    }

    std::printf("Gotos from 45.0N 42.0E over the shipped sky (%d satellites 10 degrees up or "
                "more), %zu gotos\n\n",
                int(targets.size()), gotos.size());
    std::printf("| carriers | gotos | locked | lock within travel + 1 s | end within 1 s of "
                "lock and arrival | end after arrival - 0.5 s | late end (95th pct) |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    bool met = true;
    for (const bool narrow : {false, true}) {
        int all = 0, locked = 0, lockOk = 0, endOk = 0, notEarly = 0;
        std::vector<double> late;
        for (const Goto& g : gotos) {
            if (g.narrow != narrow)
                continue;
            ++all;
            if (!g.locked)
                continue;
            ++locked;
            lockOk += g.lockS <= g.travelS + 1.0;
            const double reference = std::max(g.lockS, g.travelS);
            endOk += g.endS <= reference + 1.0;
            notEarly += g.endS >= g.travelS - 0.5;
            late.push_back(g.endS - reference);
        }
        std::printf("| %s | %d | %d | %d | %d | %d | %.2f s |\n",
                    narrow ? "narrow (< 5000 kS/s)" : "wide", all, locked, lockOk, endOk, notEarly,
                    percentile(late, 0.95));
        met = met && lockOk * 100 >= 95 * locked && endOk * 100 >= 95 * locked;
    }
    std::printf("\nlock within the travel + 1 s and the end within 1 s of it, in 95 %% of the "
                "gotos that lock: goal %s\n",
                met ? "met" : "NOT met");
    bench.session.reset();
    CDVBCommon::CloseDevice();
    hw::CardLayer::uninstall();
    return met ? 0 : 1;
}

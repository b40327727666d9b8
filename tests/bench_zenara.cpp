// Zenara's speed and size against its goals, in one run: the status poll's tick
// (its sleeps on a clock that does not wait), a replot of the full history with
// 50 markers, an LED meter repaint, start to a painted window, idle CPU at four
// polls a second, peak memory, and the simulator's speed.
//   bench_zenara [--idle-seconds N] [--starts N] [--screen]
// --screen runs the program on the display in $DISPLAY instead of offscreen.

#include "forms/zenaraform.h"
#include "hw/cardlibrary.h"
#include "sim/physicalscene.h"
#include "sim/simcard.h"
#include "simspeed.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimerEvent>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

double threadCpuMs()
{
    timespec ts = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Figure
{
    QString name;
    double value;
    double goal;
    QString unit;
    bool atMost; // the goal is a ceiling (else a floor)
    QString note;
};

void print(const Figure& f)
{
    const bool measured = f.value >= 0;
    const bool met =
        measured && (f.goal == 0 || (f.atMost ? f.value <= f.goal : f.value >= f.goal));
    const double ratio = f.goal != 0 ? f.value / f.goal : 0;
    std::printf("%-40s %10.3f %-6s goal %s %8.3f %-6s ratio %5.2f  %s%s\n", qPrintable(f.name),
                f.value, qPrintable(f.unit), f.atMost ? "<=" : ">=", f.goal, qPrintable(f.unit),
                ratio,
                !measured ? "NOT MEASURED"
                : met     ? "met"
                          : "MISSED",
                f.note.isEmpty() ? "" : qPrintable("  " + f.note));
    std::fflush(stdout);
}

// The window on the simulated card under the full sky, on a manual clock.
QList<Figure> inProcess(const QString& data)
{
    hw::ManualClock clock;
    sim::SimConfig config;
    sim::Sky sky = sim::Sky::fromFiles(data + QStringLiteral("satlist.znr"),
                                       data + QStringLiteral("Transponders/"), config.eirpDbw);
    hw::CardLayer::install(
        std::make_unique<sim::SimCard>(
            clock, std::make_unique<sim::PhysicalScene>(clock, config, std::move(sky))),
        &clock);
    auto form = std::make_unique<zenaraForm>();
    form->show();
    QApplication::processEvents();

    auto tick = [&] {
        clock.advance(250);
        QTimerEvent event(1);
        QCoreApplication::sendEvent(form.get(), &event);
    };
    // A full minute of history, with a marker every 1.2 s.
    for (int i = 0; i < 250; ++i) {
        tick();
        if (i % 5 == 0)
            form->addPlotMarker(QStringLiteral("Marker %1").arg(i));
        QApplication::processEvents();
    }

    constexpr int Ticks = 400;
    double tickMs = 0;
    double paintMs = 0;
    for (int i = 0; i < Ticks; ++i) {
        const double start = threadCpuMs();
        tick();
        const double ticked = threadCpuMs();
        tickMs += ticked - start;
        QApplication::processEvents(); // the repaints it asked for
        paintMs += threadCpuMs() - ticked;
    }
    // Keep 50 markers in the window for the replot.
    for (int i = 0; i < 50; ++i)
        form->addPlotMarker(QStringLiteral("Marker %1").arg(i));

    constexpr int Replots = 200;
    const int markers = int(form->history().plotMarkers().size());
    double replotMs = 0;
    for (int i = 0; i < Replots; ++i) {
        const double start = threadCpuMs();
        form->statusPlot->replot();
        form->statusPlot->canvas()->repaint();
        replotMs += threadCpuMs() - start;
    }
    const QSize plotSize = form->statusPlot->canvas()->size();

    constexpr int Repaints = 2000;
    double meterMs = 0;
    for (int i = 0; i < Repaints; ++i) {
        const double start = threadCpuMs();
        form->ledMeterAGC->repaint();
        meterMs += threadCpuMs() - start;
    }
    const QSize meterSize = form->ledMeterAGC->size();
    form.reset();
    hw::CardLayer::uninstall();

    return {
        {QStringLiteral("status-poll tick (sleeps stubbed)"), tickMs / Ticks, 0.5,
         QStringLiteral("ms"), true, QStringLiteral("mean of %1").arg(Ticks)},
        {QStringLiteral("repaints after a tick (no goal)"), paintMs / Ticks, 0,
         QStringLiteral("ms"), true,
         QStringLiteral("plot, meters, numbers and lamps, as one poll leaves them")},
        {QStringLiteral("replot, 3 x 241 points, markers"), replotMs / Replots, 2.0,
         QStringLiteral("ms"), true,
         QStringLiteral("%1 markers, canvas %2 x %3")
             .arg(markers)
             .arg(plotSize.width())
             .arg(plotSize.height())},
        {QStringLiteral("LED meter repaint"), meterMs / Repaints, 0.5, QStringLiteral("ms"), true,
         QStringLiteral("%1 x %2").arg(meterSize.width()).arg(meterSize.height())},
    };
}

// The program as a user starts it, in folders of its own.
class Program
{
public:
    Program(const QString& binary, const QString& runDir, bool screen)
        : m_binary(binary), m_runDir(runDir), m_screen(screen)
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("config"));
        QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
        ::chmod(QFile::encodeName(m_dir.filePath(QStringLiteral("runtime"))).constData(), 0700);
    }

    // Starts it; the time until it says its window is painted, or -1.
    double start()
    {
        QFile::remove(log());
        m_process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_dir.filePath(QStringLiteral("state")));
        if (!m_screen)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("QT_LOGGING_RULES")); // its "Window painted" line is wanted
        m_process->setProcessEnvironment(env);
        m_process->setWorkingDirectory(m_runDir);
        m_process->setStandardErrorFile(log());
        m_process->setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        m_process->start(m_binary, {QStringLiteral("--receiver"), QStringLiteral("sim")});
        while (timer.elapsed() < 30000) {
            QFile file(log());
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains("Window painted"))
                return timer.nsecsElapsed() / 1e6;
            QThread::usleep(500);
        }
        return -1;
    }
    void stop()
    {
        m_process->terminate();
        m_process->waitForFinished(30000);
    }
    // CPU seconds used so far (user and system).
    double cpuSeconds() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_process->processId()));
        if (!stat.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        // utime and stime are the 14th and 15th fields; the list starts at the 3rd.
        return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
    }
    double peakMegabytes() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_process->processId()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
        return -1;
    }

private:
    QString log() const { return m_dir.filePath(QStringLiteral("stderr.log")); }

    QTemporaryDir m_dir;
    QString m_binary;
    QString m_runDir;
    bool m_screen;
    std::unique_ptr<QProcess> m_process;
};

} // namespace

int main(int argc, char** argv)
{
    int idleSeconds = 30;
    int starts = 5;
    bool screen = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--idle-seconds" && i + 1 < argc)
            idleSeconds = std::max(1, atoi(argv[++i]));
        else if (a == "--starts" && i + 1 < argc)
            starts = std::max(1, atoi(argv[++i]));
        else if (a == "--screen")
            screen = true;
        else {
            std::fprintf(stderr,
                         "usage: bench_zenara [--idle-seconds N] [--starts N] [--screen]\n");
            return 2;
        }
    }
    // The window under test must not read or write the user's settings.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path()));
    if (!screen)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QApplication app(argc, argv);
    const QString data = QStringLiteral(ZENARA_SOURCE_DIR) + QStringLiteral("/data/");
    QDir::setCurrent(data); // the window reads satlist.znr from where it starts

    std::printf("Zenara benchmarks (%s, %s)\n", screen ? "on the screen" : "offscreen",
                ZENARA_BUILD_TYPE);
    for (const Figure& f : inProcess(data))
        print(f);

    Program program(QStringLiteral(ZENARA_BINARY), QStringLiteral(ZENARA_RUN_DIR), screen);
    QVector<double> startMs;
    for (int i = 0; i < starts; ++i) {
        startMs.append(program.start());
        if (i + 1 < starts)
            program.stop();
    }
    std::sort(startMs.begin(), startMs.end());
    print({QStringLiteral("start to a painted window"), startMs.at(startMs.size() / 2), 300,
           QStringLiteral("ms"), true,
           QStringLiteral("median of %1, %2 to %3")
               .arg(starts)
               .arg(startMs.first(), 0, 'f', 0)
               .arg(startMs.last(), 0, 'f', 0)});
    // The last start is left running, idle on the simulated receiver.
    QThread::sleep(3);
    const double before = program.cpuSeconds();
    QThread::sleep(unsigned(idleSeconds));
    const double used = program.cpuSeconds() - before;
    print({QStringLiteral("idle CPU at 4 polls a second"), 100.0 * used / idleSeconds, 1.0,
           QStringLiteral("%"), true, QStringLiteral("over %1 s").arg(idleSeconds)});
    print({QStringLiteral("peak resident memory"), program.peakMegabytes(), 60,
           QStringLiteral("MB"), true, QStringLiteral("after the idle period")});
    program.stop();

    int transponders = 0;
    const double factor = simulatorSpeed(data, &transponders);
    print({QStringLiteral("simulator, 60 s of polling, full sky"), factor, 100, QStringLiteral("x"),
           false, QStringLiteral("%1 transponders").arg(transponders)});
    return 0;
}

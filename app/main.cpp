#include "app/clitools.h"
#include "app/embeddedimages.h"
#include "app/firstpaint.h"
#include "app/frameplacer.h"
#include "app/geometry.h"
#include "app/logging.h"
#include "app/singleinstance.h"
#include "app/terminationwatcher.h"
#include "forms/remotecontrol.h"
#include "forms/zenaraform.h"
#include "hw/cardlibrary.h"
#include "hw/dvb/dvbreceiver.h"
#include "hw/receivers.h"
#include "settings/datafiles.h"
#include "settings/settingsstore.h"
#include "settings/textcodec.h"
#include "sim/simreceiver.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <QSplashScreen>
#include <QTranslator>

#include <cstdio>

namespace {

struct Options
{
    QString receiver;
    QString tracePath;
    QString simConfig;
    bool import = false;
    QStringList importFiles;
    QString into;
    bool force = false;
    bool strict = false;
    bool printSatellites = false;
    bool listReceivers = false;
    bool remote = false;
    QStringList remoteWords; // the command and its arguments, as typed
    QString logPath;
    QString site;
    QString printTransponders;
};

// --help and --version must work in a terminal without a display.
bool onlyPrints(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version" || arg == "-?" || arg == "--import" || arg == "--print-satellites" ||
            arg == "--list-receivers" || arg == "--remote" ||
            arg.startsWith("--print-transponders"))
            return true;
    }
    return false;
}

Options parseCommandLine(const QCoreApplication& app)
{
    // What follows --remote is the command's, taken as it stands: "-3.7" is a
    // value there, not an option.
    QStringList arguments = app.arguments();
    QStringList remoteWords;
    if (const int at = arguments.indexOf(QStringLiteral("--remote")); at > 0) {
        remoteWords = arguments.mid(at + 1);
        arguments = arguments.mid(0, at + 1);
    }
    QCommandLineParser parser;
    QStringList receivers;
    for (const QString& description : hw::receiverDescriptions())
        receivers.append(
            QCoreApplication::translate("Receivers", description.toUtf8().constData()));
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Zenara points a satellite dish: signal meter and "
                                            "DiSEqC 1.2/USALS positioner.") +
        QStringLiteral("\n\n") + QCoreApplication::translate("main", "Receivers:") +
        QLatin1Char('\n') + receivers.join(QLatin1Char('\n')));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption receiver(
        QStringLiteral("receiver"),
        QCoreApplication::translate("main", "The receiver to use (default: auto)."),
        QStringLiteral("name[,options]"), QStringLiteral("auto"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QCoreApplication::translate("main", "Append a CSV line per poll (time, transponder, flags, "
                                            "AGC, SNR, BER, blocks, markers) to <file>."),
        QStringLiteral("file"));
    const QCommandLineOption remote(
        QStringLiteral("remote"),
        QCoreApplication::translate("main", "Send a command to the running Zenara and print its "
                                            "reply as JSON (see the README for the commands)."));
    const QCommandLineOption listReceivers(
        QStringLiteral("list-receivers"),
        QCoreApplication::translate("main", "List the DVB frontends found, then exit."));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QCoreApplication::translate(
            "main", "Write every card operation to <file>, one line each, as it happens."),
        QStringLiteral("file"));
    const QCommandLineOption simConfig(
        QStringLiteral("sim-config"),
        QCoreApplication::translate(
            "main", "Site, dish, motor and sky of the simulated receiver (INI <file>)."),
        QStringLiteral("file"));
    const QCommandLineOption import(
        QStringLiteral("import"),
        QCoreApplication::translate(
            "main", "Turn the FILEs (Enigma2 satellites.xml, DVBv5 scan tables) into a "
                    "satellite list and transponder files in the --into folder."));
    const QCommandLineOption into(
        QStringLiteral("into"),
        QCoreApplication::translate("main", "Folder the --import writes to."),
        QStringLiteral("dir"));
    const QCommandLineOption force(
        QStringLiteral("force"),
        QCoreApplication::translate("main", "Let --import replace existing files (and "
                                            "keep the last of satellites read twice)."));
    const QCommandLineOption strict(
        QStringLiteral("strict"),
        QCoreApplication::translate("main", "Let --import write nothing when it would "
                                            "skip an entry."));
    const QCommandLineOption printSatellites(
        QStringLiteral("print-satellites"),
        QCoreApplication::translate("main",
                                    "Print the satellite list as the window shows it, then exit."));
    const QCommandLineOption site(
        QStringLiteral("site"),
        QCoreApplication::translate("main",
                                    "Site for --print-satellites instead of the configured one."),
        QStringLiteral("lat,lon"));
    const QCommandLineOption printTransponders(
        QStringLiteral("print-transponders"),
        QCoreApplication::translate(
            "main", "Print the transponders of a transponder file as the window shows "
                    "them, then exit."),
        QStringLiteral("file"));
    for (const auto* option :
         {&receiver, &remote, &listReceivers, &log, &trace, &simConfig, &import, &into, &force,
          &strict, &printSatellites, &site, &printTransponders})
        parser.addOption(*option);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QCoreApplication::translate("main", "Files to --import."),
                                 QStringLiteral("[FILE...]"));
    parser.process(arguments);
    Options o;
    o.receiver = parser.value(receiver);
    o.tracePath = parser.value(trace);
    o.simConfig = parser.value(simConfig);
    o.import = parser.isSet(import);
    o.importFiles = parser.positionalArguments();
    o.into = parser.value(into);
    o.force = parser.isSet(force);
    o.strict = parser.isSet(strict);
    o.printSatellites = parser.isSet(printSatellites);
    o.listReceivers = parser.isSet(listReceivers);
    o.remote = parser.isSet(remote);
    o.remoteWords = remoteWords;
    o.logPath = parser.value(log);
    o.site = parser.value(site);
    o.printTransponders = parser.value(printTransponders);
    return o;
}

void closeModalDialogs()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            dialog->reject();
    }
}

// "Translations/zenara_<locale>.qm" where the program finds its data: the
// working directory, the user's data folder, the installed data; and Qt's
// own, for its texts (--help, standard buttons).
void installTranslation(QTranslator* translator, QTranslator* qtTranslator)
{
    if (translator->load(QStringLiteral("zenara_") + QLocale::system().name(),
                         findDataFile(QStringLiteral("Translations"))))
        QCoreApplication::installTranslator(translator);
    if (qtTranslator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslator);
}

void setIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("zenara"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavarin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZENARA_VERSION));
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    sim::registerSimulatedReceiver();
    dvb::registerDvbReceivers();
    if (onlyPrints(argc, argv)) {
        QCoreApplication app(argc, argv);
        setIdentity();
        QTranslator translator, qtTranslator;
        installTranslation(&translator, &qtTranslator);
        const Options options = parseCommandLine(app); // --help and --version exit here
        if (options.import)
            return cli::importFiles(options.importFiles, options.into, options.force,
                                    options.strict);
        if (options.printSatellites)
            return cli::printSatellites(options.site);
        if (options.remote) {
            // zenara --remote COMMAND ARGS...: one request, the reply as JSON.
            const QStringList& words = options.remoteWords;
            if (words.isEmpty()) {
                std::fprintf(stderr,
                             "zenara: --remote needs a command, such as: --remote status\n");
                return 2;
            }
            SingleInstance instance(QStringLiteral("Zenara"));
            QByteArray reply;
            QString error;
            const int waitSeconds =
                words.first() == QLatin1String("wait-lock") ? words.value(1).toInt() : 0;
            if (!instance.sendRequest(RemoteControl::request(words.first(), words.mid(1)), &reply,
                                      (std::max(0, waitSeconds) + 600) * 1000, &error)) {
                std::fprintf(stderr, "zenara: %s\n", qPrintable(error));
                return 2;
            }
            std::printf("%s\n", reply.constData());
            return QJsonDocument::fromJson(reply).object().contains(QStringLiteral("error")) ? 1
                                                                                             : 0;
        }
        if (options.listReceivers) {
            const QStringList frontends = dvb::describeFrontends();
            for (const QString& line : frontends)
                std::printf("%s\n", qPrintable(line));
            if (frontends.isEmpty())
                std::printf("%s\n", qPrintable(QCoreApplication::translate(
                                        "main", "No DVB frontend found in /dev/dvb.")));
            return 0;
        }
        return cli::printTransponders(options.printTransponders);
    }

    QApplication app(argc, argv);
    // Before anything else: a signal during start-up must not be lost.
    TerminationWatcher termination;
    QPointer<QWidget> mainWindow;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &app,
                     [&mainWindow](int signalNumber) {
                         qCDebug(lcApp, "Signal %d: closing down", signalNumber);
                         // A message box (start-up, warning or fatal) runs its own
                         // event loop: close it, so that its caller goes on to the
                         // normal shutdown (or, for a fatal box, to the fatal exit).
                         closeModalDialogs();
                         if (mainWindow)
                             mainWindow->close();
                     });
    setIdentity();
    // Debug lines start with the operation that wrote them.
    if (qEnvironmentVariableIsEmpty("QT_MESSAGE_PATTERN"))
        qSetMessagePattern(QStringLiteral("%{message}"));

    auto translator = std::make_unique<QTranslator>();
    auto qtTranslator = std::make_unique<QTranslator>();
    installTranslation(translator.get(), qtTranslator.get());
    const Options options = parseCommandLine(app);

    SingleInstance instance(QStringLiteral("Zenara"));
    const auto signalled = [] {
        return TerminationWatcher::pending() != 0;
    };
    if (instance.sendMessage(QStringLiteral("Are you there?"), 5000, signalled)) {
        qWarning("Zenara is already running");
        return 0;
    }
    if (signalled()) // nothing read or opened yet
        return 0;
    if (!instance.listen())
        qCWarning(lcApp, "Cannot answer other copies on %s", qPrintable(instance.socketName()));

    QString error;
    QString receiverSpec = options.receiver;
    if (!options.simConfig.isEmpty())
        receiverSpec += QStringLiteral(",config=") + options.simConfig;
    auto backend = hw::createReceiver(receiverSpec, hw::CardLayer::clock(), &error);
    if (!backend) {
        std::fprintf(stderr, "zenara: %s\n", qPrintable(error));
        return 2;
    }
    hw::CardLayer::install(std::move(backend));
    if (!options.tracePath.isEmpty() && !hw::CardLayer::startTrace(options.tracePath, &error)) {
        std::fprintf(stderr, "zenara: cannot write the trace %s: %s\n",
                     qPrintable(options.tracePath), qPrintable(error));
        return 2;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);

    if (!dataCodec())
        qCWarning(lcApp, "The CP1251 text codec is missing; data files will be misread.");

    auto* splash = new QSplashScreen(EmbeddedImageFactory::pixmap(QStringLiteral("splash.png")));
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();

    auto settings = openSettings();
    const QScreen* screen = QGuiApplication::primaryScreen();
    QSize largestScreen;
    for (const QScreen* s : QGuiApplication::screens())
        largestScreen = largestScreen.expandedTo(s->size());
    const geometry::StoredGeometry stored =
        geometry::readStoredGeometry(*settings, screen->geometry(), largestScreen);
    const QRect desktop = screen->virtualGeometry();

    if (TerminationWatcher::pending()) {
        // Nothing has been read or opened yet, so there is nothing to save.
        qCDebug(lcApp, "Signal %d before the window: closing down", TerminationWatcher::pending());
        delete splash;
        return 0;
    }
    zenaraForm window;
    mainWindow = &window;
    if (!options.logPath.isEmpty())
        window.startSignalLog(options.logPath);
    instance.setActivationWindow(&window);
    // Owned by the window; a closing window answers every waiting request.
    QPointer<RemoteControl> remoteControl = new RemoteControl(window);
    instance.requestHandler = [remoteControl](const QByteArray& request,
                                              const SingleInstance::Reply& reply) {
        if (remoteControl)
            remoteControl->handle(request, reply);
        else
            reply(R"({"error":"Zenara is shutting down"})");
    };
    if (TerminationWatcher::pending()) {
        // Came while the window was being built (perhaps inside a message box):
        // the window's destruction is the normal shutdown.
        delete splash;
        QApplication::restoreOverrideCursor();
        return 0;
    }

    new FirstPaint(&window, sinceStart);
    if (stored.maximized) {
        window.showMaximized();
    } else {
        window.resize(stored.rect.size());
        // The stored point is the frame's corner, as saved.
        if (geometry::positionVisibleEnough(stored.rect, desktop)) {
            window.move(stored.rect.topLeft());
            new FramePlacer(&window, stored.rect.topLeft());
        }
        window.show();
    }
    splash->finish(&window);
    QApplication::restoreOverrideCursor();

    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    // Showing the window runs events (the splash waits for it), so a signal may
    // have been handled already, when quit() could not yet end a loop.
    if (TerminationWatcher::pending())
        return 0;
    return app.exec();
}

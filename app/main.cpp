#include "app/clitools.h"
#include "app/commandline.h"
#include "app/embeddedimages.h"
#include "app/firstpaint.h"
#include "app/frameplacer.h"
#include "app/geometry.h"
#include "app/logging.h"
#include "app/singleinstance.h"
#include "app/terminationwatcher.h"
#include "core/remotecontrol.h"
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
#include <QSplashScreen>
#include <QTranslator>
#include <QWindow>

#include <cstdio>

namespace {

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

QString applicationDescription()
{
    QStringList receivers;
    for (const QString& description : hw::receiverDescriptions())
        receivers.append(
            QCoreApplication::translate("Receivers", description.toUtf8().constData()));
    return QCoreApplication::translate("main", "Zenara points a satellite dish: signal meter "
                                               "and DiSEqC 1.2/USALS positioner.") +
           QStringLiteral("\n\n") + QCoreApplication::translate("main", "Receivers:") +
           QLatin1Char('\n') + receivers.join(QLatin1Char('\n'));
}

Options parseCommandLine(const QCoreApplication& app)
{
    // What follows --remote is the command's, taken as it stands: "-3.7" is a
    // value there, not an option.
    QStringList arguments = app.arguments();
    Options o;
    if (const int at = arguments.indexOf(QStringLiteral("--remote")); at > 0) {
        o.remoteWords = arguments.mid(at + 1);
        arguments = arguments.mid(0, at + 1);
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(applicationDescription());
    parser.addHelpOption();
    parser.addVersionOption();
    std::vector<QCommandLineOption> options;
    for (int i = 0; i < OptionRowCount; ++i) {
        const OptionRow& row = OptionRows[i];
        options.emplace_back(QLatin1String(row.name), QCoreApplication::translate("main", row.help),
                             row.valueName ? QLatin1String(row.valueName) : QString());
        if (row.text == &Options::receiver)
            options.back().setDefaultValue(QStringLiteral("auto"));
        parser.addOption(options.back());
    }
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QCoreApplication::translate("main", "Files to --import."),
                                 QStringLiteral("[FILE...]"));
    parser.process(arguments);
    for (std::size_t i = 0; i < options.size(); ++i) {
        const OptionRow& row = OptionRows[i];
        if (row.text)
            o.*row.text = parser.value(options[i]);
        else
            o.*row.flag = parser.isSet(options[i]);
    }
    o.importFiles = parser.positionalArguments();
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

// zenara --remote COMMAND ARGS...: one request, the reply as JSON.
int sendRemote(const QStringList& words)
{
    if (words.isEmpty()) {
        std::fprintf(stderr, "zenara: --remote needs a command, such as: --remote status\n");
        return 2;
    }
    // The commands come from the table, so help needs no running copy.
    if (words.first() == QLatin1String("help") && words.size() == 1) {
        const auto usage = [](const remotecommands::Command* c) {
            return (QLatin1String(c->name) + QLatin1Char(' ') + QLatin1String(c->arguments))
                .trimmed();
        };
        int width = 0;
        for (const remotecommands::Command* c : remotecommands::commands())
            width = std::max(width, int(usage(c).size()));
        for (const remotecommands::Command* c : remotecommands::commands())
            std::printf("%-*s  %s\n", width, qPrintable(usage(c)), c->what);
        return 0;
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
    return QJsonDocument::fromJson(reply).object().contains(QStringLiteral("error")) ? 1 : 0;
}

int listReceivers()
{
    const QStringList frontends = dvb::describeFrontends();
    for (const QString& line : frontends)
        std::printf("%s\n", qPrintable(line));
    if (frontends.isEmpty())
        std::printf("%s\n", qPrintable(QCoreApplication::translate(
                                "main", "No DVB frontend found in /dev/dvb.")));
    return 0;
}

// The modes that print and exit, without a display.
int runInTerminal(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setIdentity();
    QTranslator translator, qtTranslator;
    installTranslation(&translator, &qtTranslator);
    const Options options = parseCommandLine(app); // --help and --version exit here
    if (options.import)
        return cli::importFiles(options.importFiles, options.into, options.force, options.strict);
    if (options.printSatellites)
        return cli::printSatellites(options.site);
    if (options.remote)
        return sendRemote(options.remoteWords);
    if (options.listReceivers)
        return listReceivers();
    return cli::printTransponders(options.printTransponders);
}

// A mistyped option or a missing value is said on the terminal, with status
// 2, before anything needs a display.
bool commandLineReadable(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const int at = arguments.indexOf(QStringLiteral("--remote")); at > 0)
        arguments = arguments.mid(0, at + 1); // the command's words are its own
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    for (int i = 0; i < OptionRowCount; ++i)
        parser.addOption(QCommandLineOption(
            QLatin1String(OptionRows[i].name), QString(),
            OptionRows[i].valueName ? QLatin1String(OptionRows[i].valueName) : QString()));
    if (parser.parse(arguments))
        return true;
    std::fprintf(stderr, "zenara: %s\nTry 'zenara --help'.\n", qPrintable(parser.errorText()));
    return false;
}

// The receiver chosen, behind the card layer, and its trace; false (said on
// the terminal) when either cannot be had.
bool installReceiver(const Options& options)
{
    QString error;
    QString receiverSpec = options.receiver;
    if (!options.simConfig.isEmpty())
        receiverSpec += QStringLiteral(",config=") + options.simConfig;
    auto backend = hw::createReceiver(receiverSpec, hw::CardLayer::clock(), &error);
    if (!backend) {
        std::fprintf(stderr, "zenara: %s\n", qPrintable(error));
        return false;
    }
    hw::CardLayer::install(std::move(backend));
    if (!options.tracePath.isEmpty() && !hw::CardLayer::startTrace(options.tracePath, &error)) {
        std::fprintf(stderr, "zenara: cannot write the trace %s: %s\n",
                     qPrintable(options.tracePath), qPrintable(error));
        return false;
    }
    return true;
}

// Where the window was, from the store, fitted to the screens there are now.
geometry::StoredGeometry storedGeometry()
{
    auto settings = openSettings();
    const QScreen* screen = QGuiApplication::primaryScreen();
    QSize largestScreen;
    for (const QScreen* s : QGuiApplication::screens())
        largestScreen = largestScreen.expandedTo(s->size());
    return geometry::readStoredGeometry(*settings, screen->geometry(), largestScreen);
}

void showWindow(zenaraForm& window, const geometry::StoredGeometry& stored)
{
    if (stored.maximized) {
        window.showMaximized();
        return;
    }
    window.resize(stored.rect.size());
    // The stored point is the frame's corner, as saved.
    if (geometry::positionVisibleEnough(stored.rect,
                                        QGuiApplication::primaryScreen()->virtualGeometry())) {
        window.move(stored.rect.topLeft());
        new FramePlacer(&window, stored.rect.topLeft());
    }
    window.show();
}

// The remote socket's requests go to the window's session; a closing window
// answers every waiting request.
void serveRemoteRequests(SingleInstance& instance, zenaraForm& window)
{
    QPointer<RemoteControl> remoteControl = new RemoteControl(window.session(), &window);
    QObject::connect(&window, &zenaraForm::closing, remoteControl, &RemoteControl::shutDown);
    instance.requestHandler = [remoteControl](const QByteArray& request,
                                              const SingleInstance::Reply& reply) {
        if (remoteControl)
            remoteControl->handle(request, reply);
        else
            reply(R"({"error":"Zenara is shutting down"})");
    };
}

// --web: the phone meter served from the start; a bad address is said on the
// terminal (and in its window) and the program carries on.
void startPhoneMeter(zenaraForm& window, const QString& where)
{
    QString error;
    if (!where.isEmpty() && !window.startPhoneMeter(where, &error))
        std::fprintf(stderr, "zenara: %s\n", qPrintable(error));
}

// A signal closes the window, and with it the program, whatever is showing.
void closeOnSignal(TerminationWatcher& termination, QPointer<QWidget>* mainWindow)
{
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, qApp,
                     [mainWindow](int signalNumber) {
                         qCDebug(lcApp, "Signal %d: closing down", signalNumber);
                         // A message box (start-up, warning or fatal) runs its own
                         // event loop: close it, so that its caller goes on to the
                         // normal shutdown (or, for a fatal box, to the fatal exit).
                         closeModalDialogs();
                         if (*mainWindow)
                             (*mainWindow)->close();
                     });
}

// False when another copy answered (or a signal came meanwhile): this one ends.
bool becomeTheOnlyCopy(SingleInstance& instance)
{
    const auto signalled = [] {
        return TerminationWatcher::pending() != 0;
    };
    if (instance.sendMessage(QStringLiteral("Are you there?"), 5000, signalled)) {
        qWarning("Zenara is already running");
        return false;
    }
    if (signalled()) // nothing read or opened yet
        return false;
    if (!instance.listen())
        qCWarning(lcApp, "Cannot answer other copies on %s", qPrintable(instance.socketName()));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    sim::registerSimulatedReceiver();
    dvb::registerDvbReceivers();
    if (!commandLineReadable(argc, argv))
        return 2;
    if (onlyPrints(argc, argv))
        return runInTerminal(argc, argv);

    QApplication app(argc, argv);
    // Before anything else: a signal during start-up must not be lost.
    TerminationWatcher termination;
    QPointer<QWidget> mainWindow;
    closeOnSignal(termination, &mainWindow);
    setIdentity();
    // Debug lines start with the operation that wrote them.
    if (qEnvironmentVariableIsEmpty("QT_MESSAGE_PATTERN"))
        qSetMessagePattern(QStringLiteral("%{message}"));
    installTranslation(new QTranslator(&app), new QTranslator(&app));
    const Options options = parseCommandLine(app);

    SingleInstance instance(QStringLiteral("Zenara"));
    if (!becomeTheOnlyCopy(instance))
        return 0;
    if (!installReceiver(options))
        return 2;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!dataCodec())
        qCWarning(lcApp, "The CP1251 text codec is missing; data files will be misread.");
    auto* splash = new QSplashScreen(EmbeddedImageFactory::pixmap(QStringLiteral("splash.png")));
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    const geometry::StoredGeometry stored = storedGeometry();
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
    serveRemoteRequests(instance, window);
    startPhoneMeter(window, options.web);
    if (TerminationWatcher::pending()) {
        // Came while the window was being built (perhaps inside a message box):
        // the window's destruction is the normal shutdown.
        delete splash;
        QApplication::restoreOverrideCursor();
        return 0;
    }
    new FirstPaint(&window, sinceStart);
    showWindow(window, stored);
    splash->finish(&window);
    QApplication::restoreOverrideCursor();
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    // Showing the window runs events (the splash waits for it), so a signal may
    // have been handled already, when quit() could not yet end a loop.
    if (TerminationWatcher::pending())
        return 0;
    return app.exec();
}

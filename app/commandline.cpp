#include "app/commandline.h"

#include <QCoreApplication>

const OptionRow OptionRows[] = {
    {"receiver", QT_TRANSLATE_NOOP("main", "The receiver to use (default: auto)."),
     "name[,options]", &Options::receiver, nullptr},
    {"remote",
     QT_TRANSLATE_NOOP("main", "Send a command to the running Zenara and print its reply as "
                               "JSON (--remote help lists the commands)."),
     nullptr, nullptr, &Options::remote},
    {"list-receivers", QT_TRANSLATE_NOOP("main", "List the DVB frontends found, then exit."),
     nullptr, nullptr, &Options::listReceivers},
    {"log",
     QT_TRANSLATE_NOOP("main", "Append a CSV line per poll (time, transponder, flags, AGC, SNR, "
                               "BER, blocks, markers) to <file>."),
     "file", &Options::logPath, nullptr},
    {"web",
     QT_TRANSLATE_NOOP("main", "Serve the phone meter at [address:]port (this computer only "
                               "when no address is given); its window shows the link."),
     "[address:]port", &Options::web, nullptr},
    {"trace",
     QT_TRANSLATE_NOOP("main",
                       "Write every card operation to <file>, one line each, as it happens."),
     "file", &Options::tracePath, nullptr},
    {"sim-config",
     QT_TRANSLATE_NOOP("main", "Site, dish, motor and sky of the simulated receiver (INI <file>)."),
     "file", &Options::simConfig, nullptr},
    {"import",
     QT_TRANSLATE_NOOP("main", "Turn the FILEs (Enigma2 satellites.xml, DVBv5 scan tables) into "
                               "a satellite list and transponder files in the --into folder."),
     nullptr, nullptr, &Options::import},
    {"into", QT_TRANSLATE_NOOP("main", "Folder the --import writes to."), "dir", &Options::into,
     nullptr},
    {"force",
     QT_TRANSLATE_NOOP("main", "Let --import replace existing files (and keep the last of "
                               "satellites read twice)."),
     nullptr, nullptr, &Options::force},
    {"strict", QT_TRANSLATE_NOOP("main", "Let --import write nothing when it would skip an entry."),
     nullptr, nullptr, &Options::strict},
    {"print-satellites",
     QT_TRANSLATE_NOOP("main", "Print the satellite list as the window shows it, then exit."),
     nullptr, nullptr, &Options::printSatellites},
    {"site",
     QT_TRANSLATE_NOOP("main", "Site for --print-satellites instead of the configured one."),
     "lat,lon", &Options::site, nullptr},
    {"print-transponders",
     QT_TRANSLATE_NOOP("main", "Print the transponders of a transponder file as the window "
                               "shows them, then exit."),
     "file", &Options::printTransponders, nullptr},
};

const int OptionRowCount = int(sizeof OptionRows / sizeof OptionRows[0]);

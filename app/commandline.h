#pragma once

#include <QString>
#include <QStringList>

// The command line: what the options set, and one table of them from which
// --help and the manual page are both made.

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
    QString web;
};

// The options besides --help and --version, in the order --help lists them:
// a value goes to a text member, a switch to a flag.
struct OptionRow
{
    const char* name;
    const char* help;
    const char* valueName; // nullptr: a switch
    QString Options::*text;
    bool Options::*flag;
};
extern const OptionRow OptionRows[];
extern const int OptionRowCount;

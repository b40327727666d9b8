#pragma once

#include "hw/modcod.h"
#include <QByteArray>

#include <QString>
#include <QStringList>

// The requests of "zenara --remote": {"command": "...", "args": ["...", ...]}.
// parse() checks a request completely before the window acts on it, so the
// window only ever sees a known command with arguments of the right form.
namespace remote {

struct Request
{
    QString command;
    QStringList args;
    QString error; // not empty: refused, and this is the reply's error

    // The arguments, converted, where the command takes them:
    int number = -1;    // transponder MHz, position 0..60, autotune steps (-1: none)
    double value = 0;   // drive amount, wait-lock seconds, the value to set
    double degrees = 0; // satellite or drive-to position, east positive
    int driveMode = 0;  // 0 steps, 1 seconds, 2 degrees, 3 to an angle
    bool east = true;
    QString key;             // get/set: the setting's name without "Settings/"
    hw::SignalFormat format; // tune: DVB-S unless "S2 [MODULATION] [RATE]" follows
};

Request parse(const QByteArray& json);
QByteArray encode(const QString& command, const QStringList& args);

// "13.0E" or "5.0W" as degrees east; false when it is not a position.
bool parsePosition(const QString& text, double* degrees);

// The checks of the commands' arguments: each converts them into the request
// or sets its error.
namespace checks {
bool noArguments(Request* r);
bool tune(Request* r);
bool satellite(Request* r);
bool transponder(Request* r);
bool position(Request* r);
bool limit(Request* r);
bool raw(Request* r);
bool drive(Request* r);
bool driveTo(Request* r);
bool autotune(Request* r);
bool waitLock(Request* r);
bool setting(Request* r);
bool mount(Request* r);
bool calibrate(Request* r);
bool calibration(Request* r);
bool web(Request* r);
} // namespace checks

} // namespace remote

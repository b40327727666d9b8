#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// DiSEqC 1.2 positioner messages: framing, address, command and data bytes as
// they go on the cable.
namespace positioner {

constexpr quint8 FirstTransmission = 0xE0; // from master, no reply required
constexpr quint8 RepeatedTransmission = 0xE1;
constexpr quint8 AnyPositioner = 0x31;

enum Command : quint8 {
    Halt = 0x60,
    LimitsOff = 0x63,
    LimitEast = 0x66,
    LimitWest = 0x67,
    DriveEast = 0x68,
    DriveWest = 0x69,
    StorePosition = 0x6A,
    GotoPosition = 0x6B,
    GotoAngle = 0x6E,
};

constexpr int MaxChunkSteps = 128;        // one drive message moves at most this many steps
constexpr int MaxAngleSixteenths = 0xFFF; // the goto-angle field holds 12 bits

// E0 31 command, with an optional data byte.
QByteArray message(quint8 command);
QByteArray message(quint8 command, quint8 data);

// A drive of 1 to 128 steps: data 0xFF is one step, 0x80 is 128.
QByteArray driveSteps(bool east, int steps);
// A drive for a time-out in seconds (one byte).
QByteArray driveSeconds(bool east, int seconds);

// The drive direction code of the angular goto's first data byte: east 0xE0;
// west 0x00 for the "Typical" drive version (0) and 0xD0 for "STAB" (1).
quint8 directionCode(bool east, int driveVersion);
// The angular goto: the angle in sixteenths of a degree (truncated) in 12 bits.
// False, with *out untouched, for an angle the field cannot hold.
bool gotoAngle(bool east, double degrees, int driveVersion, QByteArray* out);

// The motor angle and its side ('E' or 'W', as any character after the degree
// sign) at the front of a satellite row's label, "[32.3°W]  13.0°E Hot Bird";
// false when the label carries none.
bool labelAngle(const QString& label, double* angle, QChar* side);

// A move cut into messages of at most 128 steps.
QVector<int> stepChunks(int steps);
// Steps for an amount in degrees; a product that comes out a hair under a
// whole number (25 x 1.16) counts as that number.
int degreesToSteps(double degrees, double stepsPerDegree);
// How long to wait after a chunk: (steps - 1) / steps per degree at the
// milliseconds one degree takes, rounded down.
qint64 chunkWaitMs(int chunkSteps, double stepsPerDegree, int msPerDegree);

// What the amount spin box offers in each drive mode (0 Steps, 1 Seconds,
// 2 Degrees, 3 Goto x.x°); not valid for another mode.
struct ModeRange
{
    bool valid = false;
    int minimum = 0;
    int maximum = 0;
    bool resetValue = false; // the amount starts again from 0
    bool decimals = false;   // the tenths box is in use
};
ModeRange modeRange(int mode, int maxAngle, double stepsPerDegree);

// What the six raw-data fields show for a message: "%.2X" per byte, empty
// beyond its length.
QStringList rawFieldTexts(const QByteArray& message);

struct RawMessage
{
    QByteArray bytes; // empty: nothing to send
    QString error;    // set when the fields cannot make a message
};
// The message typed in the six raw-data fields. The first three must be
// filled (else nothing is sent, without a word); the optional ones must not
// leave a gap, and every filled field must be hexadecimal.
RawMessage parseRawFields(const QStringList& fields);

} // namespace positioner

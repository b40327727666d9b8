#pragma once

#include "hw/modcod.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Turns satellite data users already have (an Enigma2/OpenPLi satellites.xml,
// DVBv5 scan tables) into Zenara's satellite list and transponder files.
namespace importer {

struct Transponder
{
    int frequencyMHz = 0;
    QChar polarization; // H, V, L or R
    int symbolRateKs = 0;
    // The system, code rate and, for DVB-S2, modulation, roll-off and pilots;
    // what the source does not say stays Auto.
    hw::SignalFormat format;
};

// Longer names are cut: no real satellite's comes near, and a name of
// megabytes would make every step after it slow.
constexpr int MaxNameLength = 100;

struct Satellite
{
    double position = 0; // degrees, east positive
    QString name;
    QVector<Transponder> transponders;
    QString source; // the file it was read from
};

// What a reader passed over: "FILE:LINE: what, entry skipped" lines.
struct Report
{
    static constexpr int WarningsPerFile = 20; // then one line says how many more
    QStringList warnings;
    int skipped = 0;
    QHash<QString, int> perFile; // warnings so far, by file
};

// Each reader takes every usable entry of a file and notes each one it skips
// in *report (when given). It returns false with "FILE:LINE: what is wrong" in
// *error, and adds nothing, only for a file that is not a satellite list at
// all (not XML of satellites, no entry with a frequency) or cannot be read.
bool readSatellitesXml(const QString& path, QVector<Satellite>* satellites, QString* error,
                       Report* report = nullptr);
bool readScanTable(const QString& path, QVector<Satellite>* satellites, QString* error,
                   Report* report = nullptr);
// By content: XML (after a byte-order mark, spaces or comments) or a scan table.
bool readAny(const QString& path, QVector<Satellite>* satellites, QString* error,
             Report* report = nullptr);

// Satellites read twice (the same position and name, from one file or two):
// with replace the last one read stays, else false with the pair in *error.
bool removeDuplicates(QVector<Satellite>* satellites, bool replace, QString* error);

// The file name a satellite's transponder file gets, unique within the list
// and against the (lower-case) names taken already.
QStringList transponderFileNames(const QVector<Satellite>& satellites,
                                 QSet<QString> taken = QSet<QString>());
// The satellite list ("n=pos;name;file" lines, numbered from firstNumber, after
// a comment line when header) and one transponder file.
QByteArray satelliteListText(const QVector<Satellite>& satellites, const QStringList& files,
                             int firstNumber = 0, bool header = true);
QByteArray transponderFileText(const Satellite& satellite);

// At most maxLength characters of a text for a message, with control
// characters (and those that reorder text) escaped as \x{..}.
QString escaped(const QString& text, int maxLength);
// The same, at most 80 characters, in double quotes.
QString quoted(const QString& text);

// Writes "satlist.znr" and the transponder files (in "Transponders/") into
// dir. A satellite list there already is added to: its lines stay, new
// satellites follow its highest number with transponder files of new names,
// and one it has (same position and name) gets the new transponders only
// with overwrite. All or nothing: everything is written into a staging folder inside dir
// first and moved into place only when all of it is written; after any
// failure dir is as it was. Existing files are replaced only with overwrite,
// and never when they are not plain files (a symbolic link is not followed).
// beforeMove (for tests) runs before the n-th file is moved into place.
bool writeFiles(const QVector<Satellite>& satellites, const QString& dir, bool overwrite,
                QStringList* written, QString* error,
                const std::function<void(int)>& beforeMove = {});

} // namespace importer

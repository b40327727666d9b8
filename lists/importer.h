#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Turns satellite data users already have (an Enigma2/OpenPLi satellites.xml,
// DVBv5 scan tables) into Zenara's satellite list and transponder files.
namespace importer {

struct Transponder
{
    int frequencyMHz = 0;
    QChar polarization; // H, V, L or R
    int symbolRateKs = 0;
    QString fec; // "34", "23", ... or "AUTO"
    bool dvbS2 = false;
};

struct Satellite
{
    double position = 0; // degrees, east positive
    QString name;
    QVector<Transponder> transponders;
};

// Each reader returns false with "FILE:LINE: what is wrong" in *error and adds
// nothing for a file it cannot take whole.
bool readSatellitesXml(const QString& path, QVector<Satellite>* satellites, QString* error);
bool readScanTable(const QString& path, QVector<Satellite>* satellites, QString* error);
// By content: XML or a scan table.
bool readAny(const QString& path, QVector<Satellite>* satellites, QString* error);

// The file name a satellite's transponder file gets, unique within the list.
QStringList transponderFileNames(const QVector<Satellite>& satellites);
// The satellite list ("n=pos;name;file" lines) and one transponder file.
QByteArray satelliteListText(const QVector<Satellite>& satellites, const QStringList& files);
QByteArray transponderFileText(const Satellite& satellite);

// Writes "satlist.znr" and the transponder files (in "Transponders/") into
// dir. Nothing is written if any of them exists already, unless overwrite.
bool writeFiles(const QVector<Satellite>& satellites, const QString& dir, bool overwrite,
                QStringList* written, QString* error);

} // namespace importer

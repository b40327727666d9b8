#pragma once

#include <QString>
#include <QStringList>

// Terminal modes of the program: they print or write files and exit, without
// a window and without opening the card.
namespace cli {

// Imports satellites.xml files and DVBv5 scan tables into DIR: every usable
// entry, a warning for each one skipped (with strict, any warning stops the
// import), then a summary line.
int importFiles(const QStringList& files, const QString& into, bool force, bool strict);
// The satellite combo box labels for the configured site, or for "LAT,LON".
int printSatellites(const QString& site);
// The transponder combo box entries of one transponder file.
int printTransponders(const QString& file);

} // namespace cli

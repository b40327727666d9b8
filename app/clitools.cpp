#include "app/clitools.h"

#include "lists/importer.h"
#include "lists/satellitelist.h"
#include "lists/transponderlist.h"
#include "settings/datafiles.h"
#include "settings/settingsstore.h"

#include <QFileInfo>
#include <QTextStream>

#include <cmath>
#include <limits>
#include <cstdio>

namespace cli {
namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    stream.setCodec("UTF-8");
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    stream.setCodec("UTF-8");
    return stream;
}

} // namespace

int importFiles(const QStringList& files, const QString& into, bool force, bool strict)
{
    if (files.isEmpty() || into.isEmpty()) {
        err() << "zenara: --import needs at least one FILE and --into DIR\n";
        return 2;
    }
    QVector<importer::Satellite> satellites;
    importer::Report report;
    for (const QString& file : files) {
        QString error;
        if (!importer::readAny(file, &satellites, &error, &report)) {
            err() << "zenara: " << error << "\nNothing was written.\n";
            return 1;
        }
    }
    for (const QString& warning : report.warnings)
        err() << "zenara: " << warning << '\n';
    if (strict && !report.warnings.isEmpty()) {
        err() << "zenara: --strict: " << report.warnings.size()
              << " warnings; nothing was written.\n";
        return 1;
    }
    QString error;
    if (!importer::removeDuplicates(&satellites, force, &error)) {
        err() << "zenara: " << error << "\nNothing was written.\n";
        return 1;
    }
    QStringList written;
    if (!importer::writeFiles(satellites, into, force, &written, &error)) {
        err() << "zenara: " << error << '\n';
        return 1;
    }
    int transponders = 0;
    for (const auto& sat : satellites)
        transponders += sat.transponders.size();
    out() << "Wrote " << satellites.size() << " satellites with " << transponders
          << " transponders to " << into << "; " << report.skipped << " entries skipped\n";
    return 0;
}

int printSatellites(const QString& site)
{
    double latitude = SatelliteList::DefaultLatitude;
    double longitude = SatelliteList::DefaultLongitude;
    QString motorPositions;
    double minElevation = 0.0;
    {
        const auto settings = openSettings();
        const StoredSettings stored = readSettings(*settings);
        latitude = stored.options.latitude;
        longitude = stored.options.longitude;
        motorPositions = stored.motorPositions;
        minElevation = stored.options.minElevation;
    }
    if (!site.isEmpty()) {
        const QStringList parts = site.split(QLatin1Char(','));
        bool okLat = false, okLon = false;
        if (parts.size() == 2) {
            latitude = parts.at(0).trimmed().toDouble(&okLat);
            longitude = parts.at(1).trimmed().toDouble(&okLon);
        }
        // "nan" and "inf" convert, but are no place on Earth.
        if (!okLat || !okLon || !std::isfinite(latitude) || !std::isfinite(longitude) ||
            latitude < -90 || latitude > 90 || longitude < -180 || longitude > 360) {
            err() << "zenara: --site takes LAT,LON in degrees (north and east positive), "
                     "not \""
                  << site << "\"\n";
            return 2;
        }
    }
    const QString path = findDataFile(QStringLiteral("satlist.znr"));
    if (!QFileInfo::exists(path)) {
        err() << "zenara: no satlist.znr in the working directory or the data folders\n";
        return 1;
    }
    SatelliteList list;
    list.setSiteLatitude(latitude);
    list.setSiteLongitude(longitude);
    list.setMinimumElevation(minElevation);
    list.loadFile(path);
    if (!motorPositions.isEmpty())
        list.parseStoredPositions(motorPositions);
    // A name is text from a file: nothing in it may steer the terminal.
    for (int i = 1; i < list.labels.size(); ++i)
        out() << importer::escaped(list.labels.at(i), std::numeric_limits<int>::max()) << '\n';
    return 0;
}

int printTransponders(const QString& file)
{
    QStringList entries;
    if (!transponders::readEntries(file, &entries)) {
        err() << "zenara: cannot read " << file << '\n';
        return 1;
    }
    for (int i = 1; i < entries.size(); ++i)
        out() << entries.at(i) << '\n';
    return 0;
}

} // namespace cli

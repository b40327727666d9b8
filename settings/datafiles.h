#pragma once

#include <QString>

// Where the program's data files are found: the working directory first, then
// the user's data folder (~/.local/share/zenara), then the installed data
// folder. Returns the first existing path, or the name itself when none exists
// (so that messages still name the file asked for).
QString findDataFile(const QString& relativeName);

// The transponders directory: an absolute path as it stands; a relative one
// against the folder where the satellite list was found. Ends with a separator.
QString resolveTranspondersPath(const QString& transpondersPath, const QString& satelliteListPath);

#pragma once

#include <QString>
#include <QStringList>

// The folders searched after the working directory, in order: the user's data
// folder ($XDG_DATA_HOME/zenara, by default ~/.local/share/zenara), the system
// data folders ($XDG_DATA_DIRS, each with /zenara), then the installed one.
QStringList dataFolders();

// Where the program's data files are found: the working directory first, then
// dataFolders(). Returns the first existing path, or the name itself when none
// exists (so that messages still name the file asked for).
QString findDataFile(const QString& relativeName);

// The transponders directory: an absolute path as it stands; a relative one
// against the folder where the satellite list was found. Ends with a separator.
QString resolveTranspondersPath(const QString& transpondersPath, const QString& satelliteListPath);

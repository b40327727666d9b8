#pragma once

#include <QString>
#include <QStringList>

namespace transponders {

// The combo box entries of a transponder file: the empty entry, then
// "freq, pol, sr" for each usable line. False (entries untouched) when the file
// is missing or unreadable, with the debug line that says which.
bool readEntries(const QString& path, QStringList* entries);

// Frequency, polarisation letter and symbol rate of an entry ("f, p, s") or a
// remembered transponder ("f,p,s"); ok is false when the text has no such form.
struct Fields
{
    QString frequency;
    QString polarization;
    QString symbolRate;
    bool ok = false;
    bool vertical() const { return polarization == QLatin1String("V"); }
};
Fields parseEntry(const QString& entry);
Fields parseRemembered(const QString& remembered);

} // namespace transponders

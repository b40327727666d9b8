#pragma once

#include "hw/modcod.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace transponders {

// One usable line of a transponder file: the three fields as written, and
// what the rest of the line says of the carrier (DVB-S when it says nothing).
struct Transponder
{
    QString frequency;
    QString polarization;
    QString symbolRate;
    hw::SignalFormat format;
};

// The usable lines of a transponder file, in file order; false (list
// untouched) when the file is missing or unreadable.
bool readTransponders(const QString& path, QVector<Transponder>* list);
// The combo box entry: "11012, H, 30000", with " · S2 8PSK" for DVB-S2.
QString entryText(const Transponder& transponder);

// The combo box entries of a transponder file: the empty entry, then
// "freq, pol, sr" for each usable line. False (entries untouched) when the file
// is missing or unreadable, with the debug line that says which.
bool readEntries(const QString& path, QStringList* entries);

// Frequency, polarisation letter and symbol rate of an entry ("f, p, s", and
// whatever follows " · ") or a
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

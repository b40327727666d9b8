// The two list values of the settings file: the stored motor positions (first
// part, up to a NUL byte) and the remembered transponders (the rest, one a line).
#include "fuzzsupport.h"
#include "lists/satellitelist.h"
#include "lists/transponderlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    const QByteArray input = fuzz::bytes(data, size);
    const int cut = input.indexOf('\0');
    const QString positions = QString::fromUtf8(cut < 0 ? input : input.left(cut));
    const QStringList saved =
        cut < 0 ? QStringList() : QString::fromUtf8(input.mid(cut + 1)).split(QLatin1Char('\n'));

    SatelliteList list;
    list.setLocation(42.0, 45.0);
    for (int n = 1; n <= 5; ++n)
        list.addSatellite(n, QStringLiteral("Sat %1").arg(n), 5.0 * n, QStringLiteral("f.ini"));
    list.parseStoredPositions(positions);
    list.applySavedTransponders(saved);
    list.computeAngles();
    list.buildLabels();
    list.markStoredPositions();
    for (int n = 0; n <= 6; ++n) {
        (void)list.storedPositionOf(n);
        (void)transponders::parseRemembered(list.lastTransponderOf(n));
    }
    (void)list.storedPositionsText();
    return 0;
}

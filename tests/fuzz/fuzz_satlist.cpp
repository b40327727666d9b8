// The satellite list file: read it, work out what is visible from a few sites,
// and parse the angle back out of every label the combo boxes would show.
#include "fuzzsupport.h"
#include "lists/satellitelist.h"
#include "positioner/commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    const QString path = fuzz::asFile(data, size);
    for (const auto& site : {std::pair<double, double>{42.0, 45.0}, {18.4, -33.9}, {0.0, 0.0}}) {
        SatelliteList list;
        list.setLocation(site.first, site.second);
        list.loadFile(path);
        for (const QString& label : list.labels) {
            double angle = 0;
            QChar side;
            positioner::labelAngle(label, &angle, &side);
        }
        list.parseStoredPositions(QStringLiteral("1\n2\n3\n"));
        list.markStoredPositions();
    }
    return 0;
}

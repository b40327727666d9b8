// The settings file as a whole: every key read with its type and range, then
// the two lists applied as the window applies them at start-up.
#include "fuzzsupport.h"
#include "lists/satellitelist.h"
#include "settings/optionvalues.h"
#include "settings/settingsstore.h"

#include <QSettings>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    const QSettings ini(fuzz::asFile(data, size, ".ini"), QSettings::IniFormat);
    const StoredSettings s = readSettings(ini);

    // A site the options dialog would take, as the window needs to compute angles.
    const optionvalues::Values& v = s.options;
    auto takes = [](const char* key, double value) {
        return optionvalues::refusal(*optionvalues::findKey(QLatin1String(key)), value).isEmpty();
    };
    if (takes("LocationLongitude", v.longitude) && takes("LocationLatitude", v.latitude)) {
        SatelliteList list;
        list.setLocation(v.longitude, v.latitude);
        list.addSatellite(1, QStringLiteral("A"), 13.0, QStringLiteral("a.ini"));
        list.addSatellite(2, QStringLiteral("B"), -30.0, QStringLiteral("b.ini"));
        list.parseStoredPositions(s.motorPositions);
        list.applySavedTransponders(s.freqList);
        list.computeAngles();
        list.buildLabels();
        list.markStoredPositions();
    }
    (void)optionvalues::oneDecimalText(s.options.latitude);
    (void)optionvalues::twoDecimalText(s.options.oneDegreSteps);
    return 0;
}

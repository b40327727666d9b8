// A transponder file: the combo box entries, and each entry taken apart as the
// window does when one is chosen.
#include "fuzzsupport.h"
#include "lists/transponderlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    QStringList entries;
    if (!transponders::readEntries(fuzz::asFile(data, size), &entries))
        return 0;
    for (const QString& entry : entries) {
        const transponders::Fields f = transponders::parseEntry(entry);
        if (f.ok)
            (void)f.frequency.toUInt();
    }
    return 0;
}

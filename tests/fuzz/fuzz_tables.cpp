// What the demux delivers: NIT and SDT sections, taken apart with libdvbv5 as
// the network check does. The first byte picks the table the rest is read as.
#include "fuzzsupport.h"
#include "hw/dvb/dvbnetwork.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    const QByteArray section = fuzz::bytes(data, size);
    hw::NetworkInfo info;
    if (dvb::networkFromNit(section, &info))
        (void)info.name.size();
    // The stream an SDT names, and the NIT read for that stream.
    const dvb::Transport transport = dvb::transportFromSdt(section);
    if (transport.known && dvb::networkFromNit(section, &info, transport))
        (void)info.orbitalPosition;
    (void)dvb::providersFromSdt(section);
    return 0;
}

// The --receiver string and a dvb-fake script: the string picks and sets up a
// back end (first line of the input), the script (the rest) describes a frontend
// that is then opened, tuned and measured.
#include "fuzzsupport.h"
#include "hw/dvb/dvbreceiver.h"
#include "hw/dvb/fakefrontend.h"
#include "hw/receivers.h"
#include "sim/simreceiver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    static const bool registered = [] {
        sim::registerSimulatedReceiver();
        dvb::registerDvbReceivers();
        return true;
    }();
    (void)registered;
    const QByteArray input = fuzz::bytes(data, size);
    const int cut = input.indexOf('\n');
    QString text = QString::fromUtf8(cut < 0 ? input : input.left(cut));
    const QByteArray script = cut < 0 ? QByteArray() : input.mid(cut + 1);
    const QString scriptPath = fuzz::asFile(reinterpret_cast<const uint8_t*>(script.constData()),
                                            size_t(script.size()), ".ini");
    // Real devices are not for the fuzzer; the script stands in for one.
    if (text.startsWith(QLatin1String("dvb")) || text.startsWith(QLatin1String("auto")))
        text = QStringLiteral("dvb-fake:") + scriptPath;
    else
        text.replace(QLatin1String("@SCRIPT@"), scriptPath);
    hw::ManualClock clock;
    QString error;
    std::unique_ptr<hw::CardBackend> card = hw::createReceiver(text, clock, &error);
    if (!card)
        return 0;
    quint8 status = 0;
    if (card->open() && card->initFrontend(&status) == 0 && card->busReachable()) {
        hw::ChannelRecord channel;
        channel.frequencyKHz = 11766000;
        channel.symbolRate = 27500000;
        channel.lofKHz = 10600000;
        channel.highBand = 1;
        channel.voltage = 18;
        card->setChannel(channel);
        const quint8 goto10E[] = {0xE0, 0x31, 0x6E, 0x0A, 0x30};
        card->sendDiseqc(goto10E, int(sizeof(goto10E)), 0xFF);
        for (int i = 0; i < 4; ++i) {
            clock.advance(250);
            for (quint8 reg : {0x0E, 0x1C, 0x1D, 0x19, 0x1A, 0x1B, 0x18, 0x0D}) {
                quint8 value = 0;
                card->busRead(0x1C, &reg, 1, &value, 1);
            }
        }
    }
    card->close();
    return 0;
}

// The six raw-data fields (one a line) and the satellite labels a goto reads
// its angle from.
#include "fuzzsupport.h"
#include "positioner/commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    QStringList fields = text.split(QLatin1Char('\n'));
    while (fields.size() < 6)
        fields.append(QString());
    const positioner::RawMessage raw = positioner::parseRawFields(fields.mid(0, 6));
    if (raw.error.isEmpty())
        (void)positioner::rawFieldTexts(raw.bytes);
    double angle = 0;
    QChar side;
    if (positioner::labelAngle(text, &angle, &side)) {
        QByteArray message;
        positioner::gotoAngle(side == QLatin1Char('E'), angle, 0, &message);
    }
    return 0;
}

#include "settings/textcodec.h"

#include <QTextCodec>

QTextCodec* dataCodec()
{
    static QTextCodec* codec = QTextCodec::codecForName("CP1251");
    return codec;
}

#include "settings/textcodec.h"

#include "settings/safefile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextCodec>

#include <charconv>

QTextCodec* dataCodec()
{
    static QTextCodec* codec = QTextCodec::codecForName("CP1251");
    return codec;
}

bool readDataFileLines(const QString& path, QStringList* lines, QString* why)
{
    QByteArray bytes;
    QString error;
    if (!safefile::readRegular(path, &bytes, &error)) {
        if (why)
            *why = error;
        return false;
    }
    *lines = dataLines(bytes);
    return true;
}

QStringList dataLines(const QByteArray& bytes)
{
    QTextCodec* codec = dataCodec();
    const QString text = codec ? codec->toUnicode(bytes) : QString::fromLatin1(bytes);
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineEnd);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // after the last line end
    return lines;
}

QString oneDecimal(double value)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    if (result.ec != std::errc())
        return QStringLiteral("nan");
    return QString::fromLatin1(text, int(result.ptr - text));
}

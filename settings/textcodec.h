#pragma once

#include <QStringList>

class QTextCodec;

// The 8-bit data files (satellite list, transponder files) are Windows-1251
// text. Null only if the Qt build lacks that codec.
QTextCodec* dataCodec();

// The lines of a data file, decoded; a line ends with LF, CRLF or a lone CR
// (files from old Macs and some editors), and the last line needs none. False
// when the file cannot be read (*why says why: not a regular file, too large).
bool readDataFileLines(const QString& path, QStringList* lines, QString* why = nullptr);
// The same for a data file's bytes already read.
QStringList dataLines(const QByteArray& bytes);

// A number with one decimal as the data files and labels write it: a point
// whatever the locale, exact binary ties rounded to even (19.25 is "19.2"), as
// the C library prints "%.1f" in the C locale.
QString oneDecimal(double value);

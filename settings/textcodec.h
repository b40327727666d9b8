#pragma once

#include <QStringList>

class QTextCodec;

// The 8-bit data files (satellite list, transponder files) are Windows-1251
// text. Null only if the Qt build lacks that codec.
QTextCodec* dataCodec();

// The lines of a data file, decoded; a line ends with LF, CRLF or a lone CR
// (files from old Macs and some editors). False when the file cannot be read.
bool readDataFileLines(const QString& path, QStringList* lines);

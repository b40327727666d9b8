#pragma once

class QTextCodec;

// The 8-bit data files (satellite list, transponder files) are Windows-1251
// text. Null only if the Qt build lacks that codec.
QTextCodec* dataCodec();

#pragma once

#include <QImage>
#include <QString>

namespace web {

// The text as a QR code (medium error correction, so a phone reads it off a
// screen at an angle): black modules on white with the four-module quiet
// zone, each module scale pixels square. A null image when the text is too
// long for any QR code.
QImage qrImage(const QString& text, int scale);

} // namespace web

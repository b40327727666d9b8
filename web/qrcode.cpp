#include "web/qrcode.h"

#include <qrencode.h>

#include <memory>

namespace web {

QImage qrImage(const QString& text, int scale)
{
    const QByteArray bytes = text.toUtf8();
    std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code || scale < 1)
        return QImage();
    constexpr int Quiet = 4;
    const int side = (code->width + 2 * Quiet) * scale;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1) // bit 0: a dark module
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx)
                        image.setPixel((x + Quiet) * scale + dx, (y + Quiet) * scale + dy,
                                       qRgb(0, 0, 0));
    return image;
}

} // namespace web

// Draws the program's built-in images and writes them, with a resource list,
// into the output directory given as the only argument. Everything is drawn
// from primitives and a small pixel font, so the result does not depend on the
// fonts installed on the build machine.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextStream>

#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor BerGreen(0, 200, 0);
const QColor AgcYellow(255, 215, 0);
const QColor SnrBlue(40, 110, 255);

// 5x7 glyphs, one string per row, '#' = lit.
const QHash<QChar, QStringList>& font()
{
    static const QHash<QChar, QStringList> glyphs = {
        {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
        {'D', {"#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "}},
        {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
        {'G', {" ####", "#    ", "#    ", "# ###", "#   #", "#   #", " ### "}},
        {'H', {"#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
        {'I', {" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
        {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
        {'M', {"#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"}},
        {'N', {"#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"}},
        {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
        {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
        {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
        {'T', {"#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "}},
        {'V', {"#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "}},
        {'Z', {"#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"}},
        {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
        {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
        {'.', {"     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "}},
        {' ', {"     ", "     ", "     ", "     ", "     ", "     ", "     "}},
    };
    return glyphs;
}

int textWidth(const QString& text, int scale)
{
    return text.size() * 6 * scale - scale;
}

void drawText(QPainter& p, const QString& text, int x, int y, int scale, const QColor& colour)
{
    for (const QChar c : text) {
        const QStringList rows = font().value(c, font().value(' '));
        for (int row = 0; row < rows.size(); ++row) {
            for (int col = 0; col < rows[row].size(); ++col) {
                if (rows[row][col] == '#')
                    p.fillRect(x + col * scale, y + row * scale, scale, scale, colour);
            }
        }
        x += 6 * scale;
    }
}

QImage canvas(int w, int h, QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(w, h, format);
    image.fill(Qt::transparent);
    return image;
}

void paint(QImage& image, const std::function<void(QPainter&)>& draw)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
}

// A parabolic dish on its arm, facing up-left.
void drawDish(QPainter& p, const QRectF& box, const QColor& body, const QColor& edge)
{
    const qreal w = box.width(), h = box.height();
    p.save();
    p.translate(box.topLeft());
    p.setPen(QPen(edge, std::max<qreal>(1.0, w / 20)));
    p.setBrush(body);
    p.save();
    p.translate(w * 0.45, h * 0.45);
    p.rotate(-35);
    p.drawEllipse(QRectF(-w * 0.42, -h * 0.18, w * 0.84, h * 0.36));
    p.restore();
    p.setPen(QPen(edge, std::max<qreal>(1.0, w / 16), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(w * 0.45, h * 0.45), QPointF(w * 0.78, h * 0.18));
    p.drawLine(QPointF(w * 0.5, h * 0.55), QPointF(w * 0.55, h * 0.95));
    p.drawLine(QPointF(w * 0.3, h * 0.95), QPointF(w * 0.8, h * 0.95));
    p.restore();
}

QImage splash()
{
    const int w = 274, h = 201;
    QImage rgb(w, h, QImage::Format_RGB32);
    paint(rgb, [&](QPainter& p) {
        QLinearGradient sky(0, 0, 0, h);
        sky.setColorAt(0, QColor(8, 20, 60));
        sky.setColorAt(1, QColor(20, 70, 140));
        p.fillRect(rgb.rect(), sky);
        // The geostationary arc with a few satellites on it.
        p.setPen(QPen(QColor(150, 180, 230), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(-60, 20, w + 120, 200), 30 * 16, 120 * 16);
        for (int i = 0; i < 5; ++i) {
            const double a = (40 + i * 25) * M_PI / 180.0;
            const QPointF c(w / 2.0 + (w + 120) / 2.0 * std::cos(a), 120 - 100 * std::sin(a));
            p.fillRect(QRectF(c.x() - 3, c.y() - 1.5, 6, 3), QColor(230, 230, 240));
        }
        // The beam from one satellite into the dish.
        p.setPen(QPen(QColor(255, 200, 60), 1.5, Qt::DashLine));
        p.drawLine(QPointF(188, 42), QPointF(70, 142));
        drawDish(p, QRectF(22, 110, 84, 84), QColor(215, 220, 228), QColor(60, 70, 90));
    });
    {
        QPainter p(&rgb);
        const QString title = QStringLiteral("ZENARA");
        drawText(p, title, w - textWidth(title, 5) - 18, 108, 5, QColor(255, 255, 255));
        const QString version = QStringLiteral("VERSION 2.02");
        drawText(p, version, w - textWidth(version, 2) - 18, 158, 2, QColor(255, 200, 60));
    }
    // A fixed palette of 123 colours: a ramp of the sky's blues, then greys and
    // the accent colours.
    QVector<QRgb> table;
    for (int i = 0; i < 96; ++i) {
        const double t = i / 95.0;
        table.append(qRgb(int(8 + t * 30), int(20 + t * 80), int(60 + t * 110)));
    }
    for (int i = 0; i < 19; ++i) {
        const int v = 40 + i * 12;
        table.append(qRgb(v, v + 4, std::min(255, v + 10)));
    }
    table << qRgb(255, 255, 255) << qRgb(255, 200, 60) << qRgb(200, 150, 40) << qRgb(150, 180, 230)
          << qRgb(230, 230, 240) << qRgb(60, 70, 90) << qRgb(120, 90, 30) << qRgb(0, 0, 0);
    Q_ASSERT(table.size() == 123);
    return rgb.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither);
}

QImage tile(int w, int h, const QColor& a, const QColor& b)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, ((x + y) % 2 ? b : a).rgb());
    return image;
}

QImage legend8(const QColor& colour)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 0));
    QPainter p(&image);
    p.fillRect(1, 1, 6, 6, colour);
    return image;
}

QImage legendIndexed(const QColor& colour)
{
    QImage image(8, 8, QImage::Format_Indexed8);
    image.setColorTable({qRgb(0, 0, 0), colour.rgb(), colour.darker(160).rgb()});
    image.fill(0);
    for (int y = 1; y < 7; ++y)
        for (int x = 1; x < 7; ++x)
            image.setPixel(x, y, (x == 1 || y == 1 || x == 6 || y == 6) ? 2 : 1);
    return image;
}

QImage arrow(bool east, bool twice)
{
    QImage image = canvas(16, 16);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(20, 60, 20), 1));
        p.setBrush(QColor(60, 170, 60));
        auto head = [&](qreal tip) {
            const qreal dir = east ? -1 : 1; // east is drawn to the left
            QPolygonF poly;
            poly << QPointF(tip, 8) << QPointF(tip - dir * 7, 2) << QPointF(tip - dir * 7, 14);
            p.drawPolygon(poly);
        };
        if (twice) {
            head(east ? 1 : 15);
            head(8);
        } else {
            head(east ? 2 : 14);
            p.drawRect(east ? QRectF(9, 6, 5, 4) : QRectF(2, 6, 5, 4));
        }
    });
    return image;
}

QImage limit(int kind) // 0 off, 1 west, 2 east
{
    QImage image = canvas(16, 16);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(150, 20, 20), 2));
        if (kind == 0) {
            p.drawLine(3, 2, 3, 14);
            p.drawLine(13, 2, 13, 14);
            p.setPen(QPen(QColor(90, 90, 90), 2));
            p.drawLine(1, 14, 15, 2);
        } else {
            const bool east = kind == 2;
            const int bar = east ? 2 : 14;
            p.drawLine(bar, 1, bar, 15);
            p.setPen(QPen(QColor(40, 90, 160), 1));
            p.setBrush(QColor(90, 150, 230));
            const qreal tip = east ? 4 : 12, dir = east ? 1 : -1;
            QPolygonF poly;
            poly << QPointF(tip, 8) << QPointF(tip + dir * 6, 3) << QPointF(tip + dir * 6, 13);
            p.drawPolygon(poly);
            p.drawRect(QRectF(east ? 10 : 2, 6.5, 4, 3));
        }
    });
    return image;
}

QImage gear(const QColor& colour, bool play)
{
    QImage image = canvas(22, 22);
    paint(image, [&](QPainter& p) {
        p.translate(11, 11);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.rotate(i * 45);
            p.drawRect(QRectF(-2, -10, 4, 5));
            p.restore();
        }
        p.drawEllipse(QPointF(0, 0), 7, 7);
        p.setBrush(play ? QColor(255, 255, 255) : QColor(0, 0, 0, 0));
        if (play) {
            QPolygonF tri;
            tri << QPointF(-2.5, -4) << QPointF(4, 0) << QPointF(-2.5, 4);
            p.drawPolygon(tri);
        } else {
            p.setCompositionMode(QPainter::CompositionMode_Clear);
            p.drawEllipse(QPointF(0, 0), 3, 3);
        }
    });
    return image;
}

QImage exitIcon()
{
    QImage image = canvas(22, 22);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(90, 60, 30), 1.5));
        p.setBrush(QColor(180, 130, 70));
        p.drawRect(QRectF(3, 2, 10, 18));
        p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 11), QPointF(19, 11));
        p.drawLine(QPointF(19, 11), QPointF(15, 7));
        p.drawLine(QPointF(19, 11), QPointF(15, 15));
    });
    return image;
}

QImage infoIcon()
{
    QImage image = canvas(22, 22);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(20, 60, 140), 1));
        p.setBrush(QColor(50, 110, 220));
        p.drawEllipse(QRectF(1.5, 1.5, 19, 19));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(9.5, 4.5, 3, 3));
        p.drawRect(QRectF(9.5, 9, 3, 8));
    });
    return image;
}

QImage gotoIcon()
{
    QImage image = canvas(22, 22);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(30, 100, 30), 2));
        p.drawEllipse(QRectF(4, 4, 14, 14));
        p.drawLine(11, 1, 11, 8);
        p.drawLine(11, 14, 11, 21);
        p.drawLine(1, 11, 8, 11);
        p.drawLine(14, 11, 21, 11);
        p.setBrush(QColor(200, 30, 30));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(11, 11), 2, 2);
    });
    return image;
}

QImage searchIcon()
{
    QImage image = canvas(22, 22);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 70), 2.5));
        p.setBrush(QColor(200, 225, 250));
        p.drawEllipse(QRectF(3, 3, 11, 11));
        p.setPen(QPen(QColor(60, 60, 70), 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(13, 13), QPointF(19, 19));
    });
    return image;
}

QImage haltIcon()
{
    QImage image = canvas(22, 22);
    paint(image, [&](QPainter& p) {
        QPolygonF octagon;
        for (int i = 0; i < 8; ++i) {
            const double a = (22.5 + i * 45) * M_PI / 180.0;
            octagon << QPointF(11 + 10 * std::cos(a), 11 + 10 * std::sin(a));
        }
        p.setPen(QPen(QColor(120, 0, 0), 1));
        p.setBrush(QColor(220, 20, 20));
        p.drawPolygon(octagon);
        p.fillRect(QRectF(5, 9.5, 12, 3), Qt::white);
    });
    return image;
}

QImage memoryIcon()
{
    QImage image = canvas(16, 16);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(150, 150, 150), 1));
        for (int i = 0; i < 4; ++i) {
            p.drawLine(4 + i * 3, 0, 4 + i * 3, 3);
            p.drawLine(4 + i * 3, 13, 4 + i * 3, 16);
        }
        p.setPen(QPen(QColor(10, 10, 10), 1));
        p.setBrush(QColor(50, 50, 60));
        p.drawRect(QRectF(2.5, 3.5, 11, 9));
        p.fillRect(QRectF(4, 5, 3, 2), QColor(200, 170, 40));
    });
    return image;
}

QImage applyIcon()
{
    QImage image = canvas(16, 16);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(30, 150, 30), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF tick;
        tick << QPointF(2.5, 8.5) << QPointF(6.5, 12.5) << QPointF(13.5, 3.5);
        p.drawPolyline(tick);
    });
    return image;
}

// Clears the block counter: a green "0" inside a turning arrow.
QImage clearIcon()
{
    QImage image = canvas(16, 16);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(0, 170, 0), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(1.5, 1.5, 13, 13), 100 * 16, 290 * 16);
        QPolygonF head;
        head << QPointF(6.2, 0.2) << QPointF(9.6, 2.2) << QPointF(6.0, 4.6);
        p.setBrush(QColor(0, 170, 0));
        p.setPen(Qt::NoPen);
        p.drawPolygon(head);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0, 120, 0), 1.4));
        p.drawEllipse(QRectF(5.8, 4.8, 4.4, 6.4));
    });
    return image;
}

QImage enterIcon()
{
    QImage image = canvas(16, 16);
    paint(image, [&](QPainter& p) {
        p.setPen(QPen(QColor(40, 70, 140), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF path;
        path << QPointF(13, 2) << QPointF(13, 10) << QPointF(3, 10);
        p.drawPolyline(path);
        QPolygonF head;
        head << QPointF(3, 10) << QPointF(7, 6) << QPointF(7, 14);
        p.setBrush(QColor(40, 70, 140));
        p.drawPolygon(head);
    });
    return image;
}

QImage appIcon()
{
    QImage argb = canvas(16, 16);
    paint(argb, [&](QPainter& p) {
        drawDish(p, QRectF(0, 0, 16, 16), QColor(225, 230, 238), QColor(50, 70, 110));
        p.setPen(QPen(QColor(255, 190, 40), 1));
        p.drawArc(QRectF(9, -3, 10, 10), 180 * 16, 90 * 16);
    });
    // 84 colours: fully transparent, a ramp from the outline to the dish, the
    // accent colour's shades.
    QVector<QRgb> table;
    table.append(qRgba(0, 0, 0, 0));
    for (int i = 0; i < 63; ++i) {
        const double t = i / 62.0;
        table.append(qRgba(int(50 + t * 175), int(70 + t * 160), int(110 + t * 128), 255));
    }
    for (int i = 0; i < 20; ++i) {
        const double t = i / 19.0;
        table.append(qRgba(int(120 + t * 135), int(95 + t * 95), int(20 + t * 20), 255));
    }
    Q_ASSERT(table.size() == 84);
    QImage indexed(16, 16, QImage::Format_Indexed8);
    indexed.setColorTable(table);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb c = argb.pixel(x, y);
            if (qAlpha(c) < 96) {
                indexed.setPixel(x, y, 0);
                continue;
            }
            int best = 1, bestDistance = INT_MAX;
            for (int i = 1; i < table.size(); ++i) {
                const int dr = qRed(c) - qRed(table[i]), dg = qGreen(c) - qGreen(table[i]),
                          db = qBlue(c) - qBlue(table[i]);
                const int distance = dr * dr + dg * dg + db * db;
                if (distance < bestDistance) {
                    best = i;
                    bestDistance = distance;
                }
            }
            indexed.setPixel(x, y, uint(best));
        }
    }
    return indexed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: imagegen OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    const QColor ledBg(0, 40, 0), ledBg2(0, 60, 0);
    const QVector<QPair<QString, QImage>> images = {
        {"splash.png", splash()},
        {"configure.png", gear(QColor(90, 100, 120), false)},
        {"exit.png", exitIcon()},
        {"info.png", infoIcon()},
        {"exec.png", gear(QColor(40, 140, 60), true)},
        {"bg_green.gif", tile(3, 2, ledBg, ledBg2)},
        {"bg_green3.gif", tile(2, 2, QColor(0, 30, 0), QColor(0, 45, 0))},
        {"greenLegend.png", legendIndexed(BerGreen)},
        {"redLegend.png", legendIndexed(QColor(220, 30, 30))},
        {"prev_1.png", arrow(true, false)},
        {"next_1.png", arrow(false, false)},
        {"limit_off.png", limit(0)},
        {"w_limit.png", limit(1)},
        {"e_limit.png", limit(2)},
        {"gotoxy.png", gotoIcon()},
        {"memory.png", memoryIcon()},
        {"search.png", searchIcon()},
        {"yellowLegend.png", legend8(AgcYellow)},
        {"blueLegend.png", legend8(SnrBlue)},
        {"halt.png", haltIcon()},
        {"bg_black.png", tile(1, 1, Qt::black, Qt::black)},
        {"Zenara.png", appIcon()},
        {"apply.png", applyIcon()},
        {"next_2.png", arrow(false, true)},
        {"prev_2.png", arrow(true, true)},
        {"enter.png", enterIcon()},
        {"bg_green4.gif", tile(2, 2, QColor(0, 90, 0), QColor(0, 110, 0))},
        {"bg_green5.gif", tile(1, 1, QColor(0, 140, 0), QColor(0, 140, 0))},
        {"bg_blue.png", tile(6, 6, QColor(10, 30, 80), QColor(15, 40, 100))},
        {"bg_gray.png", tile(2, 2, QColor(200, 200, 200), QColor(190, 190, 190))},
        {"bg_gray2.png", tile(2, 2, QColor(160, 160, 160), QColor(150, 150, 150))},
        {"bg_green_1.png", tile(6, 6, QColor(0, 70, 0), QColor(0, 85, 0))},
        {"clear.png", clearIcon()},
    };

    QFile qrc(out.filePath(QStringLiteral("images.qrc")));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "imagegen: cannot write %s\n", qPrintable(qrc.fileName()));
        return 1;
    }
    QTextStream qrcText(&qrc);
    qrcText << "<RCC>\n  <qresource prefix=\"/images\">\n";
    for (const auto& entry : images) {
        // Written as PNG whatever the name's extension; the resource keeps the name.
        const QString file = out.filePath(entry.first);
        if (!entry.second.save(file, "PNG")) {
            std::fprintf(stderr, "imagegen: cannot write %s\n", qPrintable(file));
            return 1;
        }
        qrcText << "    <file>" << entry.first << "</file>\n";
    }
    qrcText << "  </qresource>\n</RCC>\n";
    return 0;
}

#include "app/geometry.h"

#include "settings/settingsstore.h"

#include <QSettings>

#include <algorithm>

namespace geometry {

StoredGeometry readStoredGeometry(const QSettings& settings, const QRect& primaryScreen,
                                  const QSize& largestScreen)
{
    using namespace settingskeys;
    StoredGeometry g;
    const int x = readInt(settings, GeometryX, primaryScreen.left(), -MaxCoordinate, MaxCoordinate);
    const int y = readInt(settings, GeometryY, primaryScreen.top(), -MaxCoordinate, MaxCoordinate);
    const QSize screen = largestScreen.isValid() && !largestScreen.isEmpty()
                             ? largestScreen
                             : primaryScreen.size().expandedTo(QSize(640, 480));
    auto size = [&settings](const QString& key, int defaultValue, int screenSize) -> qint64 {
        const int value = readInt(settings, key, defaultValue);
        if (value <= 0)
            return defaultValue;
        return std::min<qint64>(value, 2 * qint64(screenSize));
    };
    const int width = int(size(GeometryWidth, DefaultWidth, screen.width()));
    const int height = int(size(GeometryHeight, DefaultHeight, screen.height()));
    g.rect = QRect(x, y, width, height);
    g.maximized = readBool(settings, GeometryMaximized, false);
    return g;
}

bool positionVisibleEnough(const QRect& stored, const QRect& desktop)
{
    // In 64 bits from the corners: a rectangle from a damaged settings file
    // must not overflow QRect's int arithmetic.
    if (stored.width() <= 0 || stored.height() <= 0 || desktop.width() <= 0 ||
        desktop.height() <= 0)
        return false;
    const qint64 left = std::max<qint64>(stored.x(), desktop.x());
    const qint64 top = std::max<qint64>(stored.y(), desktop.y());
    const qint64 right = std::min<qint64>(qint64(stored.x()) + stored.width(),
                                          qint64(desktop.x()) + desktop.width());
    const qint64 bottom = std::min<qint64>(qint64(stored.y()) + stored.height(),
                                           qint64(desktop.y()) + desktop.height());
    const qint64 visibleArea = right > left && bottom > top ? (right - left) * (bottom - top) : 0;
    const qint64 storedArea = qint64(stored.width()) * stored.height();
    return visibleArea > storedArea / 20;
}

} // namespace geometry

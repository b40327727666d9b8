#include "app/geometry.h"

#include "settings/settingsstore.h"

#include <QSettings>

namespace geometry {

StoredGeometry readStoredGeometry(const QSettings& settings, const QRect& primaryScreen)
{
    using namespace settingskeys;
    StoredGeometry g;
    const int x = readInt(settings, GeometryX, primaryScreen.left());
    const int y = readInt(settings, GeometryY, primaryScreen.top());
    const int width = readInt(settings, GeometryWidth, DefaultWidth);
    const int height = readInt(settings, GeometryHeight, DefaultHeight);
    g.rect = QRect(x, y, width, height);
    g.maximized = readBool(settings, GeometryMaximized, false);
    return g;
}

bool positionVisibleEnough(const QRect& stored, const QRect& desktop)
{
    const QRect visible = stored.intersected(desktop);
    // 64-bit areas: a size from a damaged settings file must not overflow.
    const qint64 visibleArea = visible.isEmpty() ? 0 : qint64(visible.width()) * visible.height();
    const qint64 storedArea = stored.isEmpty() ? 0 : qint64(stored.width()) * stored.height();
    return visibleArea > storedArea / 20;
}

} // namespace geometry

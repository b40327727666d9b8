#pragma once

#include <QRect>

class QSettings;

namespace geometry {

struct StoredGeometry
{
    QRect rect; // frame position and client size
    bool maximized = false;
};

constexpr int DefaultWidth = 439;
constexpr int DefaultHeight = 592;

// The main window's geometry from the settings; a position never stored is the
// primary screen's top-left corner.
StoredGeometry readStoredGeometry(const QSettings& settings, const QRect& primaryScreen);

// Whether enough of the stored rectangle lies on the desktop to move the window
// there: the visible area must be strictly greater than one twentieth of the
// rectangle's area (integer division).
bool positionVisibleEnough(const QRect& stored, const QRect& desktop);

} // namespace geometry

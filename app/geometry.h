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
// primary screen's top-left corner. A damaged size is brought within bounds:
// positive (else the default) and at most twice the largest screen
// (largestScreen; the primary screen when that is empty). A position is kept
// within a million pixels of the origin, so that no rectangle arithmetic on it
// can overflow.
StoredGeometry readStoredGeometry(const QSettings& settings, const QRect& primaryScreen,
                                  const QSize& largestScreen = QSize());

// Whether enough of the stored rectangle lies on the desktop to move the window
// there: the visible area must be strictly greater than one twentieth of the
// rectangle's area (integer division).
bool positionVisibleEnough(const QRect& stored, const QRect& desktop);

} // namespace geometry

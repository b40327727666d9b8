#include "app/frameplacer.h"

#include <QEvent>

FramePlacer::FramePlacer(QWidget* window, const QPoint& frameTopLeft)
    : QObject(window), m_window(window), m_wanted(frameTopLeft)
{
    // Without a window manager no frame comes, and it stays, looking at the
    // window's moves and resizes only.
    window->installEventFilter(this);
}

bool FramePlacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window &&
        (event->type() == QEvent::Move || event->type() == QEvent::Show ||
         event->type() == QEvent::WindowActivate || event->type() == QEvent::Resize))
        place();
    return false;
}

void FramePlacer::place()
{
    if (!m_window || !m_window->isVisible() || m_window->isMaximized() ||
        m_window->frameGeometry() == m_window->geometry())
        return; // not framed yet
    if (m_window->frameGeometry().topLeft() != m_wanted)
        m_window->move(m_wanted); // the frame is known now: move() means the frame
    m_window->removeEventFilter(this);
    deleteLater();
}

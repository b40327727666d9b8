#include "app/firstpaint.h"

#include "app/logging.h"

#include <QApplication>
#include <QEvent>

FirstPaint::FirstPaint(QWidget* window, const QElapsedTimer& sinceStart)
    : QObject(window), m_window(window), m_sinceStart(sinceStart)
{
    qApp->installEventFilter(this);
}

bool FirstPaint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == m_window) {
        qCDebug(lcApp, "Window painted %lld ms after start", m_sinceStart.elapsed());
        qApp->removeEventFilter(this);
    }
    return false;
}

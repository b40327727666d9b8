#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QWidget>

// Says in the debug output when the main window is first painted, counted from
// the start of main(): the figure the start-up benchmark waits for.
class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget* window, const QElapsedTimer& sinceStart);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    QElapsedTimer m_sinceStart;
};

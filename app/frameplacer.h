#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

// Puts a window's frame where it was when the position was saved. Until the
// window manager has framed a window, the frame's size is not known, and a
// window whose native window exists already is placed by its inside's corner:
// every start would creep up by the title bar. Once the frame is known the
// window is moved where it belongs, once; then the placer goes.
class FramePlacer : public QObject
{
public:
    FramePlacer(QWidget* window, const QPoint& frameTopLeft);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QPointer<QWidget> m_window;
    QPoint m_wanted;
};

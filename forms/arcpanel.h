#pragma once

#include <QObject>

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace core {
class Session;
}

// The Arc page's controls over the session's calibration: thin slots that
// call the same commands as the remote socket, and the text of the state.
class ArcPanel : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QLineEdit* satellites;
        QPushButton* calibrate;
        QPushButton* adjusted;
        QPushButton* reset;
        QLabel* status;
        QDoubleSpinBox* offset;
        QPushButton* keepOffset;
    };

    ArcPanel(core::Session& session, const Widgets& widgets, QObject* parent = nullptr);

    // What the page shows: the round, the errors with their uncertainty, the
    // advice and what could not be told.
    static QString statusText(const core::Session& session);

private:
    void calibrate();
    void setRunning(bool running);
    void showProgress(const QString& doing, int done, int total, int secondsLeft);
    void showCalibration();
    void showOffset();

    core::Session& m_session;
    Widgets m_w;
};

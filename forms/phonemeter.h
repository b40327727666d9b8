#pragma once

#include "ui_phonemeter.h"

#include <QDialog>

namespace web {
class WebServer;
}

// Where the phone meter listens, its address and QR code, start and stop. The
// server itself belongs to the window and goes on when this closes.
class PhoneMeterDialog : public QDialog, public Ui::PhoneMeterDialog
{
    Q_OBJECT

public:
    explicit PhoneMeterDialog(web::WebServer& server, QWidget* parent = nullptr);

    // The reason the last start failed, as shown (empty when it did not).
    QString startError() const { return m_error; }
    void showStartError(const QString& error);

private:
    void startOrStop();
    void showState();

    web::WebServer& m_server;
    QString m_error;
};

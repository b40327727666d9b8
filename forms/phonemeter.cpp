#include "forms/phonemeter.h"

#include "web/qrcode.h"
#include "web/webserver.h"

#include <QNetworkInterface>
#include <QTimer>

PhoneMeterDialog::PhoneMeterDialog(web::WebServer& server, QWidget* parent)
    : QDialog(parent), m_server(server)
{
    setupUi(this);
    // The phone needs an address of this machine on its network; the others
    // are for special cases.
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (!a.isLoopback() && a.protocol() == QAbstractSocket::IPv4Protocol)
            addressBox->addItem(a.toString(), a.toString());
    addressBox->addItem(tr("All networks"), QStringLiteral("0.0.0.0"));
    addressBox->addItem(tr("This computer only"), QStringLiteral("127.0.0.1"));
    portBox->setValue(web::DefaultPort);
    connect(startButton, &QPushButton::clicked, this, &PhoneMeterDialog::startOrStop);
    connect(newLinkButton, &QPushButton::clicked, &m_server, &web::WebServer::renewToken);
    connect(&m_server, &web::WebServer::stateChanged, this, &PhoneMeterDialog::showState);
    // How many phones watch, while this shows.
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &PhoneMeterDialog::showState);
    refresh->start(1000);
    showState();
}

void PhoneMeterDialog::startOrStop()
{
    if (m_server.running()) {
        m_server.stop();
        return;
    }
    web::Listen listen;
    listen.address = QHostAddress(addressBox->currentData().toString());
    listen.port = quint16(portBox->value());
    QString error;
    if (!m_server.start(listen, &error))
        showStartError(error);
}

void PhoneMeterDialog::showStartError(const QString& error)
{
    m_error = error;
    showState();
}

void PhoneMeterDialog::showState()
{
    const bool running = m_server.running();
    startButton->setText(running ? tr("&Stop") : tr("&Start"));
    newLinkButton->setEnabled(running);
    addressBox->setEnabled(!running);
    portBox->setEnabled(!running);
    if (running) {
        m_error.clear();
        const int index = addressBox->findData(m_server.listening().address.toString());
        if (index >= 0)
            addressBox->setCurrentIndex(index);
        portBox->setValue(m_server.port());
    }
    const QString url = m_server.url();
    if (url != urlLabel->text()) {
        urlLabel->setText(url);
        codeLabel->setPixmap(running ? QPixmap::fromImage(web::qrImage(url, 5)) : QPixmap());
    }
    if (!m_error.isEmpty())
        stateLabel->setText(m_error);
    else if (!running)
        stateLabel->setText(tr("Off: nothing is served."));
    else
        stateLabel->setText(tr("Serving; phones watching: %1").arg(m_server.clients()));
}

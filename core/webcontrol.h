#pragma once

#include <QJsonObject>
#include <QString>

namespace core {

// The phone meter's web server as the commands see it: the remote socket's
// "web" command starts and stops it through this, as the window's dialog does.
class WebControl
{
public:
    virtual ~WebControl() = default;
    // where: "[ADDRESS:]PORT"; false with the reason when it cannot serve.
    virtual bool startServing(const QString& where, QString* error) = 0;
    virtual void stopServing() = 0;
    // A fresh access token: the old link stops working at once.
    virtual void renewToken() = 0;
    // {"running", "url", "address", "port", "clients"}.
    virtual QJsonObject webState() const = 0;
};

} // namespace core

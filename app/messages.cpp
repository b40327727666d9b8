#include "app/messages.h"

#include "app/logging.h"

#include <QPushButton>
#include <QTimer>

namespace messages {
namespace {

Hook& current()
{
    static Hook h;
    return h;
}

void show(QMessageBox::Icon icon, QWidget* parent, const QString& caption, const QString& text,
          const QString& button)
{
    qCDebug(lcApp, "Message box \"%s\": %s", qPrintable(caption), qPrintable(text));
    if (current()) {
        current()(icon, caption, text);
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    if (button.isEmpty())
        box.addButton(QMessageBox::Ok);
    else
        box.addButton(button, QMessageBox::AcceptRole);
    if (const int ms = autoDismissMs(); ms > 0)
        QTimer::singleShot(ms, &box, &QMessageBox::accept);
    box.exec();
}

} // namespace

void setHook(Hook h)
{
    current() = std::move(h);
}

Hook hook()
{
    return current();
}

void critical(QWidget* parent, const QString& caption, const QString& text, const QString& button)
{
    show(QMessageBox::Critical, parent, caption, text, button);
}

void warning(QWidget* parent, const QString& caption, const QString& text)
{
    show(QMessageBox::Warning, parent, caption, text, QString());
}

int autoDismissMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ZENARA_DIALOG_TIMEOUT_MS", &ok);
    return ok ? ms : 0;
}

} // namespace messages

#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// Every message box the program shows goes through here, so that tests can see
// them without a modal loop, and so that each box also lands in the debug
// output (a user's report then carries the text).
namespace messages {

using Hook =
    std::function<void(QMessageBox::Icon icon, const QString& caption, const QString& text)>;

// While a hook is set no box is shown: the hook receives it instead.
void setHook(Hook hook);
Hook hook();

void critical(QWidget* parent, const QString& caption, const QString& text, const QString& button);
void warning(QWidget* parent, const QString& caption, const QString& text);

// With ZENARA_DIALOG_TIMEOUT_MS set, boxes close themselves after that many
// milliseconds, for unattended runs.
int autoDismissMs();

} // namespace messages

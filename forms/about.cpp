#include "forms/about.h"

#include "settings/datafiles.h"
#include "settings/settingsstore.h"

#include <QDir>

About::About(QWidget* parent, const char* name, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setupUi(this);
    setObjectName(name ? QString::fromLatin1(name) : QStringLiteral("About"));
    setModal(modal);
    languageChange();
    resize(minimumSizeHint().expandedTo(QSize(296, 349)));
    connect(pushButton1, &QPushButton::clicked, this, &QWidget::close);
}

void About::languageChange()
{
    retranslateUi(this);
    setWindowTitle(tr("About"));
    pushButton1->setText(tr("OK"));
    // Where things are on this machine: users ask for it.
    // Looked in first: the folder the program was started in.
    QStringList folders(QDir::toNativeSeparators(QDir::currentPath()).toHtmlEscaped());
    for (const QString& folder : dataFolders())
        folders.append(QDir::toNativeSeparators(folder).toHtmlEscaped());
    textLabel1->setText(
        QStringLiteral("<p align=\"center\"><br><b>%1</b><br><br>%2<br>%3<br><br></p>"
                       "<p align=\"center\"><small>%4<br>%5</small></p>")
            .arg(tr("Version 2.02"),
                 tr("Satellite signal meter and DiSEqC 1.2 / USALS dish positioner."),
                 tr("Free software under the GNU GPL, version 3 or later. Satellite and "
                    "transponder data: see SOURCES.md."),
                 tr("Settings: %1").arg(QDir::toNativeSeparators(settingsPath()).toHtmlEscaped()),
                 tr("Data folders: %1").arg(folders.join(QStringLiteral(", ")))));
}

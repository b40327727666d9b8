#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>

// Serves the images compiled into the program by name ("halt.png",
// "splash.png", ...) to every window and dialog.
class EmbeddedImageFactory
{
public:
    // The image, or a null image for a name that is not built in.
    static QImage image(const QString& name);
    static QPixmap pixmap(const QString& name);
    static QIcon icon(const QString& name);
    // All built-in names, in table order.
    static QStringList names();
    // The resource path of a name, for style sheets and forms.
    static QString resourcePath(const QString& name);
};

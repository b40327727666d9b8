#include "app/embeddedimages.h"

#include <QHash>
#include <QPixmapCache>

static void ensureImageResources()
{
    // The resources live in a static library; make sure they are registered.
    static const bool initialised = [] {
        Q_INIT_RESOURCE(images);
        return true;
    }();
    Q_UNUSED(initialised)
}

QStringList EmbeddedImageFactory::names()
{
    return {
        QStringLiteral("splash.png"),     QStringLiteral("configure.png"),
        QStringLiteral("exit.png"),       QStringLiteral("info.png"),
        QStringLiteral("exec.png"),       QStringLiteral("bg_green.gif"),
        QStringLiteral("bg_green3.gif"),  QStringLiteral("greenLegend.png"),
        QStringLiteral("redLegend.png"),  QStringLiteral("prev_1.png"),
        QStringLiteral("next_1.png"),     QStringLiteral("limit_off.png"),
        QStringLiteral("w_limit.png"),    QStringLiteral("e_limit.png"),
        QStringLiteral("gotoxy.png"),     QStringLiteral("memory.png"),
        QStringLiteral("search.png"),     QStringLiteral("yellowLegend.png"),
        QStringLiteral("blueLegend.png"), QStringLiteral("halt.png"),
        QStringLiteral("bg_black.png"),   QStringLiteral("Zenara.png"),
        QStringLiteral("apply.png"),      QStringLiteral("next_2.png"),
        QStringLiteral("prev_2.png"),     QStringLiteral("enter.png"),
        QStringLiteral("bg_green4.gif"),  QStringLiteral("bg_green5.gif"),
        QStringLiteral("bg_blue.png"),    QStringLiteral("bg_gray.png"),
        QStringLiteral("bg_gray2.png"),   QStringLiteral("bg_green_1.png"),
        QStringLiteral("clear.png"),
    };
}

QString EmbeddedImageFactory::resourcePath(const QString& name)
{
    return QStringLiteral(":/images/") + name;
}

QImage EmbeddedImageFactory::image(const QString& name)
{
    ensureImageResources();
    static QHash<QString, QImage> cache;
    const auto it = cache.constFind(name);
    if (it != cache.constEnd())
        return it.value();
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return QImage();
    // The files are PNG whatever their names' extensions say.
    QImage loaded(resourcePath(name), "PNG");
    if (!loaded.isNull())
        cache.insert(name, loaded);
    return loaded;
}

QPixmap EmbeddedImageFactory::pixmap(const QString& name)
{
    const QString key = QStringLiteral("zenara:") + name;
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    const QImage img = image(name);
    if (img.isNull())
        return QPixmap();
    pixmap = QPixmap::fromImage(img);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QIcon EmbeddedImageFactory::icon(const QString& name)
{
    return QIcon(pixmap(name));
}

#include "settings/datafiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef ZENARA_DATA_DIR
#define ZENARA_DATA_DIR "/usr/local/share/zenara"
#endif

QStringList dataFolders()
{
    // $XDG_DATA_HOME (~/.local/share), then each of $XDG_DATA_DIRS
    // (/usr/local/share:/usr/share), each with "zenara"; last the folder the
    // build installs to, where that is none of them.
    QStringList folders;
    for (const QString& base :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders.append(QDir::cleanPath(QDir(base).filePath(QStringLiteral("zenara"))));
    const QString installed = QDir::cleanPath(QStringLiteral(ZENARA_DATA_DIR));
    if (!folders.contains(installed))
        folders.append(installed);
    return folders;
}

QString findDataFile(const QString& relativeName)
{
    if (QFileInfo(relativeName).isAbsolute())
        return relativeName;
    if (QFileInfo::exists(relativeName))
        return relativeName;
    for (const QString& folder : dataFolders()) {
        const QString candidate = QDir(folder).filePath(relativeName);
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return relativeName;
}

QString resolveTranspondersPath(const QString& transpondersPath, const QString& satelliteListPath)
{
    QString path = transpondersPath;
    if (QFileInfo(path).isRelative()) {
        const QString folder = QFileInfo(satelliteListPath).path();
        if (folder != QLatin1String("."))
            path = QDir::cleanPath(QDir(folder).filePath(path));
    }
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

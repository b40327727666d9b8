#include "settings/datafiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef ZENARA_DATA_DIR
#define ZENARA_DATA_DIR "/usr/local/share/zenara"
#endif

QString findDataFile(const QString& relativeName)
{
    if (QFileInfo(relativeName).isAbsolute())
        return relativeName;
    if (QFileInfo::exists(relativeName))
        return relativeName;
    const QStringList folders = {QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                                 QStringLiteral(ZENARA_DATA_DIR)};
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
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
            path = QDir(folder).filePath(path);
    }
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

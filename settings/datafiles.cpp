#include "settings/datafiles.h"

#include <QCoreApplication>
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
    // Installed under another prefix than the build was configured for
    // ("cmake --install --prefix ..."): the data sits beside the program's bin/.
    // Run from its build folder (build/zenara): the data the build put beside it.
    if (QCoreApplication::instance()) {
        const QString programDir = QCoreApplication::applicationDirPath();
        QStringList beside = {QDir::cleanPath(programDir + QStringLiteral("/../share/zenara"))};
#ifdef ZENARA_BUILD_DIR
        if (QFileInfo(programDir).canonicalFilePath() ==
            QFileInfo(QStringLiteral(ZENARA_BUILD_DIR)).canonicalFilePath())
            beside.append(QStringLiteral(ZENARA_BUILD_DIR "/run"));
#endif
        for (const QString& folder : beside)
            if (!folders.contains(folder) && QFileInfo(folder).isDir())
                folders.append(folder);
    }
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

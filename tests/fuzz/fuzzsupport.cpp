#include "fuzzsupport.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdlib>

namespace fuzz {

namespace {

void dropMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    // qFatal must still end the run: it is a finding.
    if (type == QtFatalMsg) {
        fprintf(stderr, "qFatal: %s\n", qPrintable(text));
        abort();
    }
}

} // namespace

void quiet()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    qInstallMessageHandler(dropMessage);
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
}

QString asFile(const uint8_t* data, size_t size, const char* suffix)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input") + QLatin1String(suffix));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        fprintf(stderr, "cannot write the scratch file %s\n", qPrintable(path));
        abort();
    }
    return path;
}

} // namespace fuzz

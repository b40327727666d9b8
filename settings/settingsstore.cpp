#include "settings/settingsstore.h"

std::unique_ptr<QSettings> openSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Tavarin"), QStringLiteral("zenara"));
}

int readInt(const QSettings& settings, const QString& key, int defaultValue)
{
    const QVariant value = settings.value(key);
    bool ok = false;
    const int result = value.toInt(&ok);
    return ok ? result : defaultValue;
}

bool readBool(const QSettings& settings, const QString& key, bool defaultValue)
{
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return defaultValue;
    // Written as "true"/"false"; a number reads as nonzero = true.
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok ? number != 0 : defaultValue;
}

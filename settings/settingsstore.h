#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// Keys of the settings store, relative to the application's own section.
namespace settingskeys {
inline const QString GeometryMaximized = QStringLiteral("Geometry/MainwindowMaximized");
inline const QString GeometryX = QStringLiteral("Geometry/MainwindowX");
inline const QString GeometryY = QStringLiteral("Geometry/MainwindowY");
inline const QString GeometryWidth = QStringLiteral("Geometry/MainwindowWidth");
inline const QString GeometryHeight = QStringLiteral("Geometry/MainwindowHeight");
} // namespace settingskeys

// The store: an INI file "Tavarin/zenara.ini" in the user's configuration folder.
std::unique_ptr<QSettings> openSettings();

// Typed reads that fall back to the default when a key is missing or its value
// cannot be read as the type asked for.
int readInt(const QSettings& settings, const QString& key, int defaultValue);
bool readBool(const QSettings& settings, const QString& key, bool defaultValue);

#include "app/qt_settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace vellumar {
namespace {

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The file holds the password (shifted, not enciphered): only its owner may
// read it. QSettings writes a new copy that keeps the permissions of the
// file it replaces, so a file made private before the first write stays
// private; one an earlier version left open to others is closed up.
// Reading closes up an old file too, without making one.
void keepPrivate(const QString& fileName, bool create) {
#ifndef _WIN32
    constexpr QFileDevice::Permissions kOwnerOnly =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!QFileInfo::exists(fileName)) {
        if (!create) return;
        QDir().mkpath(QFileInfo(fileName).absolutePath());
        QFile file(fileName);
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly);
        return;
    }
    constexpr QFileDevice::Permissions kOthers =
        QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (QFile::permissions(fileName) & kOthers) QFile::setPermissions(fileName, kOwnerOnly);
#else
    (void)fileName;  // the registry keeps its values per user
    (void)create;
#endif
}

}  // namespace

// The application name alone addresses the store: ~/.config/Tessarin.conf,
// or HKEY_CURRENT_USER\Software\Tessarin. (QSettings with an empty
// organisation would file it under "Unknown Organization" and report an
// access error on every write.)
std::string QtSettingsStore::getSetting(const std::string& application, const std::string& section,
                                        const std::string& key) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, latin1(application));
    keepPrivate(settings.fileName(), false);
    settings.beginGroup(latin1(section));
    return settings.value(latin1(key)).toString().toLatin1().toStdString();
}

bool QtSettingsStore::saveSetting(const std::string& application, const std::string& section,
                                  const std::string& key, const std::string& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, latin1(application));
    keepPrivate(settings.fileName(), true);
    settings.beginGroup(latin1(section));
    settings.setValue(latin1(key), latin1(value));
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace vellumar

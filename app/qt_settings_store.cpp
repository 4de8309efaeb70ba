#include "app/qt_settings_store.h"

#include <QSettings>

namespace vellumar {
namespace {

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// The application name alone addresses the store: ~/.config/Tessarin.conf,
// or HKEY_CURRENT_USER\Software\Tessarin. (QSettings with an empty
// organisation would file it under "Unknown Organization" and report an
// access error on every write.)
std::string QtSettingsStore::GetSetting(const std::string& application, const std::string& section,
                                        const std::string& key) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, latin1(application));
    settings.beginGroup(latin1(section));
    return settings.value(latin1(key)).toString().toLatin1().toStdString();
}

bool QtSettingsStore::SaveSetting(const std::string& application, const std::string& section,
                                  const std::string& key, const std::string& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, latin1(application));
    settings.beginGroup(latin1(section));
    settings.setValue(latin1(key), latin1(value));
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace vellumar

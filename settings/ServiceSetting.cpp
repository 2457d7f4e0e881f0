#include "ServiceSetting.h"

#include <QDir>
#include <functional>

#include "IniFile.h"

namespace quiblo {

QStringList systemSettingsFolders() {
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty()) dirs = QStringLiteral("/etc/xdg");
    QStringList folders;
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir)) folders << dir + QStringLiteral("/quiblo");
    return folders;
}

StoredServiceSetting readStoredServiceSetting(const QString& programFolder) {
    const QString section = QString::fromLatin1(kSettingsSection);
    QStringList folders = systemSettingsFolders();
    if (!programFolder.isEmpty()) folders.prepend(programFolder);
    // The first value that is one: a file edited by hand into nonsense is passed over.
    auto read = [&](const char* key, const std::function<bool(const QString&)>& valid) {
        for (const QString& folder : folders) {
            const QString value =
                ReadIniString(folder, section, QString::fromLatin1(key)).trimmed();
            if (!value.isEmpty() && valid(value)) return value;
        }
        return QString();
    };
    return {read(kServiceHostKey,
                 [](const QString& value) { return bool(parseServiceAddress(value)); }),
            read(kFtpPortKey, [](const QString& value) { return bool(parsePort(value)); }),
            read(kUploadKeyKey, isUploadKey)};
}

}  // namespace quiblo

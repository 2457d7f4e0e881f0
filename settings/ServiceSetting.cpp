#include "ServiceSetting.h"

#include <QDir>

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
    auto read = [&](const char* key) {
        if (!programFolder.isEmpty()) {
            const QString value =
                ReadIniString(programFolder, section, QString::fromLatin1(key)).trimmed();
            if (!value.isEmpty()) return value;
        }
        for (const QString& folder : systemSettingsFolders()) {
            const QString value = ReadIniString(folder, section, QString::fromLatin1(key)).trimmed();
            if (!value.isEmpty()) return value;
        }
        return QString();
    };
    return {read(kServiceHostKey), read(kFtpPortKey)};
}

}  // namespace quiblo

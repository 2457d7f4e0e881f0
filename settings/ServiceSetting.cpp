#include "ServiceSetting.h"

#include <QCoreApplication>
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
    // The first file that holds a value decides: one that cannot be read is an error, never a
    // reason to fall back on the next file (perhaps a plain-text address for an https one).
    QString problem;
    auto read = [&](const char* key, const std::function<bool(const QString&)>& valid) {
        for (const QString& folder : folders) {
            const QString value =
                readIniString(folder, section, QString::fromLatin1(key)).trimmed();
            if (value.isEmpty()) continue;
            if (valid(value)) return value;
            if (problem.isEmpty()) {
                const QString file =
                    folder == programFolder
                        ? QString::fromLatin1(kSettingsFileName)
                        : QDir::toNativeSeparators(folder + QLatin1Char('/') +
                                                   QString::fromLatin1(kSettingsFileName));
                problem = QCoreApplication::translate("ServiceSetting", "%2 in %1")
                              .arg(file, QString::fromLatin1(key));
            }
            return QString();
        }
        return QString();
    };
    StoredServiceSetting setting{
        read(kServiceHostKey,
             [](const QString& value) { return bool(parseServiceAddress(value)); }),
        read(kFtpPortKey, [](const QString& value) { return bool(parsePort(value)); }),
        read(kUploadKeyKey, isUploadKey),
        read(kLifetimeKey, isUploadLifetime),
        {}};
    setting.problem = problem;
    return setting;
}

}  // namespace quiblo

#include "LanguageSetting.h"

#include <QLocale>

#include "IniFile.h"
#include "ServiceSetting.h"

namespace quiblo {

QString readLanguageSetting(const QString& programFolder) {
    QStringList folders = systemSettingsFolders();
    if (!programFolder.isEmpty()) folders.prepend(programFolder);
    // The first file that names a language decides; "auto" in the user's file overrides the
    // system-wide choice.
    for (const QString& folder : folders) {
        const QString value = readIniString(folder, QString::fromLatin1(kSettingsSection),
                                            QString::fromLatin1(kLanguageKey))
                                  .trimmed()
                                  .toLower();
        if (value == QLatin1String("ja") || value == QLatin1String("en") ||
            value == QLatin1String("auto"))
            return value;
    }
    return QStringLiteral("auto");
}

Language chosenLanguage(const QString& programFolder) {
    return chooseLanguage(readLanguageSetting(programFolder), QLocale::system().uiLanguages());
}

}  // namespace quiblo

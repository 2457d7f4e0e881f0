// The language of the program's texts as stored: `Language` in the user's Quiblo.ini, else in the
// system-wide one; "auto" (the desktop's), "ja" or "en".
#pragma once

#include <QString>

#include "platform/Translation.h"

namespace quiblo {

inline constexpr char kLanguageKey[] = "Language";

// "ja" or "en" when a file says so, else "auto"; a value other than these counts as "auto".
QString readLanguageSetting(const QString& programFolder);

// The language of the texts: the setting, else the desktop's (as Qt reads LANGUAGE, LC_ALL,
// LC_MESSAGES and LANG).
Language chosenLanguage(const QString& programFolder);

}  // namespace quiblo

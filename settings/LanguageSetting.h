// The language of the program's texts as stored: `Language` in the user's Quiblo.ini, else in the
// system-wide one; "auto" (the desktop's), "ja" or "en".
#pragma once

#include <QString>

namespace quiblo {

inline constexpr char kLanguageKey[] = "Language";

// "ja" or "en" when a file says so, else "auto"; a value other than these counts as "auto".
QString readLanguageSetting(const QString& programFolder);

}  // namespace quiblo

// The language of the program's texts: the program's own translations are compiled in, and Qt's
// own (standard buttons, the file dialog) come from the system's Qt translations.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace quiblo {

enum class Language { Japanese, English };

// The `Language` setting ("auto", "ja", "en"; anything else counts as "auto") against the
// desktop's languages, first preferred first: Japanese on a Japanese desktop, English on any other.
Language chooseLanguage(const QString& setting, const QStringList& desktopLanguages);

// Installs the texts of `language` for the whole program; replaces any installed before.
// Returns false when one of them could not be loaded (the texts then stay the source's).
bool useLanguage(QCoreApplication& app, Language language);

// The language in use: "ja" or "en", as the service's Accept-Language expects it.
QString languageTag();

}  // namespace quiblo

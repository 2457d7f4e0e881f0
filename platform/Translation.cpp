#include "Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace quiblo {

namespace {

Language current = Language::English;

// Loads one translation and gives it to the application, which keeps it.
bool install(QCoreApplication& app, const QString& name, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    translator->setObjectName(QStringLiteral("quiblo-translation"));
    if (!translator->load(name, folder)) return false;
    if (!QCoreApplication::installTranslator(translator.get())) return false;
    translator.release()->setParent(&app);
    return true;
}

}  // namespace

Language chooseLanguage(const QString& setting, const QStringList& desktopLanguages) {
    const QString chosen = setting.trimmed().toLower();
    if (chosen == QLatin1String("ja")) return Language::Japanese;
    if (chosen == QLatin1String("en")) return Language::English;
    // Only the first preference counts: a desktop in English that lists Japanese second is
    // English.
    for (const QString& language : desktopLanguages) {
        if (language.isEmpty() || language == QLatin1String("C")) continue;
        return language.startsWith(QLatin1String("ja")) ? Language::Japanese : Language::English;
    }
    return Language::English;
}

bool useLanguage(QCoreApplication& app, Language language) {
    for (QTranslator* old : app.findChildren<QTranslator*>(QStringLiteral("quiblo-translation"),
                                                           Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    current = language;
    const QString tag = languageTag();
    // The program's texts are compiled in as resources; Qt's own come with the system's Qt.
    bool loaded = install(app, QStringLiteral("quiblo_") + tag, QStringLiteral(":/i18n"));
    if (language == Language::Japanese)
        loaded = install(app, QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                 loaded;
    return loaded;
}

QString languageTag() {
    return current == Language::Japanese ? QStringLiteral("ja") : QStringLiteral("en");
}

}  // namespace quiblo

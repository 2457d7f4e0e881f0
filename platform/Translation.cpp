#include "Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace quiblo {

bool loadJapaneseTranslation(QCoreApplication& app) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (!QCoreApplication::installTranslator(translator.get())) return false;
    translator.release()->setParent(&app);  // lives as long as the application
    return true;
}

}  // namespace quiblo

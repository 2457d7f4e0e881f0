#pragma once

class QCoreApplication;

namespace quiblo {

// Loads Qt's own Japanese translation, so that standard buttons read はい(Y), いいえ(N).
// Returns false when the translation is not installed.
bool loadJapaneseTranslation(QCoreApplication& app);

}  // namespace quiblo

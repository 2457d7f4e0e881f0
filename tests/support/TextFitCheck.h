// Whether a window shows every text whole, measured with the fonts it really uses: each
// caption fits its control, no control with text overlaps another, none lies outside the window.
#pragma once

#include <QStringList>

class QWidget;

namespace quiblo::test {

// The faults of `window` as readable lines (empty: every text fits). Looks at the shown labels,
// buttons, check boxes, option buttons, frames and drop-down lists.
QStringList textFaults(const QWidget* window);

// Every text a person can read in `window`: its title, the captions, tooltips and accessible
// names of its controls, drop-down items and the menus' entries.
QStringList shownTexts(const QWidget* window);

// Whether `text` holds a kana, a kanji or a full-width form.
bool hasJapanese(const QString& text);

}  // namespace quiblo::test

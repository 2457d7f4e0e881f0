// Designed texts drawn in the font the program really uses: a label or an option whose designed
// lines run past its control grows just enough to show each line whole, and its neighbours and
// containers make room for it. Controls whose text already fits keep their designed geometry.
#pragma once

#include <QSize>
#include <QStringList>

class QAbstractButton;
class QLabel;
class QWidget;

namespace quiblo {

// The lines of a label as designed: its text broken only where it has its own line breaks.
QStringList designedLines(const QLabel* label);

// The least size that shows each designed line of `label` whole, on one line of its own.
QSize designedTextSize(const QLabel* label);

// Grows `label` minimally so that each designed line fits; a wrapping label then keeps the
// designed breaks only. Siblings it would now overlap move right or down, and every container up
// to the window grows as much as its contents did. Returns how much the label grew.
QSize fitDesignedLines(QLabel* label);

// The same for a check box's or option button's caption beside its box or circle.
QSize fitCaption(QAbstractButton* button);

// Fits every label and option of `window`, top to bottom: run once the designed geometry is set.
void fitDesignedTexts(QWidget* window);

}  // namespace quiblo

// Windows are laid out in twips, 15 to a pixel: positions stay as designed and become pixels by
// integer division.
#pragma once

#include <QRect>
#include <QWidget>

namespace quiblo {

inline constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

inline void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsRect(left, top, width, height));
}

}  // namespace quiblo

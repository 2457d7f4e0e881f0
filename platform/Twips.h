// Windows are laid out in twips, 15 to a pixel: positions stay as designed and become pixels by
// integer division. Controls are made with their designed names, so tests and style sheets
// find them by name.
#pragma once

#include <QGuiApplication>
#include <QLabel>
#include <QRect>
#include <QScreen>
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

// Places a window in the middle of the primary screen, where windows open as designed.
inline void centreOnScreen(QWidget* window) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    window->move(area.left() + (area.width() - window->width()) / 2,
                 area.top() + (area.height() - window->height()) / 2);
}

// A control named as designed, placed in twips.
template <class Widget>
Widget* makeControl(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    placeTwips(widget, left, top, width, height);
    return widget;
}

// A label of plain text, top-left aligned, named and placed as designed.
inline QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                         int width, int height) {
    auto* label = makeControl<QLabel>(parent, name, left, top, width, height);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(text);
    return label;
}

}  // namespace quiblo

#include "RealInput.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace quiblo::test {

QWidget* clickAt(QPoint global) {
    QWidget* target = QApplication::widgetAt(global);
    if (!target) return nullptr;
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFromGlobal(global));
    return target;
}

QPoint onScreen(const QWidget* widget, QPoint local) {
    return widget->mapToGlobal(local);
}

QWidget* pressKey(int key, Qt::KeyboardModifiers modifiers) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    if (!target) return nullptr;
    QTest::keyClick(target, Qt::Key(key), modifiers);
    return target;
}

QString describe(const QWidget* widget) {
    if (!widget) return QStringLiteral("(nothing)");
    return widget->objectName() + QLatin1Char('(') +
           QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(')');
}

}  // namespace quiblo::test

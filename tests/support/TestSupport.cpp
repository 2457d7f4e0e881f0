#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

namespace quiblo::test {

QString buildProgramFolder() {
    return QStringLiteral(QUIBLO_BIN_DIR);
}

TempFolder::TempFolder() {
    EXPECT_TRUE(dir_.isValid());
}

void TempFolder::write(const QString& name, const QByteArray& content) const {
    QFile f(file(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    f.write(content);
}

QByteArray TempFolder::read(const QString& name) const {
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

}  // namespace quiblo::test

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace quiblo::test {

void whenModalShown(const QString& objectName, std::function<void(QWidget*)> action) {
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == objectName && modal->isVisible()) {
            action(modal);
            return;
        }
        if (++*tries < 500) QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

QImage patternPicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) row[x] = qRgb(x * 7 % 256, y * 13 % 256, (x + y) % 256);
    }
    return picture;
}

}  // namespace quiblo::test

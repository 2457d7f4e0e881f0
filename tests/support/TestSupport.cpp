#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
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

namespace quiblo::test {

void whenModalShown(const QString& objectName, std::function<void(QWidget*)> action) {
    // A timer of the application's own polls every 10 ms and removes itself once it has acted
    // or given up: nothing keeps itself alive.
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, objectName, action = std::move(action), tries = 0]() mutable {
                         timer->setInterval(10);
                         QWidget* modal = QApplication::activeModalWidget();
                         const bool shown =
                             modal && modal->objectName() == objectName && modal->isVisible();
                         if (!shown && ++tries < 500) return;
                         timer->stop();
                         timer->deleteLater();
                         // The action may run a dialog of its own: it runs from a copy, since
                         // this lambda goes with the timer.
                         if (!shown) return;
                         const std::function<void(QWidget*)> run = action;
                         run(modal);
                     });
    timer->start(0);
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

namespace quiblo::test {

QList<qint64> clipboardHolders(const char* variable, const QByteArray& value) {
    QList<qint64> found;
    const QByteArray wanted = QByteArray(variable) + '=' + value;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number) continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly) || !environ.open(QIODevice::ReadOnly)) continue;
        if (!cmdline.readAll().split('\0').contains("--hold-clipboard")) continue;
        if (environ.readAll().split('\0').contains(wanted)) found << pid;
    }
    return found;
}

}  // namespace quiblo::test

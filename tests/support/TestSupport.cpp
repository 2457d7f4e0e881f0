#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

namespace quiblo::test {

QString buildProgramFolder() { return QStringLiteral(QUIBLO_BIN_DIR); }

TempFolder::TempFolder() { EXPECT_TRUE(dir_.isValid()); }

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

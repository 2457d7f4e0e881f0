// Shared pieces of the tests: an application for widget tests, temporary program folders.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace quiblo::test {

// The build's program folder (the program and the image library).
QString buildProgramFolder();

// A temporary folder standing in for the program folder; removed with the object.
class TempFolder {
public:
    TempFolder();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    void write(const QString& name, const QByteArray& content) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir dir_;
};

}  // namespace quiblo::test

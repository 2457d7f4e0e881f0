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

#include <QImage>
#include <functional>

class QWidget;

namespace quiblo::test {

// Runs action on the next modal window named objectName once it is shown (polled from the event
// loop, so it works while the code under test sits in exec()). Gives up after a few seconds.
void whenModalShown(const QString& objectName, std::function<void(QWidget*)> action);

// A picture whose every pixel differs from its neighbours, so any shift or crop shows.
QImage patternPicture(int width, int height);

}  // namespace quiblo::test

#include <QList>

namespace quiblo::test {

// The clipboard holders (this program's hidden mode) running with `variable` (DISPLAY or
// WAYLAND_DISPLAY) set to `value` in their environment, by process id.
QList<qint64> clipboardHolders(const char* variable, const QByteArray& value);

}  // namespace quiblo::test

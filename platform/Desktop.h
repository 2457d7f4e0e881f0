// The one seam between the windows and the desktop: message boxes, the save-file dialog,
// opening addresses in the browser and starting other programs. The program uses QtDesktop;
// tests use ScriptedDesktop, which records what was shown and answers from a queue.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

namespace quiblo {

enum class MsgIcon { None, Information, Question, Warning, Critical };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { None, Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    QString title;
    QString text;  // plain text; CR LF breaks the line
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultButton = MsgAnswer::None;  // None: the first button
};

struct SaveFileRequest {
    QString title;
    QString folder;
    QString fileName;
    QString filter;  // Qt name filter, e.g. "PNG (*.png)"
};

// A program started through the desktop. Destroying it while the program runs ends the program.
class StartedProcess {
public:
    virtual ~StartedProcess() = default;
    // Waits until the program has ended, keeping windows painted meanwhile.
    virtual void waitForExit() = 0;
    virtual bool isRunning() const = 0;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    virtual MsgAnswer messageBox(QWidget* parent, const MessageBoxRequest& request) = 0;
    // Returns the chosen path, or an empty text when the user cancelled.
    virtual QString saveFileName(QWidget* parent, const SaveFileRequest& request) = 0;
    // Asks the desktop to open the address; the result is not examined.
    virtual void openUrl(const QString& url) = 0;
    // Starts a program without a shell. Returns null and fills error when it cannot start.
    virtual std::unique_ptr<StartedProcess> startProcess(const QString& program,
                                                         const QStringList& arguments,
                                                         QString* error) = 0;

    // Shorthand for the common boxes.
    MsgAnswer message(QWidget* parent, const QString& title, const QString& text, MsgIcon icon,
                      MsgButtons buttons = MsgButtons::Ok,
                      MsgAnswer defaultButton = MsgAnswer::None);
};

// The real desktop: QMessageBox, QFileDialog, QDesktopServices, QProcess.
class QtDesktop : public Desktop {
public:
    MsgAnswer messageBox(QWidget* parent, const MessageBoxRequest& request) override;
    QString saveFileName(QWidget* parent, const SaveFileRequest& request) override;
    void openUrl(const QString& url) override;
    std::unique_ptr<StartedProcess> startProcess(const QString& program,
                                                 const QStringList& arguments,
                                                 QString* error) override;
};

// Starts a real process (used by both desktops: tests run a real editor script).
std::unique_ptr<StartedProcess> startRealProcess(const QString& program,
                                                 const QStringList& arguments, QString* error);

// Message texts join their lines with CR LF; Qt breaks lines at LF alone.
QString displayText(const QString& text);

}  // namespace quiblo

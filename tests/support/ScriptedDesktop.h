// A desktop for tests and benchmarks, never linked into the program: records every box,
// dialog, address and program, and answers from queues instead of waiting for a person.
#pragma once

#include <QList>
#include <QQueue>
#include <functional>

#include "platform/Desktop.h"

namespace quiblo {

struct StartRequest {
    QString program;
    QStringList arguments;
};

class ScriptedDesktop : public Desktop {
public:
    MsgAnswer messageBox(QWidget* parent, const MessageBoxRequest& request) override;
    QString saveFileName(QWidget* parent, const SaveFileRequest& request) override;
    void openUrl(const QString& url) override;
    std::unique_ptr<StartedProcess> startProcess(const QString& program,
                                                 const QStringList& arguments,
                                                 QString* error) override;

    // Answers to the next boxes, in order; with the queue empty a box is answered with its
    // default button.
    QQueue<MsgAnswer> answers;
    // Paths for the next save dialogs; with the queue empty the dialog is cancelled.
    QQueue<QString> savePaths;
    // Called while a box is "shown", before it is answered.
    std::function<void(const MessageBoxRequest&)> onMessageBox;

    QList<MessageBoxRequest> shownBoxes;
    QList<SaveFileRequest> saveDialogs;
    QList<QString> openedUrls;
    QList<StartRequest> startedPrograms;
};

}  // namespace quiblo

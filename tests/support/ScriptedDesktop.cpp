#include "ScriptedDesktop.h"

namespace quiblo {

MsgAnswer ScriptedDesktop::messageBox(QWidget*, const MessageBoxRequest& request) {
    shownBoxes.append(request);
    if (onMessageBox) onMessageBox(request);
    if (!answers.isEmpty()) return answers.dequeue();
    if (request.defaultButton != MsgAnswer::None) return request.defaultButton;
    bool yesNo = request.buttons == MsgButtons::YesNo || request.buttons == MsgButtons::YesNoCancel;
    return yesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
}

QString ScriptedDesktop::saveFileName(QWidget*, const SaveFileRequest& request) {
    saveDialogs.append(request);
    return savePaths.isEmpty() ? QString() : savePaths.dequeue();
}

void ScriptedDesktop::openUrl(const QString& url) {
    openedUrls.append(url);
}

std::unique_ptr<StartedProcess> ScriptedDesktop::startProcess(const QString& program,
                                                              const QStringList& arguments,
                                                              QString* error) {
    startedPrograms.append({program, arguments});
    return startRealProcess(program, arguments, error);
}

}  // namespace quiblo

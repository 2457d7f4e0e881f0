// The drawing step: opens the work file in the image editor and waits until the editor ends,
// or lets the user send the picture as it is.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quiblo {

class Desktop;

class LoadMspaintWin : public QDialog {
    Q_OBJECT

public:
    LoadMspaintWin(Desktop& desktop, const QString& workPngPath, QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Status;
    QPushButton* SendMspaintCmd;
    QPushButton* CancelCmd;

    void SendMspaintCmd_Click();
    void CancelCmd_Click();

    void reject() override;  // Esc: as CancelCmd

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Desktop& desktop_;
    QString workPngPath_;
    bool editorRunning_ = false;  // while the editor may write the file, nothing closes us
};

}  // namespace quiblo

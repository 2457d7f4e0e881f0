// The history window: lists past uploads from the history file, shows the viewing URL of the
// chosen one, opens it in the browser, copies the URL, and deletes the picture on the service.
#pragma once

#include <QDialog>

#include "platform/Desktop.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace quiblo {

// What the service's answer to a deletion request means for the window.
struct DeleteReply {
    QString title;
    QString text;
    MsgIcon icon = MsgIcon::Critical;
    bool removesRecord = false;  // the picture is gone from the service
};

// Reads "status|token|message". A reply of fewer than three fields is incomplete: it is taken
// for a failed request and removes nothing, whatever its first fields say.
DeleteReply readDeleteReply(const QString& reply);

class DeleteWin : public QDialog {
    Q_OBJECT

public:
    // Loads the history of programFolder; a missing history is told through desktop.
    DeleteWin(Desktop& desktop, const QString& programFolder, QWidget* parent = nullptr);

    // Controls, named as designed.
    QLabel* Label1;
    QFrame* Line1;
    QLabel* Label2;
    QListWidget* DelList;
    QLabel* Label3;
    QLineEdit* URL;
    QPushButton* URLCopyCmd;
    QPushButton* CheckImgCmd;
    QPushButton* DelCmd;
    QPushButton* CloseCmd;

    // Handlers.
    void Form_Load();
    void DelList_Click();
    void CheckImgCmd_Click();
    void URLCopyCmd_Click();
    void DelCmd_Click();
    void CloseCmd_Click();

private:
    void buildControls();
    void fitListToEntries();
    void connectHandlers();
    void setActionsEnabled(bool enabled);
    QListWidgetItem* selectedEntry() const;
    QString selectedCode() const;
    bool removeFromHistory(const QString& pngcode, const QString& delid);
    void removeEntry(int row);

    Desktop& desktop_;
    QString programFolder_;
};

}  // namespace quiblo

// The history window: lists past uploads from the history file, shows the viewing URL of the
// chosen one, opens it in the browser, copies the URL, and deletes the picture on the service.
#pragma once

#include <QDialog>
#include <QFutureWatcher>
#include <QHash>

#include "history/HistoryPictures.h"
#include "platform/Desktop.h"
#include "service/ServiceSettings.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace quiblo {

class ImgctlLibrary;

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
    // Loads the history of programFolder; a missing history is told through desktop. The
    // window works with the service of `service` while it is open. The entries' pictures come
    // in the background; imgctl keeps those fetched from the service (none: none is fetched).
    DeleteWin(Desktop& desktop, const QString& programFolder,
              const ServiceSettings& service = serviceSettings(), QWidget* parent = nullptr,
              ImgctlLibrary* imgctl = nullptr);
    ~DeleteWin() override;

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
    QLabel* Preview;  // the chosen entry's picture, right of the designed controls

    // Handlers.
    void Form_Load();
    void DelList_Click();
    void CheckImgCmd_Click();
    void URLCopyCmd_Click();
    void DelCmd_Click();
    void CloseCmd_Click();
    void Pictures_ResultReadyAt(int index);
    void Pictures_Finished();

    // True once the background has found what it could: every kept picture and the service's
    // answers are shown.
    bool picturesFound() const { return picturesFound_; }

private:
    void buildControls();
    void fitListToEntries();
    void addPreview();
    void findPictures();
    void showPreview();
    void markGone(const QSet<QString>& codes);
    void showIcon(QListWidgetItem* item);
    void connectHandlers();
    void setActionsEnabled(bool enabled);
    QListWidgetItem* selectedEntry() const;
    QString selectedCode() const;
    bool removeFromHistory(const QString& pngcode, const QString& delid);
    void removeEntry(int row);

    Desktop& desktop_;
    QString programFolder_;
    ServiceSettings service_;
    ImgctlLibrary* imgctl_;
    QFutureWatcher<HistoryPictureNews> pictures_;
    QMultiHash<QString, QListWidgetItem*> entryOfCode_;
    bool picturesFound_ = false;  // a code listed twice has two
};

}  // namespace quiblo

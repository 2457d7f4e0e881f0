// The confirmation window: the captured rectangle at its real size in a viewport where a larger
// picture is dragged by hand, the local-copy and drawing options, and the go-ahead.
#pragma once

#include <QDialog>
#include <QImage>
#include <QRect>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace quiblo {

class Desktop;
class ImgctlLibrary;
class PreviewWin;

// The picture inside the viewport, held whole; it reports the mouse to its window.
class PreviewPicture : public QWidget {
public:
    PreviewPicture(PreviewWin* win, QWidget* parent);
    QImage picture;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    PreviewWin* win_;
};

class PreviewWin : public QDialog {
    Q_OBJECT

public:
    // heldPicture: the whole captured picture; the window shows its rectangle `shown`. The local
    // copy is written through imgctl.
    PreviewWin(Desktop& desktop, ImgctlLibrary& imgctl, const QImage& heldPicture,
               const QRect& shown, QWidget* parent = nullptr);

    // Opens the upload dialog; it returns when the upload is over. Until set, "はい" closes the
    // window as if the dialog had returned.
    std::function<void(PreviewWin&)> openUploadDialog;
    // Called when the confirmation ends without an upload: given up, or the local copy failed.
    std::function<void()> onFailed;

    // Whether the user asks to draw on the picture before it is sent (and has not been offered
    // it yet).
    bool paintWanted() const;
    // The drawing step has been offered: the drawing box shows its grey third state.
    void drawingOffered();

    // Whether the local copy was written as the user went ahead.
    bool localCopyWritten() const { return localCopyWritten_; }

    // The picture shown in the preview: the whole rectangle, also what the viewport hides.
    const QImage& previewPicture() const { return picture_; }

    QLabel* Label1;
    QLabel* Label2;
    QCheckBox* IsSaveLocalDisk;
    QCheckBox* IsPaintMode;
    QPushButton* GoAheadCmd;
    QPushButton* QuibloStopCmd;
    QGroupBox* PreviewFrame;
    QWidget* PreviewWaku;
    PreviewPicture* Preview;

    void Form_Load();
    void GoAheadCmd_Click();
    void QuibloStopCmd_Click();
    void Preview_MouseDown(QPoint pos);
    void Preview_MouseMove(QPoint pos, Qt::MouseButtons buttons);
    void Preview_MouseUp();

    void reject() override;  // Esc and the title bar's close: as "いいえ"

private:
    bool localCopyWritten_ = false;
    void buildControls();
    bool askSavePath(QString* path);
    bool saveLocalCopy(const QString& path);

    void failed();

    Desktop& desktop_;
    ImgctlLibrary& imgctl_;
    QImage picture_;
    QPoint pressPoint_;
};

// The image editors looked for, in this order, when QUIBLO_PAINT_COMMAND names none.
QStringList knownPaintEditors();
// The editor command: QUIBLO_PAINT_COMMAND, or the first known editor found on the PATH; empty
// when there is none.
QString paintCommand();
// True when the editor command can be started.
bool IsPaintAvailable();
// For the drawing box's tooltip: the editor that will open, or that none was found and how to
// name one.
QString paintEditorNote();

}  // namespace quiblo

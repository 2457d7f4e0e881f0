// The main window: the three steps of a capture, the viewing URL of the last upload and every
// command of the program.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <array>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace quiblo {

class PreviewWin;
struct UploadHooks;

class AppState;

// The hidden picture holder: keeps the last captured picture until the next capture.
class PictureHolder : public QWidget {
public:
    using QWidget::QWidget;
    QImage picture;
};

class MainWin : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWin(AppState& app, QWidget* parent = nullptr);

    // Start-up. False: the program must end (a message has been shown).
    bool Form_Load();

    // Controls, named as designed.
    QLabel* Title;
    QLabel* Explanation;
    QGroupBox* Type1;
    QWidget* Type1_Pic;
    std::array<QRadioButton*, 3> QuibloType;
    QGroupBox* Type2;
    QWidget* Type2_Pic;
    QLabel* QuibloGuide;
    QPushButton* QuibloCmd;
    QLabel* QuibloGuide2;
    QGroupBox* Type3;
    QWidget* Type3_Pic;
    QLabel* ConfirmGuide;
    QPushButton* CheckImgCmd;
    QPlainTextEdit* URL;
    QLabel* ConfirmGuide2;
    QPushButton* DeleteCmd;
    QPushButton* URLCopyCmd;
    QPushButton* ExitCmd;
    PictureHolder* TempPic;
    QTimer* NoticeTickerTimer;
    QFrame* NoticeURL;

    QMenu* QuibloMenu;
    std::array<QAction*, 3> PosSelectMenuCmd;
    QAction* QuibloMenuCmd;
    QAction* ExitMenuCmd;
    QMenu* OtherMenu;
    QAction* URLCopyMenuCmd;
    QAction* CheckImgMenuCmd;
    QAction* ManualDeleteMenuCmd;
    QAction* OpenSettingsWinMenuCmd;
    QAction* CheckUploadCountCmd;
    QAction* ShowVersionMenuCmd;

    // Handlers.
    void URL_Change();
    void URLCopyCmd_Click();
    void CheckImgCmd_Click();
    void DeleteCmd_Click();
    void OpenSettingsWinMenuCmd_Click();
    void ShowVersionMenuCmd_Click();
    void CheckUploadCountCmd_Click();
    void ExitCmd_Click();
    void QuibloCmd_Click();
    void QuibloType_Click(int index);
    void PosSelectMenuCmd_Click(int index);
    void NoticeTickerTimer_Timer();

    // A capture of the type (1 full screen, 2 window, 3 region) asked for from outside: the
    // command line or a later start. False when the program is busy and cannot take it.
    bool captureFromShortcut(int captureType);

    // Starts the blink of the frame around the result.
    void startNoticeBlink();
    // Progress of the capture command, reported as the error position.
    qint16 CaptureStep = 0;
    // Ticks of the notice blink since it started.
    qint16 BlinkCount = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    UploadHooks uploadHooks(PreviewWin& confirmed);
    void buildControls();
    void buildMenus();
    void connectHandlers();
    void fitTexts();
    void Form_Unload();
    bool checkImageLibrary();
    bool checkSingleInstance();
    void takeOverAsRunningCopy();
    bool InstanceServer_Request(const QString& request);
    void warnUnwritableFolder();
    bool runCapture();
    QImage grabForType(int wait);
    void restoreClipboard(const QImage& picture, const QString& savedText);
    void reportCaptureFault(int number, const QString& description);
    void reportInvalidPicture();
    void endForUnsupportedPlatform();

    AppState& app_;
};

// "クイブロ  v$major.$minor" with the program's version filled in.
QString mainWindowTitle();
// "全画面($ScreenSize)" with the screen's size in device pixels filled in.
QString fullScreenCaption(QSize screenPixels);
// The primary screen's size in device pixels.
QSize screenPixelSize();

}  // namespace quiblo

#include "MainWin.h"

#include <array>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>

#include "AppState.h"
#include "Artwork.h"
#include "CommandLine.h"
#include "VersionWin.h"
#include "WindowActivation.h"
#include "history/DeleteWin.h"
#include "history/HistoryFile.h"
#include "platform/Lines.h"
#include "platform/ProgramFolder.h"
#include "platform/TextFit.h"
#include "platform/Twips.h"
#include "platform/Wait.h"
#include "service/UserCheck.h"
#include "service/UserId.h"
#include "settings/IniFile.h"
#include "settings/SettingsWin.h"

namespace quiblo {

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& tooltip, int left, int top, int width, int height) {
    auto* button = makeControl<QPushButton>(parent, name, left, top, width, height);
    button->setText(caption);
    button->setToolTip(tooltip);
    button->setAutoDefault(true);  // Enter presses the button that has the focus
    return button;
}

// A frame with its inner container, which holds the frame's controls.
QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption, QRect twips,
                     QWidget** container, const char* containerName, QPoint containerTwips) {
    auto* frame =
        makeControl<QGroupBox>(parent, name, twips.x(), twips.y(), twips.width(), twips.height());
    frame->setTitle(caption);
    *container = makeControl<QWidget>(frame, containerName, containerTwips.x(), containerTwips.y(),
                                      twips.width() - containerTwips.x(),
                                      twips.height() - containerTwips.y());
    return frame;
}

QAction* makeAction(QMenu* menu, const char* name, const QString& caption,
                    QKeySequence key = QKeySequence()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

}  // namespace

QString mainWindowTitle() {
    QString title = MainWin::tr("Quiblo v$major.$minor");
    title.replace(QLatin1String("$major"), QString::number(kVersionMajor));
    title.replace(QLatin1String("$minor"), QString::number(kVersionMinor));
    return title;
}

QString fullScreenCaption(QSize screenPixels) {
    QString caption = MainWin::tr("Full screen ($ScreenSize)");
    caption.replace(QLatin1String("$ScreenSize"),
                    QStringLiteral("%1x%2").arg(screenPixels.width()).arg(screenPixels.height()));
    return caption;
}

QSize screenPixelSize() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return QSize(0, 0);
    const qreal ratio = screen->devicePixelRatio();
    const QSize logical = screen->geometry().size();
    return QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio));
}

MainWin::MainWin(AppState& app, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      app_(app) {
    setObjectName(QStringLiteral("MainWin"));
    setWindowTitle(tr("Quiblo v$major.$minor"));
    setWindowIcon(programIcon());
    buildControls();
    buildMenus();
    connectHandlers();
}

void MainWin::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(twipsToPixels(4470), twipsToPixels(7095));
    setCentralWidget(client);

    Title = makeControl<QLabel>(client, "Title", 0, 0, 4500, 900);
    Title->setPixmap(bannerPicture());
    Title->setAccessibleName(tr("Quiblo"));
    Explanation = makeLabel(client, "Explanation",
                            tr("Quiblo shows your screen to other people\n"
                               "on the internet in a few clicks.\n"
                               "Use it to post a picture to a forum for a while."),
                            68, 1080, 4335, 615);

    Type1 = makeFrame(client, "Type1", tr("1. What to capture"), QRect(248, 1800, 3990, 1215),
                      &Type1_Pic, "Type1_Pic", QPoint(120, 240));
    QuibloType[0] = makeControl<QRadioButton>(Type1_Pic, "QuibloType_0", 0, 60, 1935, 195);
    QuibloType[0]->setText(tr("Full screen ($ScreenSize)"));
    QuibloType[0]->setChecked(true);
    QuibloType[1] = makeControl<QRadioButton>(Type1_Pic, "QuibloType_1", 0, 360, 2175, 435);
    QuibloType[1]->setText(
        tr("Active window\n"
           "(the one in front)"));
    QuibloType[2] = makeControl<QRadioButton>(Type1_Pic, "QuibloType_2", 2040, 60, 1635, 195);
    QuibloType[2]->setText(tr("Region"));

    Type2 = makeFrame(client, "Type2", tr("2. Capture"), QRect(233, 3120, 3990, 1215), &Type2_Pic,
                      "Type2_Pic", QPoint(120, 240));
    QuibloGuide =
        makeLabel(Type2_Pic, "QuibloGuide", tr("When you are ready..."), 300, 180, 1515, 195);
    QuibloCmd = makeButton(Type2_Pic, "QuibloCmd", tr("Quiblo"), tr("Captures the screen."), 2220,
                           0, 1035, 495);
    QuibloCmd->setDefault(true);
    QuibloGuide2 = makeLabel(Type2_Pic, "QuibloGuide2", tr("Then you select a region or confirm."),
                             0, 600, 3675, 195);

    Type3 = makeFrame(client, "Type3", tr("3. Share"), QRect(233, 4440, 3990, 1995), &Type3_Pic,
                      "Type3_Pic", QPoint(180, 180));
    ConfirmGuide = makeLabel(Type3_Pic, "ConfirmGuide",
                             tr("Anyone with this URL can see your picture.\n"
                                "Send it to whoever you like."),
                             60, 60, 3675, 555);
    ConfirmGuide->setWordWrap(true);
    CheckImgCmd = makeButton(Type3_Pic, "CheckImgCmd", tr("Vi&ew"),
                             tr("Shows the picture in the browser."), 2700, 360, 915, 315);
    URL = makeControl<QPlainTextEdit>(Type3_Pic, "URL", 60, 720, 3615, 495);
    URL->setReadOnly(true);
    URL->setAccessibleName(tr("Picture URL"));
    URL->setTabChangesFocus(true);
    URL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    URL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    URL->setPlainText(QStringLiteral("%URL%"));
    ConfirmGuide2 = makeLabel(Type3_Pic, "ConfirmGuide2",
                              tr("Pictures are deleted after a few weeks,\n"
                                 "or sooner with [&My uploads] below."),
                              60, 1320, 3675, 435);
    // Shown as a designed label shows an access key: the letter underlined, no ampersand.
    ConfirmGuide2->setTextFormat(Qt::RichText);
    ConfirmGuide2->setText(
        ConfirmGuide2->text()
            .toHtmlEscaped()
            .replace(QRegularExpression(QStringLiteral("&amp;(.)")), QStringLiteral("<u>\\1</u>"))
            .replace(QLatin1Char('\n'), QStringLiteral("<br>")));

    DeleteCmd = makeButton(client, "DeleteCmd", tr("&My uploads"),
                           tr("Shows your uploads, and deletes pictures you uploaded."), 552, 6600,
                           1335, 315);
    URLCopyCmd = makeButton(client, "URLCopyCmd", tr("&Copy URL"),
                            tr("Copies the URL above to the clipboard."), 2344, 6600, 1575, 315);
    // Below the client area: never seen, but Esc presses it.
    ExitCmd = makeButton(client, "ExitCmd", "Exit", nullptr, 60, 7200, 195, 240);
    ExitCmd->setFocusPolicy(Qt::NoFocus);  // an unseen button is no Tab stop

    TempPic = new PictureHolder(client);
    TempPic->setObjectName(QStringLiteral("TempPic"));
    TempPic->hide();

    NoticeTickerTimer = new QTimer(this);
    NoticeTickerTimer->setObjectName(QStringLiteral("NoticeTickerTimer"));
    NoticeTickerTimer->setInterval(500);

    NoticeURL = new QFrame(client);
    NoticeURL->setObjectName(QStringLiteral("NoticeURL"));
    NoticeURL->setFrameShape(QFrame::Box);
    NoticeURL->setStyleSheet(QStringLiteral("QFrame#NoticeURL { border: 2px solid #d02020; }"));
    NoticeURL->setAttribute(Qt::WA_TransparentForMouseEvents);
    NoticeURL->lower();  // behind the frames: only the part outside the frame shows
    NoticeURL->hide();
}

void MainWin::buildMenus() {
    QuibloMenu = menuBar()->addMenu(tr("&Quiblo"));
    QuibloMenu->setObjectName(QStringLiteral("QuibloMenu"));
    PosSelectMenuCmd[0] =
        makeAction(QuibloMenu, "PosSelectMenuCmd_0", tr("&Full screen"), Qt::Key_F2);
    PosSelectMenuCmd[1] =
        makeAction(QuibloMenu, "PosSelectMenuCmd_1", tr("Active &window"), Qt::Key_F3);
    PosSelectMenuCmd[2] = makeAction(QuibloMenu, "PosSelectMenuCmd_2", tr("&Region"), Qt::Key_F4);
    for (QAction* entry : PosSelectMenuCmd) entry->setCheckable(true);
    QuibloMenu->addSeparator()->setObjectName(QStringLiteral("k_quiblo_01"));
    QuibloMenuCmd = makeAction(QuibloMenu, "QuibloMenuCmd", tr("&Capture"), Qt::Key_F5);
    QuibloMenu->addSeparator()->setObjectName(QStringLiteral("k_quiblo_02"));
    ExitMenuCmd = makeAction(QuibloMenu, "ExitMenuCmd", tr("E&xit (Esc)"));

    OtherMenu = menuBar()->addMenu(tr("&Tools"));
    OtherMenu->setObjectName(QStringLiteral("OtherMenu"));
    URLCopyMenuCmd = makeAction(OtherMenu, "URLCopyMenuCmd", tr("&Copy URL"), Qt::Key_F6);
    CheckImgMenuCmd =
        makeAction(OtherMenu, "CheckImgMenuCmd", tr("&Open uploaded picture..."), Qt::Key_F7);
    ManualDeleteMenuCmd =
        makeAction(OtherMenu, "ManualDeleteMenuCmd", tr("&History and deletion..."), Qt::Key_F8);
    OtherMenu->addSeparator()->setObjectName(QStringLiteral("k_other_01"));
    OpenSettingsWinMenuCmd =
        makeAction(OtherMenu, "OpenSettingsWinMenuCmd", tr("&Settings..."), Qt::Key_F9);
    CheckUploadCountCmd = makeAction(OtherMenu, "CheckUploadCountCmd", tr("Check &usage"));
    OtherMenu->addSeparator()->setObjectName(QStringLiteral("k_other_02"));
    ShowVersionMenuCmd = makeAction(OtherMenu, "ShowVersionMenuCmd", tr("&About Quiblo"));
}

void MainWin::connectHandlers() {
    connect(URL, &QPlainTextEdit::textChanged, this, &MainWin::URL_Change);
    connect(URLCopyCmd, &QPushButton::clicked, this, &MainWin::URLCopyCmd_Click);
    connect(URLCopyMenuCmd, &QAction::triggered, this, &MainWin::URLCopyCmd_Click);
    connect(CheckImgCmd, &QPushButton::clicked, this, &MainWin::CheckImgCmd_Click);
    connect(CheckImgMenuCmd, &QAction::triggered, this, &MainWin::CheckImgCmd_Click);
    connect(DeleteCmd, &QPushButton::clicked, this, &MainWin::DeleteCmd_Click);
    connect(ManualDeleteMenuCmd, &QAction::triggered, this, &MainWin::DeleteCmd_Click);
    connect(OpenSettingsWinMenuCmd, &QAction::triggered, this,
            &MainWin::OpenSettingsWinMenuCmd_Click);
    connect(ShowVersionMenuCmd, &QAction::triggered, this, &MainWin::ShowVersionMenuCmd_Click);
    connect(CheckUploadCountCmd, &QAction::triggered, this, &MainWin::CheckUploadCountCmd_Click);
    connect(ExitCmd, &QPushButton::clicked, this, &MainWin::ExitCmd_Click);
    connect(ExitMenuCmd, &QAction::triggered, this, &MainWin::ExitCmd_Click);
    connect(QuibloCmd, &QPushButton::clicked, this, &MainWin::QuibloCmd_Click);
    connect(QuibloMenuCmd, &QAction::triggered, this, &MainWin::QuibloCmd_Click);
    for (int i = 0; i < 3; ++i) {
        connect(QuibloType[i], &QRadioButton::clicked, this, [this, i] { QuibloType_Click(i); });
        connect(PosSelectMenuCmd[i], &QAction::triggered, this,
                [this, i] { PosSelectMenuCmd_Click(i); });
    }
    connect(NoticeTickerTimer, &QTimer::timeout, this, &MainWin::NoticeTickerTimer_Timer);
}

// Texts that run past their controls in this font make room for themselves; the three frames
// stand as one column, so a frame that grew wider widens the other two as much.
void MainWin::fitTexts() {
    const std::array<QGroupBox*, 3> frames{Type1, Type2, Type3};
    const std::array<QWidget*, 3> containers{Type1_Pic, Type2_Pic, Type3_Pic};
    std::array<int, 3> designed{};
    for (size_t i = 0; i < frames.size(); ++i) designed[i] = frames[i]->width();
    fitDesignedTexts(this);
    int wider = 0;
    for (size_t i = 0; i < frames.size(); ++i)
        wider = std::max(wider, frames[i]->width() - designed[i]);
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i]->resize(designed[i] + wider, frames[i]->height());
        containers[i]->resize(frames[i]->width() - containers[i]->x(), containers[i]->height());
    }
}

bool MainWin::Form_Load() {
    if (!checkImageLibrary()) return false;
    if (!checkSingleInstance()) return false;
    if (!app_.programFolderWritable()) warnUnwritableFolder();

    setWindowTitle(mainWindowTitle());
    // The screen is the primary monitor, as the screen source sees it where it can tell.
    const QRect primary = app_.screen().primaryScreenRect();
    const QSize screen = primary.isEmpty() ? screenPixelSize() : primary.size();
    QuibloType[0]->setText(fullScreenCaption(screen));

    URL->setPlainText(QString());  // runs URL_Change: the URL commands start disabled
    fitTexts();

    const QRect frame = Type3->geometry();
    const int margin = twipsToPixels(50);
    NoticeURL->setGeometry(frame.adjusted(-margin, -margin, margin, margin));
    NoticeURL->hide();

    app_.CaptureType = 1;
    PosSelectMenuCmd[0]->setChecked(true);

    TempPic->resize(screen);
    TempPic->picture = QImage();
    TempPic->hide();

    adjustSize();
    setFixedSize(sizeHint());
    centreOnScreen(this);
    return true;
}

void MainWin::URL_Change() {
    const bool hasUrl = !URL->toPlainText().isEmpty();
    for (QPushButton* button : {URLCopyCmd, CheckImgCmd}) button->setEnabled(hasUrl);
    for (QAction* entry : {URLCopyMenuCmd, CheckImgMenuCmd}) entry->setEnabled(hasUrl);
}

void MainWin::URLCopyCmd_Click() {
    QGuiApplication::clipboard()->setText(URL->toPlainText());
    app_.desktop().message(this, tr("Confirm"), tr("The URL was copied to the clipboard."),
                           MsgIcon::Information);
}

void MainWin::CheckImgCmd_Click() {
    app_.desktop().openUrl(URL->toPlainText());
}

void MainWin::DeleteCmd_Click() {
    DeleteWin history(app_.desktop(), app_.programFolder(), app_.serviceSettings(), this,
                      &app_.imgctl());
    history.exec();
    activateWithFocus(this);
}

void MainWin::OpenSettingsWinMenuCmd_Click() {
    SettingsWin settings(app_.desktop(), app_.programFolder(), this);
    settings.exec();
    activateWithFocus(this);
}

void MainWin::ShowVersionMenuCmd_Click() {
    VersionWin version(app_.desktop(), this);
    version.exec();
    activateWithFocus(this);
}

void MainWin::CheckUploadCountCmd_Click() {
    const ActivateWhenDone activate(this);
    const UserCheck check = checkUser(app_.serviceSettings(), app_.httpLimits());
    for (const QString& problem : {check.unreadableSetting, check.tlsFailure}) {
        if (!problem.isEmpty()) {
            app_.desktop().message(this, tr("Error"), problem, MsgIcon::Critical);
            return;
        }
    }
    const UsageReport report = usageReport(check.reply);
    switch (report.kind) {
        case UsageReport::Kind::Usage:
            app_.desktop().message(this, tr("Information"), report.text, MsgIcon::Information);
            return;
        case UsageReport::Kind::Silent:
            return;
        case UsageReport::Kind::Refused:
        case UsageReport::Kind::Failed:
            break;
    }
    // Refused, or the service cannot be reached: the program cannot go on.
    app_.desktop().message(this, tr("Error"), report.text, MsgIcon::Critical);
    close();
}

void MainWin::ExitCmd_Click() {
    close();
}

void MainWin::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            ExitCmd->click();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Keys reach the window only when the focused control did not take them: the
            // capture button is the window's default button.
            if (QuibloCmd->isEnabled()) QuibloCmd->click();
            return;
        default:
            QMainWindow::keyPressEvent(event);
    }
}

void MainWin::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
    // The program lives as long as this window, also when it closes while hidden (a capture
    // that found no screen), where closing the last window would not end it.
    QCoreApplication::quit();
}

void MainWin::Form_Unload() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isWindow()) window->close();
    }
}

}  // namespace quiblo

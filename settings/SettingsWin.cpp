#include "SettingsWin.h"

#include <algorithm>

#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWheelEvent>
#include <utility>

#include "IniFile.h"
#include "LanguageSetting.h"
#include "ServiceSetting.h"
#include "WorkFileCleaning.h"
#include "history/Thumbnails.h"
#include "platform/Desktop.h"
#include "platform/Lines.h"
#include "platform/ProgramFolder.h"
#include "platform/TextFit.h"
#include "platform/Twips.h"

namespace quiblo {

namespace {

constexpr int kMinimumWait = 100;
constexpr int kMaximumWait = 1000;
constexpr int kWaitIncrement = 100;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width, int height) {
    auto* button = makeControl<QPushButton>(parent, name, left, top, width, height);
    button->setText(caption);
    button->setAutoDefault(true);  // Enter presses the button that has the focus
    return button;
}

QToolButton* makeArrow(QWidget* parent, Qt::ArrowType arrow) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// Up and Down step an up-down; the wheel too. True when the event was one of these.
bool stepByInput(UpDown* upDown, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up) upDown->stepUp();
        if (key == Qt::Key_Down) upDown->stepDown();
        return key == Qt::Key_Up || key == Qt::Key_Down;
    }
    if (event->type() == QEvent::Wheel) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        if (delta > 0) upDown->stepUp();
        if (delta < 0) upDown->stepDown();
        return true;
    }
    return false;
}

}  // namespace

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    upButton = makeArrow(this, Qt::UpArrow);
    downButton = makeArrow(this, Qt::DownArrow);
    connect(upButton, &QToolButton::clicked, this, [this] { stepUp(); });
    connect(downButton, &QToolButton::clicked, this, [this] { stepDown(); });
}

void UpDown::setValue(int value) {
    const int clamped = std::clamp(value, minimum_, maximum_);
    if (clamped == value_) return;
    value_ = clamped;
    if (onChange) onChange();
}

void UpDown::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setValue(value_);
}

void UpDown::resizeEvent(QResizeEvent*) {
    const int upper = height() / 2;
    upButton->setGeometry(0, 0, width(), upper);
    downButton->setGeometry(0, upper, width(), height() - upper);
}

void UpDown::keyPressEvent(QKeyEvent* event) {
    if (!stepByInput(this, event)) QWidget::keyPressEvent(event);
}

void UpDown::wheelEvent(QWheelEvent* event) {
    stepByInput(this, event);
}

SettingsWin::SettingsWin(Desktop& desktop, const QString& programFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      desktop_(desktop),
      programFolder_(programFolder) {
    setObjectName(QStringLiteral("SettingsWin"));
    setWindowTitle(tr("Quiblo - Settings"));
    setModal(true);
    buildControls();
    Form_Load();
}

void SettingsWin::buildControls() {
    Label1 = makeLabel(this, "Label1", tr("Settings"), 240, 240, 1335, 255);
    QFont heading = Label1->font();
    heading.setPointSize(12);
    Label1->setFont(heading);
    Line1 = makeControl<QFrame>(this, "Line1", 240, 540, 4920 - 240, 15);
    QPalette ink = Line1->palette();
    ink.setColor(QPalette::Window, ink.color(QPalette::WindowText));
    Line1->setPalette(ink);
    Line1->setAutoFillBackground(true);  // a one-pixel frame shape would draw nothing
    Label2 = makeLabel(this, "Label2",
                       tr("Quiblo works well as it is; here you can fine-tune how it works."), 240,
                       720, 4695, 360);
    Label2->setWordWrap(true);
    Label3 = makeLabel(this, "Label3", tr("- Delete left-over work files (tmp_***.png)"), 240, 1380,
                       4575, 195);
    CleanTmpFileCmd = makeButton(this, "CleanTmpFileCmd", tr("&Clean up"), 465, 1680, 4275, 315);
    Label4 = makeLabel(this, "Label4",
                       tr("- Wait before capturing (default 100 ms)\n"
                          "  (make it longer if Quiblo itself shows in the picture)"),
                       240, 2220, 4575, 375);
    QuibloWaitTime = makeControl<QLineEdit>(this, "QuibloWaitTime", 1980, 2700, 525, 270);
    QuibloWaitTime->setAccessibleName(tr("Wait before capturing (ms)"));
    QuibloWaitTime->setReadOnly(true);
    QuibloWaitTime->installEventFilter(this);  // its arrow keys and wheel step the up-down
    QuibloWaitTimeUD = makeControl<UpDown>(this, "QuibloWaitTimeUD", 2506, 2700, 255, 270);
    QuibloWaitTimeUD->setRange(kMinimumWait, kMaximumWait);
    QuibloWaitTimeUD->setIncrement(kWaitIncrement);
    QuibloWaitTimeUD->setAccessibleName(tr("Change the wait"));
    QuibloWaitTimeUD->upButton->setAccessibleName(tr("Longer wait"));
    QuibloWaitTimeUD->downButton->setAccessibleName(tr("Shorter wait"));
    Label5 = makeLabel(this, "Label5", QStringLiteral("ms"), 2820, 2760, 315, 255);
    Label6 = makeLabel(this, "Label6", tr("- Upload server (e.g. example.com:8780)"), 240, 3180,
                       4575, 195);
    // The address box, the port's label and its box stand apart as the rest of the window does.
    ServiceHost = makeControl<QLineEdit>(this, "ServiceHost", 465, 3450, 2685, 270);
    ServiceHost->setAccessibleName(tr("Upload server"));
    ServiceHost->setPlaceholderText(defaultServiceHost());
    ServiceHost->setMaxLength(300);
    Label7 = makeLabel(this, "Label7", tr("FTP port"), 3270, 3495, 795, 195);
    FtpPort = makeControl<QLineEdit>(this, "FtpPort", 4305, 3450, 630, 270);
    FtpPort->setAccessibleName(tr("FTP port"));
    FtpPort->setPlaceholderText(QString::number(defaultFtpPort()));
    FtpPort->setMaxLength(5);
    Label8 = makeLabel(this, "Label8", tr("- Upload key (from the server's administrator)"), 240,
                       3840, 4575, 195);
    UploadKey = makeControl<QLineEdit>(this, "UploadKey", 465, 4110, 4470, 270);
    UploadKey->setAccessibleName(tr("Upload key"));
    UploadKey->setEchoMode(QLineEdit::Password);
    UploadKey->setMaxLength(256);
    Label9 =
        makeLabel(this, "Label9", tr("- Keep pictures on the server for"), 240, 4500, 4575, 195);
    Lifetime = makeControl<QComboBox>(this, "Lifetime", 465, 4770, 2685, 300);
    Lifetime->setAccessibleName(tr("Keep pictures for"));
    // The values Quiblo.ini keeps beside the texts shown; empty: the service's keeping time.
    for (const auto& [text, value] :
         {std::pair{tr("The server's default"), ""}, std::pair{tr("1 hour"), "1h"},
          std::pair{tr("1 day"), "1d"}, std::pair{tr("1 week"), "7d"}})
        Lifetime->addItem(text, QString::fromLatin1(value));
    // The caption is in both languages, so that someone lost in the other one finds it; each
    // language's name stays in its own script.
    Label10 = makeLabel(this, "Label10", tr("- 言語 / Language"), 240, 5160, 4575, 195);
    Language = makeControl<QComboBox>(this, "Language", 465, 5430, 2685, 300);
    Language->setAccessibleName(tr("Language"));
    Language->addItem(tr("Automatic"), QStringLiteral("auto"));
    Language->addItem(QStringLiteral("日本語"), QStringLiteral("ja"));
    Language->addItem(QStringLiteral("English"), QStringLiteral("en"));
    Label11 = makeLabel(this, "Label11", tr("From the next start"), 3270, 5475, 1665, 195);
    CloseCmd = makeButton(this, "CloseCmd", tr("C&lose"), 3660, 5880, 1275, 315);

    QuibloWaitTimeUD->onChange = [this] { QuibloWaitTimeUD_Change(); };
    connect(CleanTmpFileCmd, &QPushButton::clicked, this, &SettingsWin::CleanTmpFileCmd_Click);
    connect(CloseCmd, &QPushButton::clicked, this, &SettingsWin::CloseCmd_Click);
}

void SettingsWin::Form_Load() {
    setFixedSize(twipsToPixels(5205), twipsToPixels(6345));
    fitDesignedTexts(this);
    centreOnScreen(this);
    ReadSettings();
}

void SettingsWin::ReadSettings() {
    QuibloWaitTimeUD->setValue(readCaptureWait(programFolder_));
    QuibloWaitTimeUD_Change();  // also when the value was already the stored one
    // The user's own setting; an empty box stands for the system's or the built-in one.
    const QString section = QString::fromLatin1(kSettingsSection);
    ServiceHost->setText(
        readIniString(programFolder_, section, QString::fromLatin1(kServiceHostKey)).trimmed());
    FtpPort->setText(
        readIniString(programFolder_, section, QString::fromLatin1(kFtpPortKey)).trimmed());
    UploadKey->setText(
        readIniString(programFolder_, section, QString::fromLatin1(kUploadKeyKey)).trimmed());
    const QString lifetime =
        readIniString(programFolder_, section, QString::fromLatin1(kLifetimeKey)).trimmed();
    Lifetime->setCurrentIndex(std::max(0, Lifetime->findData(lifetime)));
    const QString language =
        readIniString(programFolder_, section, QString::fromLatin1(kLanguageKey)).trimmed();
    Language->setCurrentIndex(std::max(0, Language->findData(language.toLower())));
}

// A bad address or port is said, with the box to mend it focused, and nothing is saved.
bool SettingsWin::checkServiceSettings() {
    const QString host = ServiceHost->text().trimmed();
    if (!host.isEmpty() && !parseServiceAddress(host)) {
        desktop_.message(
            this, tr("Error"),
            crLf(
                tr("The upload server is not valid.\n"
                   "Enter a host name and port (e.g. example.com:8780), without blanks or a path.\n"
                   "For encryption, start it with https://.")),
            MsgIcon::Critical);
        ServiceHost->setFocus();
        return false;
    }
    const QString port = FtpPort->text().trimmed();
    if (!port.isEmpty() && !parsePort(port)) {
        desktop_.message(this, tr("Error"), tr("Enter an FTP port from 1 to 65535."),
                         MsgIcon::Critical);
        FtpPort->setFocus();
        return false;
    }
    const QString key = UploadKey->text().trimmed();
    if (!key.isEmpty() && !isUploadKey(key)) {
        desktop_.message(this, tr("Error"),
                         crLf(tr("The upload key is not valid.\n"
                                 "Enter the key from the administrator (16 or more letters, digits "
                                 "and symbols) exactly.")),
                         MsgIcon::Critical);
        UploadKey->setFocus();
        return false;
    }
    return true;
}

// "auto" is written only over a language the file names: a file without one follows the
// desktop (or the system-wide file) already.
QString SettingsWin::languageToStore() const {
    const QString chosen = Language->currentData().toString();
    if (chosen != QLatin1String("auto")) return chosen;
    const QString absent = QStringLiteral("\n");
    return readIniString(programFolder_, QString::fromLatin1(kSettingsSection),
                         QString::fromLatin1(kLanguageKey), absent) == absent
               ? QString()
               : chosen;
}

// Written and read back: a lost setting is said rather than passed over.
bool SettingsWin::writeChecked(const char* key, const QString& value) {
    const QString section = QString::fromLatin1(kSettingsSection);
    const QString absent = QStringLiteral("\n");
    // An empty box adds no key to a file that has none.
    if (value.isEmpty() &&
        readIniString(programFolder_, section, QString::fromLatin1(key), absent) == absent)
        return true;
    return WriteIniValue(programFolder_, section, QString::fromLatin1(key), value) &&
           readIniString(programFolder_, section, QString::fromLatin1(key), QStringLiteral("\n")) ==
               value;
}

void SettingsWin::WriteSettings() {
    const QString section = QString::fromLatin1(kSettingsSection);
    const QString key = QString::fromLatin1(kWaitKey);
    const int wait = QuibloWaitTimeUD->value();
    const bool written = WriteIniValue(programFolder_, section, key, static_cast<long long>(wait));
    // Read back as well: a lost setting is said rather than passed over. -1 stands for a file or
    // value that cannot be read.
    if (written && ReadIniInt(programFolder_, section, key, -1) == wait) {
        if (writeChecked(kServiceHostKey, ServiceHost->text().trimmed()) &&
            writeChecked(kFtpPortKey, FtpPort->text().trimmed()) &&
            writeChecked(kUploadKeyKey, UploadKey->text().trimmed()) &&
            writeChecked(kLifetimeKey, Lifetime->currentData().toString()) &&
            writeChecked(kLanguageKey, languageToStore()))
            return;
        desktop_.message(this, tr("Error"),
                         crLf(tr("Could not save the upload server.\n"
                                 "%1"))
                             .arg(QDir::toNativeSeparators(programFile(
                                 programFolder_, QString::fromLatin1(kSettingsFileName)))),
                         MsgIcon::Critical);
        return;
    }
    desktop_.message(this, tr("Error"),
                     crLf(tr("Could not save the capture wait.\n"
                             "%1"))
                         .arg(QDir::toNativeSeparators(
                             programFile(programFolder_, QString::fromLatin1(kSettingsFileName)))),
                     MsgIcon::Critical);
}

void SettingsWin::QuibloWaitTimeUD_Change() {
    QuibloWaitTime->setText(QString::number(QuibloWaitTimeUD->value()));
}

void SettingsWin::CleanTmpFileCmd_Click() {
    // Both run whatever the other did.
    const bool workFilesGone = cleanWorkFiles(programFolder_);
    if (removeOrphanThumbnails(programFolder_) && workFilesGone) {
        desktop_.message(this, tr("Information"), tr("Clean-up finished."), MsgIcon::Information);
    } else {
        desktop_.message(this, tr("Error"), tr("Clean-up failed."), MsgIcon::Critical);
    }
}

void SettingsWin::CloseCmd_Click() {
    if (!checkServiceSettings()) return;
    WriteSettings();
    accept();
}

void SettingsWin::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        CloseCmd->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool SettingsWin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QuibloWaitTime && stepByInput(QuibloWaitTimeUD, event)) return true;
    return QDialog::eventFilter(watched, event);
}

}  // namespace quiblo

#include "LoadMspaintWin.h"

#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QPushButton>

#include "PreviewWin.h"
#include "platform/Desktop.h"
#include "platform/Fault.h"
#include "platform/Lines.h"
#include "platform/TextFit.h"
#include "platform/Twips.h"
#include "platform/Wait.h"

namespace quiblo {

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& tooltip) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tooltip);
    return button;
}

}  // namespace

LoadMspaintWin::LoadMspaintWin(Desktop& desktop, const QString& workPngPath, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      desktop_(desktop),
      workPngPath_(workPngPath) {
    setObjectName(QStringLiteral("LoadMspaintWin"));
    setWindowTitle(tr("Quiblo - Drawing"));
    setModal(true);
    setFixedSize(twipsToPixels(4680), twipsToPixels(1710));

    Label1 = new QLabel(tr("Drawing"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont heading = Label1->font();
    heading.setPixelSize(16);  // 12 points
    Label1->setFont(heading);
    placeTwips(Label1, 180, 180, 1995, 255);
    Status = new QLabel(tr("The picture will now open in the image editor.\n"
                           "When you have finished drawing, save it and close the editor."),
                        this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setTextFormat(Qt::PlainText);
    placeTwips(Status, 60, 600, 4575, 435);

    SendMspaintCmd = makeButton(this, "SendMspaintCmd", tr("&Edit"),
                                tr("Opens the picture in the image editor."));
    placeTwips(SendMspaintCmd, 754, 1215, 1395, 315);
    SendMspaintCmd->setDefault(true);
    CancelCmd = makeButton(this, "CancelCmd", tr("&Skip"),
                           tr("Uploads the picture at once, without drawing."));
    placeTwips(CancelCmd, 2531, 1200, 1395, 315);

    fitDesignedTexts(this);
    centreOnScreen(this);

    connect(SendMspaintCmd, &QPushButton::clicked, this, &LoadMspaintWin::SendMspaintCmd_Click);
    connect(CancelCmd, &QPushButton::clicked, this, &LoadMspaintWin::CancelCmd_Click);
}

void LoadMspaintWin::SendMspaintCmd_Click() {
    SendMspaintCmd->setEnabled(false);
    QString path = workPngPath_;
    path.remove(QLatin1Char('"'));
    QString why;
    std::unique_ptr<StartedProcess> editor = desktop_.startProcess(paintCommand(), {path}, &why);
    if (!editor) {
        const RuntimeFault fault(FaultNumber::FileNotFound);
        desktop_.message(this, tr("Error"),
                         crLf(tr("An error occurred.\n"
                                 "Error code: %1\n"
                                 "Details: %2"))
                             .arg(QString::number(fault.number()), fault.description()),
                         MsgIcon::Critical);
        return;
    }
    Status->setText(
        tr("Drawing!\n"
           "The upload starts when the editor closes."));
    editorRunning_ = true;
    editor->waitForExit();  // no polling: woken by the editor's end
    editorRunning_ = false;
    pauseFor(100);
    accept();
}

void LoadMspaintWin::CancelCmd_Click() {
    if (editorRunning_) return;  // the upload must not read a file the editor still writes
    QDialog::reject();
}

void LoadMspaintWin::reject() {
    CancelCmd_Click();
}

void LoadMspaintWin::closeEvent(QCloseEvent* event) {
    if (editorRunning_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace quiblo

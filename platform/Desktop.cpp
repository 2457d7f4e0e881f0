#include "Desktop.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QUrl>

#include "Wait.h"

namespace quiblo {

MsgAnswer Desktop::message(QWidget* parent, const QString& title, const QString& text, MsgIcon icon,
                           MsgButtons buttons, MsgAnswer defaultButton) {
    return messageBox(parent, MessageBoxRequest{title, text, icon, buttons, defaultButton});
}

QString displayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return shown;
}

namespace {

QMessageBox::Icon qtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton qtButton(MsgAnswer answer) {
    switch (answer) {
        case MsgAnswer::Ok:
            return QMessageBox::Ok;
        case MsgAnswer::Cancel:
            return QMessageBox::Cancel;
        case MsgAnswer::Yes:
            return QMessageBox::Yes;
        case MsgAnswer::No:
            return QMessageBox::No;
        case MsgAnswer::None:
            break;
    }
    return QMessageBox::NoButton;
}

MsgAnswer answerOf(int pressed) {
    switch (pressed) {
        case QMessageBox::Ok:
            return MsgAnswer::Ok;
        case QMessageBox::Cancel:
            return MsgAnswer::Cancel;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        default:
            return MsgAnswer::None;
    }
}

// The first button of a set, which is the default when none is named.
MsgAnswer firstButton(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
            return MsgAnswer::Yes;
        case MsgButtons::Ok:
        case MsgButtons::OkCancel:
            break;
    }
    return MsgAnswer::Ok;
}

class QtProcess : public StartedProcess {
public:
    explicit QtProcess(std::unique_ptr<QProcess> process) : process_(std::move(process)) {}
    void waitForExit() override {
        waitForSignal(process_.get(), &QProcess::finished,
                      [this] { return process_->state() == QProcess::NotRunning; });
    }
    bool isRunning() const override { return process_->state() != QProcess::NotRunning; }

private:
    std::unique_ptr<QProcess> process_;
};

// A box that keeps each line of its text whole: Qt's own box wraps lines longer than half the
// screen, which breaks Japanese text inside a word. Only a line wider than the screen wraps.
class LineKeepingBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!label || !label->wordWrap()) return;
        const int lineWidth = label->fontMetrics().size(0, label->text()).width();
        const QScreen* shownOn = screen();
        if (shownOn && lineWidth > shownOn->availableGeometry().width() * 9 / 10) return;
        label->setWordWrap(false);
        label->setMinimumWidth(lineWidth);
        setFixedSize(layout()->totalMinimumSize().expandedTo(size()));
    }
};

}  // namespace

MsgAnswer QtDesktop::messageBox(QWidget* parent, const MessageBoxRequest& request) {
    LineKeepingBox box(qtIcon(request.icon), request.title, displayText(request.text),
                       qtButtons(request.buttons), parent);
    // Service replies end up in boxes: never let them be read as rich text.
    box.setTextFormat(Qt::PlainText);
    MsgAnswer def = request.defaultButton == MsgAnswer::None ? firstButton(request.buttons)
                                                             : request.defaultButton;
    box.setDefaultButton(qtButton(def));
    return answerOf(box.exec());
}

QString QtDesktop::saveFileName(QWidget* parent, const SaveFileRequest& request) {
    QString start = request.folder;
    if (!request.fileName.isEmpty()) start = request.folder + QLatin1Char('/') + request.fileName;
    return QFileDialog::getSaveFileName(parent, request.title, start, request.filter);
}

void QtDesktop::openUrl(const QString& url) {
    QDesktopServices::openUrl(QUrl(url));
}

std::unique_ptr<StartedProcess> QtDesktop::startProcess(const QString& program,
                                                        const QStringList& arguments,
                                                        QString* error) {
    return startRealProcess(program, arguments, error);
}

std::unique_ptr<StartedProcess> startRealProcess(const QString& program,
                                                 const QStringList& arguments, QString* error) {
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    if (!process->waitForStarted()) {
        if (error) *error = process->errorString();
        return nullptr;
    }
    return std::make_unique<QtProcess>(std::move(process));
}

}  // namespace quiblo

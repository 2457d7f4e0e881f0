#include "history/DeleteWin.h"

#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QtConcurrent/QtConcurrentRun>
#include <memory>

#include "history/HistoryFile.h"
#include "history/Thumbnails.h"
#include "platform/Lines.h"
#include "platform/TextFit.h"
#include "platform/Twips.h"
#include "platform/Wait.h"
#include "service/Codes.h"
#include "service/Replies.h"
#include "service/ServiceUrls.h"
#include "service/SimpleHttp.h"

namespace quiblo {

namespace {

// Where each list entry keeps the record it shows, its picture and what the service said.
constexpr int kPngCodeRole = Qt::UserRole;
constexpr int kDelIdRole = Qt::UserRole + 1;
constexpr int kIconRole = Qt::UserRole + 2;
constexpr int kGoneRole = Qt::UserRole + 3;

// The background asks with shorter limits than a command: nobody waits for it, and a window
// closed meanwhile ends it at once anyway.
constexpr HttpLimits kBackgroundLimits{5, 5, 20, 2 << 20};

// A plain grey frame of a wide screen's shape, for an entry without a picture.
QImage placeholderPicture(QSize box) {
    QImage image(box, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QSize shape = QSize(16, 9).scaled(box, Qt::KeepAspectRatio);
    const QRect place(
        QPoint((box.width() - shape.width()) / 2, (box.height() - shape.height()) / 2), shape);
    QPainter painter(&image);
    painter.setPen(QColor(0xa0, 0xa0, 0xa0));
    painter.setBrush(QColor(0xe4, 0xe4, 0xe4));
    painter.drawRect(place.adjusted(0, 0, -1, -1));
    return image;
}

// Labels here wrap, and their designed texts break their lines with CR LF.
QLabel* makeWrappedLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                         int width, int height) {
    QLabel* label = makeLabel(parent, name, displayText(text), left, top, width, height);
    label->setWordWrap(true);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& tooltip, int left, int top, int width, int height) {
    auto* button = makeControl<QPushButton>(parent, name, left, top, width, height);
    button->setText(caption);
    button->setToolTip(tooltip);
    return button;
}

// Why a record the service no longer holds is still in the history.
QString notRemovedMessage(HistoryProblem problem) {
    switch (problem) {
        case HistoryProblem::Missing:
            return crLf(
                DeleteWin::tr("The picture is no longer on the server,\n"
                              "but the history file was not found,\n"
                              "so the entry could not be removed from the history.\n"
                              "The rest of the history file is unchanged."));
        case HistoryProblem::Unreadable:
            return crLf(
                DeleteWin::tr("The picture is no longer on the server,\n"
                              "but the history file cannot be read,\n"
                              "so the entry could not be removed from the history.\n"
                              "The rest of the history file is unchanged."));
        default:
            return crLf(
                DeleteWin::tr("The picture is no longer on the server,\n"
                              "but the history file could not be rewritten,\n"
                              "so the entry could not be removed from the history.\n"
                              "The rest of the history file is unchanged."));
    }
}

// Each pixel's own grey (Qt's conversion to grey dithers).
QImage greyed(const QImage& picture) {
    QImage grey = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int level = qGray(row[x]);
            row[x] = qRgba(level, level, level, qAlpha(row[x]));
        }
    }
    return grey;
}

}  // namespace

DeleteReply readDeleteReply(const QString& text) {
    const ResultReply reply = readResultReply(text);
    DeleteReply result{DeleteWin::tr("Error"),
                       crLf(DeleteWin::tr("Talking to the server failed, or the server failed,\n"
                                          "so the picture was not deleted.")),
                       MsgIcon::Critical, false};
    if (!reply.complete) return result;
    if (reply.status == ReplyStatus::Error) {
        result.text = reply.message;
    } else if (reply.status == ReplyStatus::Success) {
        result = {DeleteWin::tr("Information"), reply.message, MsgIcon::Information, false};
    }
    result.removesRecord = reply.code == QLatin1String("DELETE_SUCCESS") ||
                           reply.code == QLatin1String("NOT_FOUND_FILE");
    return result;
}

DeleteWin::DeleteWin(Desktop& desktop, const QString& programFolder, const ServiceSettings& service,
                     QWidget* parent, ImgctlLibrary* imgctl)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      desktop_(desktop),
      programFolder_(programFolder),
      service_(service),
      imgctl_(imgctl) {
    setObjectName(QStringLiteral("DeleteWin"));
    setWindowTitle(tr("Quiblo - Your uploads"));
    setModal(true);
    buildControls();
    connectHandlers();
    Form_Load();
}

// The worker ends at its next look at the promise; its news is no longer taken.
DeleteWin::~DeleteWin() {
    pictures_.disconnect();
    pictures_.future().cancel();
}

// Every entry has the same form, its picture before it, and a mark after it when the picture is
// gone; in this font the widest one needs more than the designed width, even beside a scroll
// bar: the list, and the window with it, grow by that much.
void DeleteWin::fitListToEntries() {
    const QString widest =
        QStringLiteral("000000000000000000.png  -  0000/00/00 00:00:00 ") + tr("(gone)");
    const int margin = DelList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 2;
    const int picture = DelList->iconSize().width() + 2 * margin;
    const int scrollBar = DelList->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int needed = DelList->fontMetrics().horizontalAdvance(widest) + 2 * margin + picture +
                       scrollBar + 2 * DelList->frameWidth();
    const int extra = needed - DelList->width();
    if (extra <= 0) return;
    DelList->resize(needed, DelList->height());
    setFixedSize(width() + extra, height());
}

void DeleteWin::buildControls() {
    setFixedSize(twipsToPixels(5205), twipsToPixels(6090));

    Label1 = makeWrappedLabel(this, "Label1", tr("Your uploads"), 300, 300, 2295, 255);
    QFont headingFont(QStringLiteral("ＭＳ Ｐゴシック"));
    headingFont.setPointSize(12);
    Label1->setFont(headingFont);
    Label1->setWordWrap(false);

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setGeometry(twipsToPixels(300), twipsToPixels(600), twipsToPixels(4980 - 300), 1);

    // Designed 780 twips high; four lines in this font need a little more, so the label reaches
    // down to the list rather than cut off its last line.
    Label2 = makeWrappedLabel(this, "Label2",
                              tr("View or delete the pictures you uploaded.") + kCrLf +
                                  tr("(You cannot delete other people's pictures.)") + kCrLf +
                                  tr("Select an entry to see its viewing URL."),
                              360, 780, 4515, 1620 - 780);
    DelList = makeControl<QListWidget>(this, "DelList", 300, 1620, 4575, 2760);
    DelList->setSortingEnabled(false);
    DelList->setAccessibleName(tr("Upload history"));
    DelList->setIconSize(kListIconSize);
    fitListToEntries();
    Label3 =
        makeWrappedLabel(this, "Label3", tr("Viewing URL of this picture"), 360, 4500, 1875, 195);
    URL = makeControl<QLineEdit>(this, "URL", 300, 4740, 4575, 270);
    URL->setReadOnly(true);
    URL->setAccessibleName(Label3->text());  // named by the label above it

    URLCopyCmd = makeButton(this, "URLCopyCmd", tr("&Copy URL"), QString(), 3000, 5160, 1875, 315);
    CheckImgCmd = makeButton(this, "CheckImgCmd", tr("Vie&w"),
                             tr("Shows the picture in the browser."), 900, 5610, 1275, 315);
    CheckImgCmd->setDefault(true);
    DelCmd = makeButton(this, "DelCmd", tr("&Delete"), tr("Deletes the picture from the server."),
                        2280, 5610, 1275, 315);
    CloseCmd = makeButton(this, "CloseCmd", tr("C&lose"), QString(), 3660, 5610, 1275, 315);
    setActionsEnabled(false);
    addPreview();
}

// The window grows to the right by the preview: every designed control keeps its place.
void DeleteWin::addPreview() {
    const int margin = twipsToPixels(300);
    int right = 0;
    for (const QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        right = std::max(right, control->geometry().right() + 1);
    Preview = new QLabel(this);
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->setFrameShape(QFrame::StyledPanel);
    Preview->setAlignment(Qt::AlignCenter);
    Preview->setAccessibleName(tr("Picture of the chosen upload"));
    const int side = kThumbnailSide + 2 * Preview->frameWidth();
    Preview->setGeometry(right + margin, twipsToPixels(780), side, side);
    Preview->setPixmap(QPixmap::fromImage(placeholderPicture({kThumbnailSide, kThumbnailSide})));
    setFixedSize(Preview->geometry().right() + 1 + margin,
                 std::max(height(), Preview->geometry().bottom() + 1 + margin));
}

void DeleteWin::connectHandlers() {
    // A click on the entry already chosen counts too: it enables CheckImgCmd again. Focus alone
    // makes an entry current without choosing it: that does not count.
    connect(DelList, &QListWidget::itemClicked, this, &DeleteWin::DelList_Click);
    connect(DelList, &QListWidget::itemSelectionChanged, this, &DeleteWin::DelList_Click);
    connect(CheckImgCmd, &QPushButton::clicked, this, &DeleteWin::CheckImgCmd_Click);
    connect(URLCopyCmd, &QPushButton::clicked, this, &DeleteWin::URLCopyCmd_Click);
    connect(DelCmd, &QPushButton::clicked, this, &DeleteWin::DelCmd_Click);
    connect(CloseCmd, &QPushButton::clicked, this, &DeleteWin::CloseCmd_Click);
    connect(&pictures_, &QFutureWatcher<HistoryPictureNews>::resultReadyAt, this,
            &DeleteWin::Pictures_ResultReadyAt);
    connect(&pictures_, &QFutureWatcher<HistoryPictureNews>::finished, this,
            &DeleteWin::Pictures_Finished);
}

void DeleteWin::Form_Load() {
    fitDesignedTexts(this);
    centreOnScreen(this);
    const HistoryEntries history = LoadHistoryEntries(programFolder_);
    // The window is not shown yet: its boxes belong to the window that opens it.
    if (history.problem == HistoryProblem::Missing)
        desktop_.message(parentWidget(), DeleteWin::tr("Error"),
                         tr("The history file was not found, so nothing can be deleted."),
                         MsgIcon::Critical);
    else if (history.problem == HistoryProblem::Unreadable)
        desktop_.message(parentWidget(), DeleteWin::tr("Error"),
                         tr("The history file cannot be read, so nothing can be deleted."),
                         MsgIcon::Critical);
    // Each entry carries its record: a newer record's display shows its time, not its id.
    const QIcon placeholder(QPixmap::fromImage(placeholderPicture(kListIconSize)));
    for (qsizetype i = 0; i < history.entries.size(); ++i) {
        auto* item = new QListWidgetItem(placeholder, history.entries[i], DelList);
        item->setData(kPngCodeRole, history.records[i].pngcode);
        item->setData(kDelIdRole, history.records[i].delid);
        entryOfCode_.insert(history.records[i].pngcode, item);
    }
    DelList->setCurrentRow(-1);
    findPictures();
}

// The settings are read here, on this thread, as they are now; the worker gets them whole.
void DeleteWin::findPictures() {
    if (entryOfCode_.isEmpty()) {
        picturesFound_ = true;
        return;
    }
    HistoryPictureSource source;
    source.programFolder = programFolder_;
    for (int row = 0; row < DelList->count(); ++row)
        source.codes << DelList->item(row)->data(kPngCodeRole).toString();
    source.codes.removeDuplicates();
    source.existsUrl = servicePageUrl(service_, QStringLiteral("/api/exists"));
    source.thumbnailBase = servicePageUrl(service_, QStringLiteral("/thumb/"));
    source.uploadKey = service_.uploadKey;
    source.limits = kBackgroundLimits;
    source.imgctl = imgctl_;
    pictures_.setFuture(QtConcurrent::run(findHistoryPictures, source));
}

void DeleteWin::Pictures_ResultReadyAt(int index) {
    const HistoryPictureNews news = pictures_.resultAt(index);
    if (!news.gone.isEmpty()) markGone(news.gone);
    if (news.icon.isNull()) return;
    for (QListWidgetItem* item : entryOfCode_.values(news.pngcode)) {
        item->setData(kIconRole, news.icon);
        showIcon(item);
        if (item == selectedEntry()) showPreview();
    }
}

void DeleteWin::Pictures_Finished() {
    picturesFound_ = true;
}

// The entry's picture, or the plain frame, centred in the list's icon box so that every row
// has one height; faded to grey when the service no longer has it.
void DeleteWin::showIcon(QListWidgetItem* item) {
    const QImage picture = item->data(kIconRole).value<QImage>();
    QImage icon(kListIconSize, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    const bool gone = item->data(kGoneRole).toBool();
    if (gone) painter.setOpacity(0.45);
    const QImage shown = picture.isNull() ? placeholderPicture(kListIconSize)
                         : gone           ? greyed(picture)
                                          : picture;
    painter.drawImage((icon.width() - shown.width()) / 2, (icon.height() - shown.height()) / 2,
                      shown);
    painter.end();
    // The same picture when chosen: not tinted by the style.
    QIcon shownIcon(QPixmap::fromImage(icon));
    shownIcon.addPixmap(QPixmap::fromImage(icon), QIcon::Selected);
    item->setIcon(shownIcon);
}

// Greyed, with the mark after the time; the accessible name is the text, mark and all.
void DeleteWin::markGone(const QSet<QString>& codes) {
    for (const QString& code : codes) {
        for (QListWidgetItem* item : entryOfCode_.values(code)) {
            if (item->data(kGoneRole).toBool()) continue;
            item->setData(kGoneRole, true);
            item->setText(item->text() + QLatin1Char(' ') + tr("(gone)"));
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            showIcon(item);
        }
    }
}

void DeleteWin::showPreview() {
    const QImage kept = readThumbnail(programFolder_, selectedCode());
    Preview->setPixmap(QPixmap::fromImage(
        kept.isNull() ? placeholderPicture({kThumbnailSide, kThumbnailSide}) : kept));
}

void DeleteWin::setActionsEnabled(bool enabled) {
    CheckImgCmd->setEnabled(enabled);
    DelCmd->setEnabled(enabled);
    URLCopyCmd->setEnabled(enabled);
}

QListWidgetItem* DeleteWin::selectedEntry() const {
    const QList<QListWidgetItem*> items = DelList->selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

QString DeleteWin::selectedCode() const {
    const QListWidgetItem* item = selectedEntry();
    return item ? item->text().left(18) : QString();
}

void DeleteWin::DelList_Click() {
    if (!selectedEntry()) return;
    setActionsEnabled(true);
    URL->setText(viewUrl(service_, BaseConv(selectedCode(), 10, 64)));
    showPreview();
}

void DeleteWin::CheckImgCmd_Click() {
    if (!selectedEntry()) return;
    desktop_.openUrl(viewUrl(service_, selectedCode()));
    CheckImgCmd->setEnabled(false);
}

void DeleteWin::URLCopyCmd_Click() {
    // The text joins what the clipboard holds (a screenshot stays), rather than replacing it.
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto content = std::make_unique<QMimeData>();
    if (const QMimeData* held = clipboard->mimeData()) {
        for (const QString& format : held->formats()) content->setData(format, held->data(format));
        if (held->hasImage()) content->setImageData(held->imageData());
    }
    content->setText(URL->text());
    clipboard->setMimeData(content.release());  // the clipboard owns it
    desktop_.message(this, tr("Confirm"), tr("The URL was copied to the clipboard."),
                     MsgIcon::Information);
}

void DeleteWin::DelCmd_Click() {
    const QListWidgetItem* item = selectedEntry();
    if (!item) return;
    const HistoryRecord record{item->data(kPngCodeRole).toString(),
                               item->data(kDelIdRole).toString()};
    // The service said it no longer has the picture: only the history is left to clean.
    if (item->data(kGoneRole).toBool()) {
        if (removeFromHistory(record.pngcode, record.delid)) removeEntry(DelList->row(item));
        return;
    }
    if (!service_.unreadable.isEmpty()) {
        desktop_.message(this, tr("Error"), service_.unreadable, MsgIcon::Critical);
        return;
    }
    const QString url = deleteUrl(service_, record.pngcode, record.delid);
    // The request runs aside so the window keeps painting; user input waits until the end.
    const HttpReply reply = runWaiting([&] { return httpGet({url}); });
    pauseFor(100);
    if (!reply.tlsFailure.isEmpty()) {
        desktop_.message(this, tr("Error"), reply.tlsFailure, MsgIcon::Critical);
        return;
    }
    const DeleteReply result = readDeleteReply(reply.text());
    pauseFor(500);
    desktop_.message(this, result.title, result.text, result.icon);
    if (!result.removesRecord) return;
    if (!removeFromHistory(record.pngcode, record.delid)) return;
    removeEntry(DelList->row(item));
}

// False, with a message, when the record stays in the history file.
bool DeleteWin::removeFromHistory(const QString& pngcode, const QString& delid) {
    const HistoryProblem problem = RemoveHistoryRecord(programFolder_, pngcode, delid);
    if (problem == HistoryProblem::None) {
        removeThumbnail(programFolder_, pngcode);
        return true;
    }
    desktop_.message(this, DeleteWin::tr("Error"), notRemovedMessage(problem), MsgIcon::Critical);
    return false;
}

void DeleteWin::removeEntry(int row) {
    {
        // Taking the item moves the current row; that is no selection by the user.
        const QSignalBlocker blocker(DelList);
        QListWidgetItem* item = DelList->takeItem(row);
        entryOfCode_.remove(item->data(kPngCodeRole).toString(), item);
        delete item;
        DelList->setCurrentRow(-1);
        DelList->clearSelection();
    }
    setActionsEnabled(false);
}

void DeleteWin::CloseCmd_Click() {
    close();
}

}  // namespace quiblo

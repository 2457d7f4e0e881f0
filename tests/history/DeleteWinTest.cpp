// The history window against the real reference service: listing, the two URL forms, and what a
// deletion does to the service, the history file and the list for each kind of answer.
#include <gtest/gtest.h>

#include <curl/curl.h>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <memory>

#include "FileSizeLimit.h"
#include "history/DeleteWin.h"
#include "platform/CodePage.h"
#include "service/Codes.h"
#include "service/Curl.h"
#include "service/ServiceUrls.h"
#include "service/SimpleHttp.h"
#include "support/HttpGets.h"
#include "support/ReferenceService.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

const char* const kDat = "Quiblo.dat";
const QString kCommunicationFailure = QStringLiteral(
    "サーバーとの通信に失敗、又はその処理が失敗したため、\r\n"
    "削除処理はできませんでした。");

QByteArray header() {
    return toCp932(
        QStringLiteral("### クイブロ アップロードファイルデータ\r\n"
                       "###   警告：このファイルを編集/削除すると、アップロードした画像データが\r\n"
                       "###         あとで手動削除できなくなります。\r\n"));
}

QByteArray record(const char* pngcode, const char* delid) {
    return QByteArray(pngcode) + "," + delid + "\r\n";
}

struct Upload {
    QByteArray data;
    qsizetype sent = 0;
};

size_t readUpload(char* buffer, size_t size, size_t count, void* source) {
    auto* upload = static_cast<Upload*>(source);
    const qsizetype n =
        std::min<qsizetype>(qsizetype(size * count), upload->data.size() - upload->sent);
    memcpy(buffer, upload->data.constData() + upload->sent, size_t(n));
    upload->sent += n;
    return size_t(n);
}

QByteArray pngPicture() {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    patternPicture(40, 30).save(&buffer, "PNG");
    return bytes;
}

// Puts a picture on the service as the program does: FTP upload, then the record request.
void uploadPicture(const ReferenceService& service, const char* pngcode, const char* delid) {
    CurlHandle curl(curl_easy_init());
    ASSERT_TRUE(curl);
    Upload upload{pngPicture()};
    const QByteArray url =
        "ftp://127.0.0.1:" + QByteArray::number(service.ftpPort()) + "/" + pngcode + ".png";
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(curl.get(), CURLOPT_USERPWD, "quiblo:qbl02181238");
    curl_easy_setopt(curl.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(curl.get(), CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl.get(), CURLOPT_INFILESIZE_LARGE, curl_off_t(upload.data.size()));
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 20L);
    ASSERT_EQ(curl_easy_perform(curl.get()), CURLE_OK);
    const QString reply = GetUrlText(recordUrl(serviceSettings(), pngcode, delid, "001A2B3C4D5E"));
    ASSERT_TRUE(reply.startsWith("success|REGISTERED|")) << reply.toStdString();
}

// The viewing page of a picture code as the service answers it.
QByteArray viewingPage(const char* pngcode) {
    QByteArray body;
    GetUrlBytes(viewUrl(serviceSettings(), BaseConv(pngcode, 10, 64)), body);
    return body;
}

bool isShownOnService(const char* pngcode) {
    const QByteArray page = viewingPage(pngcode);
    EXPECT_FALSE(page.isEmpty()) << "the service did not answer";
    return page.contains("<img src=\"/img/" + QByteArray(pngcode) + ".png\"");
}

QStringList listed(const DeleteWin& win) {
    QStringList entries;
    for (int row = 0; row < win.DelList->count(); ++row) entries << win.DelList->item(row)->text();
    return entries;
}

void clickEntry(DeleteWin& win, int row) {
    const QRect place = win.DelList->visualItemRect(win.DelList->item(row));
    QTest::mouseClick(win.DelList->viewport(), Qt::LeftButton, {}, place.center());
}

bool noActionEnabled(const DeleteWin& win) {
    return !win.CheckImgCmd->isEnabled() && !win.DelCmd->isEnabled() &&
           !win.URLCopyCmd->isEnabled();
}

bool allActionsEnabled(const DeleteWin& win) {
    return win.CheckImgCmd->isEnabled() && win.DelCmd->isEnabled() && win.URLCopyCmd->isEnabled();
}

class DeleteWinTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.started()) << service.startError().toStdString(); }

    // Opens the window on the history as it is now, and waits until it has heard from the
    // service which pictures are gone.
    std::unique_ptr<DeleteWin> open() {
        auto win = std::make_unique<DeleteWin>(desktop, folder.path());
        win->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(win.get()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return win->picturesFound(); }, 15000));
        return win;
    }

    void script(const QByteArray& json) {
        ASSERT_TRUE(service.control(json).contains("\"ok\": true")) << json.toStdString();
    }

    // Chooses row, deletes, and returns the boxes the deletion showed.
    QList<MessageBoxRequest> deleteEntry(DeleteWin& win, int row) {
        clickEntry(win, row);
        desktop.shownBoxes.clear();
        QTest::mouseClick(win.DelCmd, Qt::LeftButton);
        return desktop.shownBoxes;
    }

    ReferenceService service;
    ScopedEnv host{"QUIBLO_SERVICE_HOST", service.host().toLatin1()};
    TempFolder folder;
    ScriptedDesktop desktop;
};

}  // namespace

TEST(DeleteReply, ThreeFieldsChooseTheBoxAndTheTokenDecidesTheRemoval) {
    DeleteReply reply = readDeleteReply("success|DELETE_SUCCESS|消しました|余り");
    EXPECT_EQ(reply.title, "情報");
    EXPECT_EQ(reply.icon, MsgIcon::Information);
    EXPECT_EQ(reply.text, "消しました");
    EXPECT_TRUE(reply.removesRecord);

    reply = readDeleteReply("error|NOT_FOUND_FILE|ありません\r\n");
    EXPECT_EQ(reply.title, "エラー");
    EXPECT_EQ(reply.icon, MsgIcon::Critical);
    EXPECT_EQ(reply.text, "ありません\r\n");
    EXPECT_TRUE(reply.removesRecord);

    reply = readDeleteReply("success|DELETE_SUCCESS_NOT|x");
    EXPECT_EQ(reply.title, "情報");
    EXPECT_FALSE(reply.removesRecord) << "tokens compare exactly";

    // An unknown status gets the failure message, but the token still says the picture is gone.
    reply = readDeleteReply("Success|NOT_FOUND_FILE|x");
    EXPECT_EQ(reply.text, kCommunicationFailure);
    EXPECT_TRUE(reply.removesRecord);
}

TEST(DeleteReply, FewerThanThreeFieldsAreAFailedRequest) {
    for (const char* text : {"", "success", "error", "success|DELETE_SUCCESS",
                             "error|NOT_FOUND_FILE", "<html>404</html>"}) {
        const DeleteReply reply = readDeleteReply(QString::fromUtf8(text));
        EXPECT_EQ(reply.title, "エラー") << text;
        EXPECT_EQ(reply.icon, MsgIcon::Critical) << text;
        EXPECT_EQ(reply.text, kCommunicationFailure) << text;
        EXPECT_FALSE(reply.removesRecord) << text;
    }
}

TEST_F(DeleteWinTest, OpensWithTheHistoryInFileOrderAndNothingChosen) {
    folder.write(kDat, header() + record("222222222222222222", "20060103090508") + "# a note\r\n" +
                           record("111111111111111111", "20051218125440"));
    auto win = open();

    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
    EXPECT_EQ(win->windowTitle(), "クイブロ - 履歴閲覧/手動削除");
    // As designed, widened only as much as the entries need in this font.
    EXPECT_EQ(win->height(), 406);
    EXPECT_GE(win->width(), 347);
    // Neither picture is on the service.
    EXPECT_EQ(listed(*win),
              (QStringList{"222222222222222222.png  -  2006/01/03 09:05:08 (削除済み)",
                           "111111111111111111.png  -  2005/12/18 12:54:40 (削除済み)"}));
    EXPECT_TRUE(win->DelList->selectedItems().isEmpty());
    EXPECT_TRUE(win->URL->text().isEmpty());
    EXPECT_TRUE(win->URL->isReadOnly());
    win->DelList->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(noActionEnabled(*win)) << "focus alone chooses nothing";

    // One row at the bottom, left to right, under the copy button at the URL box's right end.
    EXPECT_EQ(win->CheckImgCmd->geometry(), QRect(60, 374, 85, 21));
    EXPECT_EQ(win->DelCmd->geometry(), QRect(152, 374, 85, 21));
    EXPECT_EQ(win->CloseCmd->geometry(), QRect(244, 374, 85, 21));
    EXPECT_EQ(win->URLCopyCmd->geometry().right(), win->URL->geometry().right());
    EXPECT_TRUE(win->CheckImgCmd->isDefault());
}

TEST_F(DeleteWinTest, EscapeAndCloseCmdCloseTheWindow) {
    folder.write(kDat, header());
    auto win = open();
    QTest::keyClick(win.get(), Qt::Key_Escape);
    EXPECT_FALSE(win->isVisible());
    win->show();
    QTest::mouseClick(win->CloseCmd, Qt::LeftButton);
    EXPECT_FALSE(win->isVisible());
}

TEST_F(DeleteWinTest, MissingHistoryShowsItsMessageAndAnEmptyList) {
    auto win = open();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].title, "エラー");
    EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Critical);
    EXPECT_EQ(desktop.shownBoxes[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(desktop.shownBoxes[0].text, "情報ファイルが見つからないため、削除処理ができません。");
    EXPECT_EQ(win->DelList->count(), 0);
    EXPECT_TRUE(noActionEnabled(*win));
    EXPECT_FALSE(QFile::exists(folder.file(kDat)));
}

TEST_F(DeleteWinTest, HeaderOnlyHistoryOpensQuietlyAndEmpty) {
    folder.write(kDat, header());
    auto win = open();
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
    EXPECT_EQ(win->DelList->count(), 0);
}

TEST_F(DeleteWinTest, UnreadableHistoryShowsItsOwnMessage) {
    ASSERT_TRUE(QFile::link("/proc/self/mem", folder.file(kDat)));
    auto win = open();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].title, "エラー");
    EXPECT_EQ(desktop.shownBoxes[0].text, "情報ファイルを読み込めないため、削除処理ができません。");
    EXPECT_EQ(win->DelList->count(), 0);
}

TEST_F(DeleteWinTest, ChoosingAnEntryShowsItsBase64ViewingUrl) {
    folder.write(kDat, header() + record("000000000000000100", "20060103090508") +
                           record("999999999999999999", "20060103090509"));
    auto win = open();

    clickEntry(*win, 0);
    EXPECT_TRUE(allActionsEnabled(*win));
    EXPECT_EQ(win->URL->text(), "http://" + service.host() + "/view.cgi?1A");

    QTest::keyClick(win->DelList, Qt::Key_Down);
    EXPECT_EQ(win->URL->text(), "http://" + service.host() + "/view.cgi?TwJHeDo___");
}

TEST_F(DeleteWinTest, CheckImgCmdOpensTheDecimalUrlUntilTheNextChoice) {
    folder.write(kDat, header() + record("000000000000000100", "20060103090508") +
                           record("000000000000000200", "20060103090509"));
    auto win = open();
    clickEntry(*win, 0);

    QTest::mouseClick(win->CheckImgCmd, Qt::LeftButton);
    EXPECT_EQ(desktop.openedUrls,
              QList<QString>{"http://" + service.host() + "/view.cgi?000000000000000100"});
    EXPECT_FALSE(win->CheckImgCmd->isEnabled());
    EXPECT_TRUE(win->DelCmd->isEnabled());
    EXPECT_TRUE(win->URLCopyCmd->isEnabled());
    EXPECT_EQ(win->URL->text(), "http://" + service.host() + "/view.cgi?1A");

    QTest::mouseClick(win->CheckImgCmd, Qt::LeftButton);
    EXPECT_EQ(desktop.openedUrls.size(), 1) << "a disabled button opens nothing";

    clickEntry(*win, 0);  // the same entry again
    EXPECT_TRUE(win->CheckImgCmd->isEnabled());
    QTest::mouseClick(win->CheckImgCmd, Qt::LeftButton);
    EXPECT_EQ(desktop.openedUrls.size(), 2);
}

TEST_F(DeleteWinTest, URLCopyCmdPutsTheViewingUrlOnTheClipboard) {
    folder.write(kDat, header() + record("000000000000000100", "20060103090508"));
    auto win = open();
    clickEntry(*win, 0);
    // A screenshot on the clipboard stays beside the copied text.
    const QImage screenshot = test::patternPicture(8, 6);
    QGuiApplication::clipboard()->setImage(screenshot);
    QTest::mouseClick(win->URLCopyCmd, Qt::LeftButton);

    EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://" + service.host() + "/view.cgi?1A");
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
              screenshot);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].title, "確認");
    EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(desktop.shownBoxes[0].text, "URLがクリップボードへ転送されました。");
}

TEST_F(DeleteWinTest, DeletedPictureLeavesTheServiceTheHistoryAndTheList) {
    uploadPicture(service, "123456789012345678", "20061224183005");
    ASSERT_TRUE(isShownOnService("123456789012345678"));
    const QByteArray first = record("111111111111111111", "20051218125440");
    const QByteArray last = record("333333333333333333", "20070101000000");
    folder.write(kDat, header() + first + record("123456789012345678", "20061224183005") + last);
    // The pictures kept for the history: the deleted entry's goes with it.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("thumbs")));
    folder.write(QStringLiteral("thumbs/123456789012345678.png"), "its picture");
    folder.write(QStringLiteral("thumbs/111111111111111111.png"), "another's");
    auto win = open();

    const QList<MessageBoxRequest> boxes = deleteEntry(*win, 1);
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("thumbs/123456789012345678.png"))));
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("thumbs/111111111111111111.png"))));

    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].title, "情報");
    EXPECT_EQ(boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(boxes[0].text, "画像をサーバーから削除しました。");
    EXPECT_FALSE(isShownOnService("123456789012345678"));
    EXPECT_TRUE(viewingPage("123456789012345678").contains("404 Not Found"));
    EXPECT_EQ(folder.read(kDat), header() + first + last);
    EXPECT_EQ(listed(*win),
              (QStringList{"111111111111111111.png  -  2005/12/18 12:54:40 (削除済み)",
                           "333333333333333333.png  -  2007/01/01 00:00:00 (削除済み)"}));
    EXPECT_TRUE(win->DelList->selectedItems().isEmpty());
    EXPECT_TRUE(noActionEnabled(*win));
    EXPECT_EQ(win->URL->text(),
              "http://" + service.host() + "/view.cgi?" + BaseConv("123456789012345678", 10, 64))
        << "the URL box keeps its text";
}

// A record with its upload time is listed by that time and deleted by its own random id; an older
// record beside it stays as it was.
TEST_F(DeleteWinTest, RecordWithItsTimeIsListedByTimeAndDeletedByItsId) {
    uploadPicture(service, "123456789012345678", "90817263544536");
    const QByteArray older = record("111111111111111111", "20051218125440");
    folder.write(kDat, header() + older + "123456789012345678,90817263544536,20261208093000\r\n");
    auto win = open();
    EXPECT_EQ(listed(*win),
              (QStringList{"111111111111111111.png  -  2005/12/18 12:54:40 (削除済み)",
                           "123456789012345678.png  -  2026/12/08 09:30:00"}));
    const QList<MessageBoxRequest> boxes = deleteEntry(*win, 1);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].text, "画像をサーバーから削除しました。");
    EXPECT_FALSE(isShownOnService("123456789012345678"));
    EXPECT_EQ(folder.read(kDat), header() + older);
}

// The picture went after the window opened (deleted elsewhere): the service says so.
TEST_F(DeleteWinTest, PictureTheServiceLacksLeavesTheHistoryAllTheSame) {
    uploadPicture(service, "444444444444444444", "20061224183005");
    const QByteArray kept = record("111111111111111111", "20051218125440");
    folder.write(kDat, header() + record("444444444444444444", "20061224183005") + kept);
    auto win = open();
    ASSERT_EQ(listed(*win)[0], "444444444444444444.png  -  2006/12/24 18:30:05");
    ASSERT_TRUE(GetUrlText(deleteUrl(serviceSettings(), "444444444444444444", "20061224183005"))
                    .startsWith("success|DELETE_SUCCESS|"));

    const QList<MessageBoxRequest> boxes = deleteEntry(*win, 0);

    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].title, "エラー");
    EXPECT_EQ(boxes[0].icon, MsgIcon::Critical);
    EXPECT_EQ(boxes[0].text, "指定された画像はサーバー上に見つかりません。");
    EXPECT_EQ(folder.read(kDat), header() + kept);
    EXPECT_EQ(win->DelList->count(), 1);
    EXPECT_TRUE(noActionEnabled(*win));
}

TEST_F(DeleteWinTest, WrongDeletionIdKeepsThePictureAndTheRecord) {
    uploadPicture(service, "123456789012345678", "20061224183005");
    const QByteArray history = header() + record("123456789012345678", "20061224183006");
    folder.write(kDat, history);
    auto win = open();

    const QList<MessageBoxRequest> boxes = deleteEntry(*win, 0);

    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].title, "エラー");
    EXPECT_EQ(boxes[0].text, "削除IDが一致しないため、削除できません。");
    EXPECT_TRUE(isShownOnService("123456789012345678"));
    EXPECT_EQ(folder.read(kDat), history);
    EXPECT_EQ(win->DelList->count(), 1);
    EXPECT_TRUE(allActionsEnabled(*win)) << "the buttons stay as they were";
}

TEST_F(DeleteWinTest, IncompleteOrForeignRepliesKeepTheRecord) {
    uploadPicture(service, "123456789012345678", "20061224183005");
    const QByteArray history = header() + record("123456789012345678", "20061224183005");
    folder.write(kDat, history);
    auto win = open();
    const QByteArray scripts[] = {
        R"({"action":"script","path":"/delete2.cgi","body":"success"})",
        R"({"action":"script","path":"/delete2.cgi","body":"success|DELETE_SUCCESS"})",
        R"({"action":"script","path":"/delete2.cgi","body":"error|NOT_FOUND_FILE"})",
        R"({"action":"script","path":"/delete2.cgi","body":""})",
        R"({"action":"script","path":"/delete2.cgi","status":500})",
        R"({"action":"script","path":"/delete2.cgi","drop":true})",
    };
    for (const QByteArray& json : scripts) {
        script(json);
        const QList<MessageBoxRequest> boxes = deleteEntry(*win, 0);
        ASSERT_EQ(boxes.size(), 1) << json.toStdString();
        EXPECT_EQ(boxes[0].title, "エラー") << json.toStdString();
        EXPECT_EQ(boxes[0].icon, MsgIcon::Critical) << json.toStdString();
        EXPECT_EQ(boxes[0].text, kCommunicationFailure) << json.toStdString();
        EXPECT_EQ(folder.read(kDat), history) << json.toStdString();
        EXPECT_EQ(win->DelList->count(), 1) << json.toStdString();
    }
}

TEST_F(DeleteWinTest, UnreachableServiceKeepsTheRecord) {
    const QByteArray history = header() + record("123456789012345678", "20061224183005");
    folder.write(kDat, history);
    const ScopedEnv deadHost("QUIBLO_SERVICE_HOST",
                             "127.0.0.1:" + QByteArray::number(closedLoopbackPort()));
    auto win = open();

    const QList<MessageBoxRequest> boxes = deleteEntry(*win, 0);

    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].text, kCommunicationFailure);
    EXPECT_EQ(folder.read(kDat), history);
    EXPECT_EQ(win->DelList->count(), 1);
    EXPECT_TRUE(allActionsEnabled(*win));
}

TEST_F(DeleteWinTest, HistoryThatCannotBeRewrittenAfterTheDeletionKeepsEveryRecord) {
    uploadPicture(service, "123456789012345678", "20061224183005");
    const QByteArray history = header() + record("123456789012345678", "20061224183005") +
                               record("111111111111111111", "20051218125440");
    folder.write(kDat, history);
    auto win = open();

    QList<MessageBoxRequest> boxes;
    {
        const FileSizeLimit limit(10);
        boxes = deleteEntry(*win, 0);
    }

    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0].text, "画像をサーバーから削除しました。");
    EXPECT_EQ(boxes[1].title, "エラー");
    EXPECT_EQ(boxes[1].icon, MsgIcon::Critical);
    EXPECT_EQ(boxes[1].text,
              "サーバー上の画像はすでにありませんが、\r\n"
              "情報ファイルを書き換えられなかったため、\r\n"
              "履歴から削除できませんでした。\r\n"
              "情報ファイルのほかの内容はそのまま残っています。");
    EXPECT_FALSE(isShownOnService("123456789012345678"));
    EXPECT_EQ(folder.read(kDat), history);
    EXPECT_EQ(win->DelList->count(), 2) << "the list still shows what the file holds";

    // Once the history can be written again, deleting again clears the record.
    boxes = deleteEntry(*win, 0);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].text, "指定された画像はサーバー上に見つかりません。");
    EXPECT_EQ(folder.read(kDat), header() + record("111111111111111111", "20051218125440"));
}

TEST_F(DeleteWinTest, HistoryGoneWhileOpenIsReportedAndNotRecreated) {
    uploadPicture(service, "123456789012345678", "20061224183005");
    folder.write(kDat, header() + record("123456789012345678", "20061224183005"));
    auto win = open();
    ASSERT_TRUE(QFile::remove(folder.file(kDat)));

    const QList<MessageBoxRequest> boxes = deleteEntry(*win, 0);

    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[1].text,
              "サーバー上の画像はすでにありませんが、\r\n"
              "情報ファイルが見つからないため、\r\n"
              "履歴から削除できませんでした。\r\n"
              "情報ファイルのほかの内容はそのまま残っています。");
    EXPECT_FALSE(QFile::exists(folder.file(kDat)));
}

// History entries are shown whole, also beside the scroll bar of a long history: nothing like
// "…21:16:5".
TEST_F(DeleteWinTest, LongHistoryShowsEveryEntryWhole) {
    QByteArray records = header();
    for (int i = 0; i < 40; ++i)
        records += record(QByteArray("2006113021165" + QByteArray::number(10000 + i)).constData(),
                          "20061130211655");
    folder.write(kDat, records);
    auto win = open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    ASSERT_TRUE(win->DelList->verticalScrollBar()->isVisible());
    const QRect viewport = win->DelList->viewport()->rect();
    const int textMargins =
        2 * (win->DelList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1) +
        win->DelList->iconSize().width();
    for (int i = 0; i < win->DelList->count(); ++i) {
        QListWidgetItem* item = win->DelList->item(i);
        const QRect shown = win->DelList->visualItemRect(item);
        const int needed =
            win->DelList->fontMetrics().horizontalAdvance(item->text()) + textMargins;
        EXPECT_LE(needed, std::min(shown.width(), viewport.width())) << item->text().toStdString();
    }
    // The window grows no more than the list and the preview to its right need, with the
    // designed margin between them and after the preview.
    int designedRight = 0;
    for (const QWidget* control : win->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (control != win->Preview)
            designedRight = std::max(designedRight, control->geometry().right());
    EXPECT_EQ(designedRight, win->DelList->geometry().right());
    EXPECT_EQ(win->Preview->x(), designedRight + 1 + 20);
    EXPECT_EQ(win->width(), win->Preview->geometry().right() + 1 + 20);
}

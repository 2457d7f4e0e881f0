// An upload from a confirmed picture to the viewing URL, against the reference service: the
// chain as a job on its own, and the upload dialog where a person's path goes through it (the
// status line, the drawing step, the progress shown).
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <optional>

#include "confirm/LoadMspaintWin.h"
#include "confirm/PreviewWin.h"
#include "history/HistoryFile.h"
#include "imagelib/ImgctlLibrary.h"
#include "service/Codes.h"
#include "service/ServiceUrls.h"
#include "service/SimpleHttp.h"
#include "settings/IniFile.h"
#include "settings/ServiceSetting.h"
#include "support/FaultyFolders.h"
#include "support/HttpGets.h"
#include "support/ReferenceService.h"
#include "support/ScriptedDesktop.h"
#include "upload/HttpTransfer.h"
#include "upload/ReducedPicture.h"
#include "upload/SendDataWin.h"
#include "upload/UploadJob.h"

using namespace quiblo;
using test::GetUrlBytes;
using test::GetUrlText;

namespace {

// Pixels that do not compress: the PNG is about as large as the picture.
QImage noisePicture(int width, int height) {
    QImage noise(width, height, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245 + 12345;
            noise.setPixel(x, y, seed >> 8);
        }
    return noise;
}

// The fault box of a failed FTP step, as the user reads it.
QString ftpFaultText(const QString& stage, int code, const QString& cause) {
    return QStringLiteral("[") + stage +
           QStringLiteral(
               "]プロセスにおいて、エラーが発生しました。\r\nエラー内容は以下の通りです。"
               "\r\nサポートBBSで報告をお願いします。\r\n") +
           QString(19, QChar(0xFF0D)) + QStringLiteral("\r\nエラーコード: ") +
           QString::number(code) + QStringLiteral("\r\n") + cause;
}

// PNG bytes grown to exactly size by a text chunk before the end, still a valid picture.
QByteArray paddedPng(QByteArray png, qsizetype size) {
    const qsizetype fill = size - png.size() - 12 - 8;  // chunk frame, "Comment\0"
    if (fill < 0) return {};
    QByteArray chunk = QByteArray("tEXtComment", 11) + '\0' + QByteArray(fill, 'x');
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : chunk) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    crc ^= 0xFFFFFFFF;
    auto bigEndian = [](quint32 v) {
        const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(bytes, 4);
    };
    chunk = bigEndian(quint32(chunk.size() - 4)) + chunk + bigEndian(crc);
    png.insert(png.size() - 12, chunk);  // before IEND
    return png;
}

// Clicks a control where it is on the screen: whatever lies there takes the click. Tells whether
// the control was there to take it.
bool clickOn(QWidget* control) {
    const QPoint global = control->mapToGlobal(control->rect().center());
    QWidget* there = QApplication::widgetAt(global);
    EXPECT_EQ(there, control) << "the control is covered";
    if (there != control) return false;
    QTest::mouseClick(there, Qt::LeftButton, {}, there->mapFromGlobal(global));
    return true;
}

// A photograph-like picture: gradients under camera grain, which the stronger level compresses
// about 8% smaller.
QImage grainyPicture(int width, int height) {
    QImage photo(width, height, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245 + 12345;
            const int grain = int((seed >> 16) % 9);
            photo.setPixel(x, y,
                           qRgb(std::min(255, x * 255 / width + grain),
                                std::min(255, y * 255 / height + grain),
                                (x + y) * 127 / (width + height) + 64 + grain));
        }
    return photo;
}

const QString kTryAgain = QStringLiteral("同じ画像をもう一度転送しますか？");
const QString kTooLarge = QStringLiteral(
    "ファイルサイズが大きすぎるため転送できません。\r\nアップロードする領域を小さくしてください。");

const QString kKeepQuestion = QStringLiteral("画像を保存しますか？");

const QString kFailedConnection = QStringLiteral(
    "サーバーとの接続が失敗したため、\r\n一部処理は行えませんでした。\r\n終了します。");

class UploadTest : public test::ServiceSuite {
protected:
    void SetUp() override {
        ServiceSuite::SetUp();
        if (HasFatalFailure()) return;
        service->control(R"({"action":"reset","data":true})");
        // These runs go by FTP, as to an earlier service; HttpUploadTest lets the service offer
        // HTTP.
        service->control(R"({"action":"offer","http":false})");
        host.emplace("QUIBLO_SERVICE_HOST", service->host().toUtf8());
        ftp.emplace("QUIBLO_FTP_PORT", QByteArray::number(service->ftpPort()));
        ASSERT_TRUE(QFile::copy(test::buildProgramFolder() + QStringLiteral("/libimgctl.so"),
                                folder.file(QStringLiteral("libimgctl.so"))));
        makeCodes = [this] {
            ++codesMade;
            QString random;
            while (random.size() < kUploadCodeDigits)
                for (const int digit : digits) random += QString::number(digit);
            return MakeUploadCodes(QDateTime(QDate(2026, 12, 7), QTime(21, 5, 9)), random);
        };
        ASSERT_NO_FATAL_FAILURE(loadLibrary());
        usePicture(picture);
    }

    void loadLibrary(const QString& from = {}) {
        imgctl = std::make_unique<ImgctlLibrary>(from.isEmpty() ? folder.path() : from);
        ASSERT_EQ(imgctl->probe(), ImgctlLibrary::Probe::Loaded);
    }
    void usePicture(const QImage& image) {
        picture = image;
        preview = std::make_unique<PreviewWin>(desktop, *imgctl, picture, picture.rect());
    }
    // Called in the middle of a run, once the user check has answered.
    std::function<void()> afterUserCheck;
    // The service's settings as stored when a run starts (none, unless a test stores some).
    std::function<StoredServiceSetting()> stored = [] { return StoredServiceSetting{}; };
    // The upload dialog as the application wires it.
    UploadHooks hooks() {
        UploadHooks h;
        h.desktop = &desktop;
        h.imgctl = imgctl.get();
        h.programFolder = folder.path();
        h.service = serviceSettings(stored());
        h.makeUploadCodes = makeCodes;
        h.showViewingUrl = [this](const QString& url) { viewingUrl = url; };
        h.finished = [this](bool failed) { uploadFailed = failed; };
        h.drawingOffered = [this] { preview->drawingOffered(); };
        h.workFileMade = [this](const QString& path) { workPngPath = path; };
        h.ftpPasswordMade = [this](const QString& password) { ftpPassword = password; };
        h.localCopyKept = preview->localCopyWritten();
        h.sizeLimitAnnounced = [this](qint64) {
            if (afterUserCheck) afterUserCheck();
        };
        return h;
    }
    // Runs the upload chain on its own, to its end.
    void run() {
        UploadJob job(hooks(), preview->previewPicture());
        QObject::connect(&job, &UploadJob::userInfoShown,
                         [this](const QString& text) { userInfo = text; });
        bool ended = false;
        QObject::connect(&job, &UploadJob::ended, [&] { ended = true; });
        if (job.prepare()) job.send();
        EXPECT_TRUE(ended && job.hasEnded()) << "the run is over when the chain returns";
        statuses = job.statusHistory();
        code = job.pngCode();
        countKeepQuestions();
    }
    // Runs the dialog as the confirmation window does, until it closes by itself.
    void runInWindow() {
        SendDataWin dialog(hooks(), preview->previewPicture(), preview->paintWanted());
        dialog.exec();
        statuses = dialog.job().statusHistory();
        // The window's status line follows the job's: it shows the last one.
        EXPECT_EQ(dialog.Status->text(), statuses.value(statuses.size() - 1));
        userInfo = dialog.UserInfo->isVisibleTo(&dialog) ? dialog.UserInfo->text() : QString();
        code = dialog.job().pngCode();
        countKeepQuestions();
    }
    void countKeepQuestions() {
        // A run that sends nothing ends by offering to keep the picture; the tests of other
        // things count it here, the tests of that question keep it among the boxes.
        keepQuestions = int(
            std::count_if(desktop.shownBoxes.begin(), desktop.shownBoxes.end(), isKeepQuestion));
        if (!keepQuestionShown) desktop.shownBoxes.removeIf(isKeepQuestion);
    }
    void script(const char* path, const QByteArray& body) {
        service->control(QByteArray(R"({"action":"script","path":")") + path +
                         R"(","count":1,"body":")" + body + R"("})");
    }
    QString workFile() const { return folder.file(QStringLiteral("tmp_") + code + ".png"); }
    // Every status line of a run that sends a picture of total bytes, by FTP or over HTTP alike.
    static QStringList statusesOfAWholeRun(qint64 total) {
        QStringList expected = {"画像準備中...",
                                "画像保存中...",
                                "ユーザー確認中...",
                                "ユーザー確認完了. ",
                                "転送初期処理中...",
                                "接続処理中...",
                                "アップロードサーバーへ接続されました。"};
        for (qint64 sent = 100; sent <= total; sent += 100)
            expected
                << QStringLiteral("アップロード中... [ %1Bytes / %2Bytes ]").arg(sent).arg(total);
        expected << QStringLiteral("アップロード中... [ %1Bytes / %1Bytes ]").arg(total);
        expected << QStringList{"転送は正常に終了しました。",
                                "アップロード情報を送信中...",
                                "アップロード情報を送信中... 完了",
                                "アップロード情報を記録中...",
                                "アップロード情報を記録中... 完了",
                                "クイブロは正常に完了しました。",
                                "終了処理中..."};
        return expected;
    }
    QByteArray encoded(const QImage& image,
                       ImgctlLibrary::Effort effort = ImgctlLibrary::Effort::Normal) {
        const QString path = folder.file(QStringLiteral("expected.png"));
        EXPECT_TRUE(imgctl->writePng(image, path, effort).written);
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QByteArray onServer() const {
        QFile file(service->pictureFile(code));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList historyRecords() const { return LoadHistoryEntries(folder.path()).entries; }
    const MessageBoxRequest* box(qsizetype i) const {
        return i < desktop.shownBoxes.size() ? &desktop.shownBoxes[i] : nullptr;
    }

    std::optional<test::ScopedEnv> host, ftp;
    test::TempFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<ImgctlLibrary> imgctl;
    std::function<UploadCodes()> makeCodes;
    bool uploadFailed = false;
    QString workPngPath, ftpPassword;
    std::unique_ptr<PreviewWin> preview;
    QImage picture = test::patternPicture(120, 90);
    std::array<int, 4> digits{3, 1, 4, 1};
    int codesMade = 0;
    QString viewingUrl, userInfo, code;
    QStringList statuses;
    int keepQuestions = 0;
    bool keepQuestionShown = false;  // leave the question among the boxes
    // The question exactly as it must look: title, text, icon, buttons and default.
    static bool isKeepQuestion(const MessageBoxRequest& box) {
        return box.title == QStringLiteral("確認") && box.text == kKeepQuestion &&
               box.icon == MsgIcon::Question && box.buttons == MsgButtons::YesNo &&
               box.defaultButton == MsgAnswer::Yes;
    }
};

}  // namespace

TEST_F(UploadTest, UploadEndsWithTheViewingUrlAndARecord) {
    runInWindow();
    EXPECT_FALSE(uploadFailed);
    EXPECT_TRUE(desktop.shownBoxes.isEmpty()) << desktop.shownBoxes.value(0).text.toStdString();
    EXPECT_EQ(codesMade, 1);
    EXPECT_EQ(viewingUrl, QStringLiteral("http://") + service->host() +
                              QStringLiteral("/view.cgi?") + BaseConv(code, 10, 64));
    EXPECT_EQ(onServer(), encoded(picture)) << "the server holds the work file's bytes";
    EXPECT_FALSE(QFile::exists(workFile()));
    EXPECT_EQ(userInfo, QStringLiteral("[1回目の利用 (最大:過去24時間に10回まで)]"));
    EXPECT_EQ(ftpPassword, MakeFtpPassword(1, 3));
    ASSERT_FALSE(historyRecords().isEmpty());

    EXPECT_EQ(statuses, statusesOfAWholeRun(onServer().size()));
}

// On its own the chain says the same as the window shows: its progress climbs to the whole
// file and its user line comes once.
TEST_F(UploadTest, JobReportsProgressUpToTheWholeFileAndTheUsersCount) {
    UploadJob job(hooks(), preview->previewPicture());
    int maximum = 0, userLines = 0;
    QList<int> progress;
    QObject::connect(&job, &UploadJob::progressRangeSet, [&](int value) { maximum = value; });
    QObject::connect(&job, &UploadJob::progressMade, [&](int sent) { progress << sent; });
    QObject::connect(&job, &UploadJob::userInfoShown, [&](const QString&) { ++userLines; });
    ASSERT_TRUE(job.prepare());
    job.send();
    EXPECT_FALSE(uploadFailed);
    code = job.pngCode();
    EXPECT_EQ(maximum, onServer().size());
    ASSERT_GE(progress.size(), 2);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), maximum);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(userLines, 1);
    EXPECT_EQ(job.statusHistory().back(), QStringLiteral("終了処理中..."));
}

// The viewing code gives the picture code away: the deletion id must not follow from it or from
// the time of the upload, which the history now keeps beside it.
TEST_F(UploadTest, DeletionIdIsNotTheUploadTime) {
    makeCodes = [] { return MakeUploadCodes(); };
    const QDateTime before = QDateTime::currentDateTime();
    run();
    ASSERT_FALSE(uploadFailed);
    const HistoryEntries history = LoadHistoryEntries(folder.path());
    ASSERT_EQ(history.records.size(), 1);
    const QString delid = history.records[0].delid;
    const QString line = QString::fromLatin1(folder.read(QStringLiteral("Quiblo.dat")))
                             .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
                             .last();
    EXPECT_TRUE(line.startsWith(code + QLatin1Char(',') + delid + QLatin1Char(',')))
        << line.toStdString();
    // What a guesser would try: every second around the upload.
    for (int s = -2; s <= 2; ++s) {
        const QString guess = before.addSecs(s).toString(QStringLiteral("yyyyMMddHHmmss"));
        EXPECT_NE(guess, delid);
        EXPECT_TRUE(GetUrlText(deleteUrl(serviceSettings(), code, guess))
                        .startsWith(QStringLiteral("error|DELID_MISMATCH")));
    }
    EXPECT_TRUE(GetUrlText(deleteUrl(serviceSettings(), code, delid))
                    .startsWith(QStringLiteral("success|DELETE_SUCCESS")));
}

// The record is written as soon as the service has registered the picture: by the time the
// dialog says it is recording, through its pauses, a program ended there has lost nothing.
TEST_F(UploadTest, RecordIsWrittenBeforeTheRegistrationsPauses) {
    bool recordingSeen = false, recordMissing = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<SendDataWin*>(QApplication::activeModalWidget());
        if (!dialog) return;
        const QString status = dialog->Status->text();
        if (!status.startsWith(QStringLiteral("アップロード情報を記録中")) &&
            !status.startsWith(QStringLiteral("クイブロは正常に完了")))
            return;
        recordingSeen = true;
        if (historyRecords().isEmpty()) recordMissing = true;
    });
    watch.start(5);
    runInWindow();
    ASSERT_FALSE(uploadFailed);
    EXPECT_TRUE(recordingSeen);
    EXPECT_FALSE(recordMissing) << "the record came after the pauses";
}

TEST_F(UploadTest, SecondUploadIsCountedAndRecordedAfterTheFirst) {
    run();
    const QString first = code;
    digits = {2, 7, 1, 8};
    run();
    EXPECT_NE(code, first);
    EXPECT_EQ(userInfo, QStringLiteral("[2回目の利用 (最大:過去24時間に10回まで)]"));
    const QStringList records = historyRecords();
    ASSERT_GE(records.size(), 2);
    EXPECT_TRUE(records[records.size() - 2].contains(first));
    EXPECT_TRUE(records.back().contains(code));
}

TEST_F(UploadTest, UserRefusedShowsTheServiceMessageAndSendsNothing) {
    script("/usercheck.cgi", "error|LIMIT_REACHED|10|10|24|上限に達しました。");
    run();
    EXPECT_TRUE(uploadFailed);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(box(0)->text, QStringLiteral("上限に達しました。"));
    EXPECT_EQ(box(0)->title, QStringLiteral("エラー"));
    EXPECT_EQ(statuses.back(), QStringLiteral("ユーザー確認完了."));
    EXPECT_TRUE(QFile::exists(workFile())) << "the work file is kept for the cleaning";
    EXPECT_TRUE(onServer().isEmpty());
    EXPECT_TRUE(viewingUrl.isEmpty());
}

TEST_F(UploadTest, EmptyOrUnknownUserCheckReplyIsAFailedConnection) {
    for (const char* body : {"", "Success|OK|0|10|24"}) {
        desktop.shownBoxes.clear();
        script("/usercheck.cgi", body);
        run();
        EXPECT_TRUE(uploadFailed);
        ASSERT_EQ(desktop.shownBoxes.size(), 1) << body;
        EXPECT_EQ(box(0)->text, kFailedConnection);
        EXPECT_EQ(statuses.back(), QStringLiteral("ユーザー確認中..."));
    }
}

TEST_F(UploadTest, ShortSuccessReplyIsASubscriptFaultWithTheSupportQuestion) {
    script("/usercheck.cgi", "success");
    desktop.answers << MsgAnswer::Ok << MsgAnswer::Yes;
    run();
    ASSERT_EQ(desktop.shownBoxes.size(), 2);
    EXPECT_EQ(box(0)->title, QStringLiteral("致命的なエラー"));
    EXPECT_EQ(box(0)->text, QStringLiteral("予期しないエラーが発生しました。サポートBBSで報告を"
                                           "お願いします。\r\nエラーコード:9\r\n詳細:"
                                           "インデックスが有効範囲にありません。"));
    EXPECT_EQ(box(1)->text, QStringLiteral("サポートBBSを開いてよろしいですか？"));
    EXPECT_EQ(box(1)->buttons, MsgButtons::YesNo);
    EXPECT_EQ(desktop.openedUrls, QList<QString>({QStringLiteral("http://") + service->host() +
                                                  QStringLiteral("/cgi-bin/forum/forum.cgi")}));
    EXPECT_TRUE(uploadFailed);
}

TEST_F(UploadTest, CountThatOverflowsIsAnOverflowFault) {
    script("/usercheck.cgi", "success|OK|32767|10|24");
    desktop.answers << MsgAnswer::Ok << MsgAnswer::No;
    run();
    ASSERT_GE(desktop.shownBoxes.size(), 1);
    EXPECT_TRUE(box(0)->text.contains(QStringLiteral("エラーコード:6\r\n")));
    EXPECT_TRUE(desktop.openedUrls.isEmpty());
    EXPECT_TRUE(onServer().isEmpty());
}

TEST_F(UploadTest, UserCheckCountIsReadLeniently) {
    script("/usercheck.cgi", "success|OK|x|10|24");
    run();
    EXPECT_EQ(userInfo, QStringLiteral("[1回目の利用 (最大:過去24時間に10回まで)]"));
    EXPECT_FALSE(uploadFailed);
}

TEST_F(UploadTest, TransferCutMidFileKeepsTheWorkFileAndRecordsNothing) {
    picture = noisePicture(100, 100);  // some 30,000 bytes: cut after 1,000
    usePicture(picture);
    service->control(R"({"action":"ftp_cut","after":1000})");
    desktop.answers << MsgAnswer::Ok << MsgAnswer::No << MsgAnswer::No;
    run();
    EXPECT_TRUE(uploadFailed);
    ASSERT_EQ(desktop.shownBoxes.size(), 3);
    EXPECT_EQ(box(1)->text, kTryAgain);
    EXPECT_TRUE(
        box(0)->text.startsWith(QStringLiteral("[転送処理]プロセスにおいて、エラーが発生"
                                               "しました。\r\nエラー内容は以下の通りです。")))
        << box(0)->text.toStdString();
    EXPECT_TRUE(
        box(0)->text.contains(QStringLiteral("－－－－－－－－－－－－－－－－－－－\r\n"
                                             "エラーコード: ")));
    EXPECT_TRUE(QFile::exists(workFile()));
    EXPECT_FALSE(statuses.contains(QStringLiteral("アップロード情報を送信中...")));
    EXPECT_TRUE(historyRecords().isEmpty());
}

// Over the limit however it is encoded: 256 colours are offered, and a No, or a box closed
// without an answer, sends nothing and leaves no reduced file behind.
TEST_F(UploadTest, ReducedPictureDeclinedSendsNothing) {
    usePicture(noisePicture(420, 420));
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::None}) {
        desktop.shownBoxes.clear();
        desktop.answers << answer;
        run();
        ASSERT_GT(QFile(workFile()).size(), 500000);
        ASSERT_EQ(desktop.shownBoxes.size(), 2);
        EXPECT_EQ(box(0)->title, QStringLiteral("確認"));
        EXPECT_EQ(box(0)->icon, MsgIcon::Question);
        EXPECT_EQ(box(0)->buttons, MsgButtons::YesNo);
        EXPECT_EQ(box(0)->defaultButton, MsgAnswer::Yes);
        EXPECT_TRUE(QRegularExpression(
                        QStringLiteral("^画像のファイルサイズが大きすぎるため、このままでは転送"
                                       "できません。\r\n色数を減らした画像（256色、"
                                       "[0-9]{1,3},[0-9]{3}バイト）を転送しますか？$"))
                        .match(box(0)->text)
                        .hasMatch())
            << box(0)->text.toStdString();
        EXPECT_EQ(box(1)->text, kTooLarge);
        EXPECT_EQ(statuses.back(), QStringLiteral("画像保存中..."))
            << "the service is not asked about a picture that will not be sent";
        EXPECT_TRUE(onServer().isEmpty());
        EXPECT_TRUE(uploadFailed);
        EXPECT_TRUE(QFile::exists(workFile())) << "the work file is kept, as after any failure";
        EXPECT_TRUE(QDir(folder.path()).entryList({QStringLiteral("tmp_*_256.png")}).isEmpty());
        digits[0] = (digits[0] + 1) % 10;
    }
}

// Yes sends the reduced picture: the byte count offered is the file's, the server holds a
// palette picture within the limit, and the confirmed picture stays as it was captured.
TEST_F(UploadTest, ReducedPictureAcceptedIsSentAndRecorded) {
    usePicture(noisePicture(420, 420));
    desktop.answers << MsgAnswer::Yes;
    run();
    ASSERT_EQ(desktop.shownBoxes.size(), 1) << box(1)->text.toStdString();
    EXPECT_FALSE(uploadFailed);
    const QByteArray sent = onServer();
    ASSERT_LE(sent.size(), 500000);
    EXPECT_TRUE(box(0)->text.contains(QStringLiteral("（256色、") + groupedDigits(sent.size()) +
                                      QStringLiteral("バイト）")))
        << box(0)->text.toStdString();
    const QImage reduced = QImage::fromData(sent);
    EXPECT_EQ(reduced.size(), QSize(420, 420));
    EXPECT_EQ(reduced.format(), QImage::Format_Indexed8);
    EXPECT_LE(reduced.colorCount(), 256);
    EXPECT_EQ(preview->previewPicture(), picture) << "the confirmed picture was reduced too";
    EXPECT_EQ(historyRecords().size(), 1);
    EXPECT_FALSE(viewingUrl.isEmpty());
    EXPECT_TRUE(QDir(folder.path()).entryList({QStringLiteral("tmp_*")}).isEmpty());
}

// Too many pixels for 256 colours at full size: the halved picture is offered and sent.
TEST_F(UploadTest, HalvedReducedPictureIsOfferedWhenTheFullSizeIsStillTooLarge) {
    usePicture(noisePicture(801, 701));
    desktop.answers << MsgAnswer::Yes;
    run();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    const QByteArray sent = onServer();
    EXPECT_EQ(box(0)->text.toStdString(),
              (QStringLiteral("画像のファイルサイズが大きすぎるため、このままでは転送できません。"
                              "\r\n縦横を半分にし、色数を減らした画像（400x350、256色、") +
               groupedDigits(sent.size()) + QStringLiteral("バイト）を転送しますか？"))
                  .toStdString());
    EXPECT_EQ(QImage::fromData(sent).size(), QSize(400, 350));
    EXPECT_FALSE(uploadFailed);
}

// Noise of a 4K screen fits neither way: the size message alone, as before.
TEST_F(UploadTest, PictureThatFitsNeitherWayGetsTheSizeMessageAlone) {
    usePicture(noisePicture(3840, 2160));
    run();
    ASSERT_EQ(desktop.shownBoxes.size(), 1) << box(0)->text.toStdString();
    EXPECT_EQ(box(0)->text, kTooLarge);
    EXPECT_TRUE(onServer().isEmpty());
    EXPECT_TRUE(uploadFailed);
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("tmp_*")}),
              QStringList{QFileInfo(workFile()).fileName()});
}

// A fault inside the quantiser is the image library's error, and the run ends without a request.
TEST_F(UploadTest, QuantiserFailureShowsTheLibrarysErrorAndEndsTheRun) {
    // In a folder of its own: a library once loaded stays loaded, under its path.
    test::TempFolder failing;
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUIBLO_QUANTIZER_FAILS_LIBRARY),
                            failing.file(QStringLiteral("libimgctl.so"))));
    preview.reset();
    ASSERT_NO_FATAL_FAILURE(loadLibrary(failing.path()));
    usePicture(noisePicture(420, 420));
    run();
    ASSERT_EQ(desktop.shownBoxes.size(), 2);
    EXPECT_EQ(box(0)->text,
              QStringLiteral("PNGデータの出力においてエラーが発生しました。\r\nエラーコード:8"));
    EXPECT_EQ(box(1)->text, QStringLiteral("エラーが発生したため、終了します。"));
    EXPECT_FALSE(statuses.contains(QStringLiteral("ユーザー確認中...")));
    EXPECT_TRUE(uploadFailed);
}

// The server's disk is full for a moment: after the failure the same picture is sent again, and
// the upload ends with one record.
TEST_F(UploadTest, PassingFailureTriedAgainEndsWithOneUpload) {
    service->control(R"({"action":"ftp_full"})");
    desktop.answers << MsgAnswer::Ok << MsgAnswer::Yes;
    run();
    ASSERT_EQ(desktop.shownBoxes.size(), 2);
    EXPECT_TRUE(box(0)->text.endsWith(QStringLiteral("452 Insufficient storage space.")))
        << box(0)->text.toStdString();
    EXPECT_EQ(box(1)->text, kTryAgain);
    EXPECT_FALSE(uploadFailed);
    EXPECT_EQ(codesMade, 1);
    EXPECT_EQ(statuses.count(QStringLiteral("ユーザー確認中...")), 2);
    EXPECT_EQ(onServer(), encoded(picture));
    EXPECT_EQ(historyRecords().size(), 1);
    EXPECT_FALSE(viewingUrl.isEmpty());
    EXPECT_FALSE(QFile::exists(workFile()));
}

// A lasting refusal (a 5xx reply: the same picture code again finds its file there) asks
// nothing more.
TEST_F(UploadTest, LastingRefusalIsNotTriedAgain) {
    run();
    ASSERT_FALSE(uploadFailed);
    desktop.answers << MsgAnswer::Ok << MsgAnswer::No;
    run();
    EXPECT_TRUE(uploadFailed);
    ASSERT_EQ(desktop.shownBoxes.size(), 2);
    EXPECT_TRUE(box(0)->text.endsWith(QStringLiteral("550 File exists.")))
        << box(0)->text.toStdString();
    EXPECT_EQ(box(1)->text, QStringLiteral("サポートBBSを開いてよろしいですか？"));
}

// Over the limit at the normal level, under it at the stronger one: the second encoding is sent.
TEST_F(UploadTest, PictureOverTheLimitIsEncodedHarderAndSent) {
    picture = grainyPicture(800, 700);
    const QByteArray strong = encoded(picture, ImgctlLibrary::Effort::Strong);
    ASSERT_GT(encoded(picture).size(), 500000) << "the picture no longer tests the second encoding";
    ASSERT_LE(strong.size(), 500000) << "the picture no longer tests the second encoding";
    usePicture(picture);
    run();
    EXPECT_TRUE(desktop.shownBoxes.isEmpty()) << desktop.shownBoxes.value(0).text.toStdString();
    EXPECT_FALSE(uploadFailed);
    EXPECT_EQ(onServer(), strong);
    EXPECT_EQ(statuses.mid(0, 3),
              (QStringList{"画像準備中...", "画像保存中...", "ユーザー確認中..."}))
        << "the status stays while the picture is encoded again";
    EXPECT_FALSE(viewingUrl.isEmpty());
}

// Far over the limit, where the stronger level cannot reach it, the picture is refused without
// being encoded a second time: the work file is the normal level's.
TEST_F(UploadTest, PictureFarOverTheLimitIsRefusedWithoutTheSecondEncoding) {
    picture = grainyPicture(1200, 1000);
    const QByteArray normal = encoded(picture);
    const QByteArray strong = encoded(picture, ImgctlLibrary::Effort::Strong);
    ASSERT_GT(strong.size(), 500000) << "the picture no longer tests the refusal";
    ASSERT_NE(normal, strong) << "the two levels cannot be told apart";
    usePicture(picture);
    desktop.answers << MsgAnswer::No;  // the reduced picture offered
    run();
    ASSERT_EQ(desktop.shownBoxes.size(), 2);
    EXPECT_EQ(box(1)->text, kTooLarge);
    QFile work(workFile());
    ASSERT_TRUE(work.open(QIODevice::ReadOnly));
    EXPECT_EQ(work.readAll(), normal);
    EXPECT_TRUE(uploadFailed);
}

TEST_F(UploadTest, RegistrationRefusedShowsItsMessageAndKeepsTheOldUrl) {
    script("/recode.cgi", "error|NOT_UPLOADED|登録できませんでした。");
    run();
    EXPECT_TRUE(uploadFailed);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(box(0)->text, QStringLiteral("登録できませんでした。"));
    EXPECT_EQ(statuses.back(), QStringLiteral("アップロード情報を送信中... エラー"));
    EXPECT_TRUE(viewingUrl.isEmpty());
    EXPECT_TRUE(historyRecords().isEmpty());
    EXPECT_FALSE(QFile::exists(workFile())) << "the transfer itself was complete";
}

TEST_F(UploadTest, EmptyOrUnknownRegistrationReplyShowsTheTwoLineMessage) {
    for (const char* body : {"", "ok"}) {
        desktop.shownBoxes.clear();
        digits[0] = (digits[0] + 1) % 10;  // a new picture code for every run
        script("/recode.cgi", body);
        run();
        ASSERT_EQ(desktop.shownBoxes.size(), 1) << body;
        EXPECT_EQ(box(0)->text, QStringLiteral("サーバーとの接続が失敗したため、\r\n"
                                               "一部処理は行えませんでした。"));
        EXPECT_TRUE(viewingUrl.isEmpty());
    }
}

TEST_F(UploadTest, SuccessAloneRegistersTheUpload) {
    script("/recode.cgi", "success");
    run();
    EXPECT_FALSE(uploadFailed);
    EXPECT_FALSE(viewingUrl.isEmpty());
    EXPECT_EQ(historyRecords().size(), 1);
}

TEST_F(UploadTest, RefusedLoginGivesTheNewerVersionNotice) {
    test::ReferenceService newer({"--version", "1.4"});
    ASSERT_TRUE(newer.started());
    test::ScopedEnv newerHost("QUIBLO_SERVICE_HOST", newer.host().toUtf8());
    test::ScopedEnv newerFtp("QUIBLO_FTP_PORT", QByteArray::number(newer.ftpPort()));
    desktop.answers << MsgAnswer::Yes;
    run();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(box(0)->title, QStringLiteral("お知らせ"));
    EXPECT_EQ(box(0)->icon, MsgIcon::Question);
    EXPECT_EQ(box(0)->text,
              QStringLiteral("現在ご使用のバージョンよりも新しいバージョンが公開されています。\r\n"
                             "クイブロはサーバーと連動して動作しますので、最新バージョン以外は使用"
                             "できません。\r\n今すぐダウンロードページを開きますか？"));
    EXPECT_EQ(desktop.openedUrls, QList<QString>({QStringLiteral("http://") + newer.host() +
                                                  QStringLiteral("/download.html")}));
    EXPECT_TRUE(QFile::exists(workFile()));
}

TEST_F(UploadTest, UploadKeyOfTheSettingsOpensAKeyedService) {
    test::TempFolder keys;
    QFile file(keys.file(QStringLiteral("keys")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("alice team-key-0123456789abcdef\n");
    file.close();
    test::ReferenceService keyed({"--upload-keys", keys.file(QStringLiteral("keys")).toUtf8()});
    ASSERT_TRUE(keyed.started());
    test::ScopedEnv keyedHost("QUIBLO_SERVICE_HOST", keyed.host().toUtf8());
    test::ScopedEnv keyedFtp("QUIBLO_FTP_PORT", QByteArray::number(keyed.ftpPort()));
    QString key;
    stored = [&key] { return StoredServiceSetting{{}, {}, key, {}, {}}; };

    run();  // no key in the settings
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(box(0)->icon, MsgIcon::Critical);
    EXPECT_TRUE(
        box(0)->text.contains(QStringLiteral("「高度な設定」のアップロードキーを確かめて")));
    EXPECT_TRUE(viewingUrl.isEmpty());

    key = QStringLiteral("team-key-0123456789abcdef");
    desktop.shownBoxes.clear();
    run();
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
    EXPECT_TRUE(viewingUrl.startsWith(QStringLiteral("http://") + keyed.host()));
    EXPECT_EQ(historyRecords().size(), 1);
}

// Every run that stores nothing asks once, after its own last message, whether to keep the
// picture: the size refusal after No to fewer colours, a refused login (530), No to another
// try, and the usage limit.
TEST_F(UploadTest, EveryRunThatSendsNothingOffersThePictureOnce) {
    keepQuestionShown = true;
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString lastMessage;
    };
    test::ReferenceService newer({"--version", "1.4"});
    std::optional<test::ScopedEnv> newerHost, newerFtp;
    const QList<Case> cases = {
        {"size refusal",
         [&] {
             usePicture(noisePicture(420, 420));
             desktop.answers << MsgAnswer::No << MsgAnswer::Ok;  // fewer colours: No
         },
         kTooLarge},
        {"refused login",
         [&] {
             newerHost.emplace("QUIBLO_SERVICE_HOST", newer.host().toUtf8());
             newerFtp.emplace("QUIBLO_FTP_PORT", QByteArray::number(newer.ftpPort()));
             desktop.answers << MsgAnswer::No;
         },
         {}},
        {"no to another try",
         [&] {
             usePicture(noisePicture(100, 100));
             service->control(R"({"action":"ftp_cut","after":1000})");
             desktop.answers << MsgAnswer::Ok << MsgAnswer::No << MsgAnswer::No;
         },
         QStringLiteral("サポートBBSを開いてよろしいですか？")},
        {"usage limit",
         [&] {
             script("/usercheck.cgi", "error|LIMIT_REACHED|10|10|24|上限です。");
             desktop.answers << MsgAnswer::Ok;
         },
         QStringLiteral("上限です。")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.shownBoxes.clear();
        desktop.saveDialogs.clear();
        desktop.answers.clear();
        newerHost.reset();
        newerFtp.reset();
        usePicture(test::patternPicture(120, 90));
        c.arrange();
        desktop.answers << MsgAnswer::No;  // the question itself: No keeps nothing
        run();
        EXPECT_TRUE(uploadFailed);
        EXPECT_EQ(keepQuestions, 1);
        ASSERT_GE(desktop.shownBoxes.size(), 2);
        EXPECT_TRUE(isKeepQuestion(desktop.shownBoxes.last())) << "the question comes last";
        if (!c.lastMessage.isEmpty()) {
            EXPECT_EQ(desktop.shownBoxes[desktop.shownBoxes.size() - 2].text, c.lastMessage);
        }
        EXPECT_TRUE(desktop.saveDialogs.isEmpty()) << "No opened the save dialog";
        digits[0] = (digits[0] + 1) % 10;
    }
}

// Yes opens the local copy's dialog in the pictures folder, with a name of the moment, and
// writes there exactly the file the local copy would have been.
TEST_F(UploadTest, KeptPictureIsTheLocalCopyByteForByte) {
    const QString kept = folder.file(QStringLiteral("kept.png"));
    script("/usercheck.cgi", "error|LIMIT_REACHED|10|10|24|上限です。");
    desktop.savePaths << kept;
    run();
    ASSERT_EQ(keepQuestions, 1);
    ASSERT_EQ(desktop.saveDialogs.size(), 1);
    const SaveFileRequest& dialog = desktop.saveDialogs[0];
    EXPECT_EQ(dialog.title, QStringLiteral("クイブロ - 画像ファイルのローカル保存"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^quiblo-[0-9]{8}-[0-9]{6}\\.png$"))
                    .match(dialog.fileName)
                    .hasMatch())
        << dialog.fileName.toStdString();
    EXPECT_TRUE(QFileInfo(dialog.folder).isDir());
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes, encoded(picture)) << "not the file the local copy would have been";
    EXPECT_EQ(QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32),
              picture.convertToFormat(QImage::Format_RGB32));
}

// A folder that cannot be written: the error says so, and the dialog comes again.
TEST_F(UploadTest, KeepingInAFolderThatCannotBeWrittenSaysSoAndAsksAgain) {
    test::SmallDisk disk(256);
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a read-only folder";
    ASSERT_TRUE(disk.makeReadOnly());
    keepQuestionShown = true;
    const QString refused = disk.path() + QStringLiteral("/kept.png");
    const QString kept = folder.file(QStringLiteral("kept.png"));
    script("/usercheck.cgi", "error|LIMIT_REACHED|10|10|24|上限です。");
    desktop.savePaths << refused << kept;
    run();
    ASSERT_EQ(desktop.saveDialogs.size(), 2);
    ASSERT_EQ(desktop.shownBoxes.size(), 3);  // the limit, the question, the failed save
    EXPECT_EQ(box(2)->icon, MsgIcon::Critical);
    EXPECT_EQ(box(2)->text, QStringLiteral("画像を保存できませんでした。\r\n") + refused +
                                QStringLiteral("\r\n保存先のフォルダーに書き込めません。"));
    EXPECT_FALSE(QFile::exists(refused));
    EXPECT_EQ(QImage(kept).size(), picture.size());
}

// No question after a sent picture, nor when the local copy was written as the user went ahead.
TEST_F(UploadTest, NoQuestionWhenThePictureIsSentOrKeptAlready) {
    run();
    ASSERT_FALSE(uploadFailed);
    EXPECT_EQ(keepQuestions, 0);

    const QString local = folder.file(QStringLiteral("local.png"));
    script("/usercheck.cgi", "error|LIMIT_REACHED|10|10|24|上限です。");
    preview->IsSaveLocalDisk->setChecked(true);
    desktop.savePaths << local;
    preview->openUploadDialog = [this](PreviewWin&) { run(); };
    preview->GoAheadCmd_Click();
    EXPECT_TRUE(uploadFailed);
    EXPECT_TRUE(QFile::exists(local));
    EXPECT_EQ(keepQuestions, 0);
    EXPECT_EQ(desktop.saveDialogs.size(), 1) << "only the local copy's dialog";
}

// The user's Quiblo.ini holds an https address that cannot be read (it has a path), the
// system-wide file a plain one: the run says which setting is wrong and contacts no service.
TEST_F(UploadTest, UnreadableStoredAddressContactsNoService) {
    test::TempFolder system;
    const QString systemFolder = system.file(QStringLiteral("quiblo"));
    ASSERT_TRUE(QDir().mkpath(systemFolder));
    test::ScopedEnv dirs("XDG_CONFIG_DIRS", system.path().toUtf8());
    const QString section = QString::fromLatin1(kSettingsSection);
    ASSERT_TRUE(
        WriteIniValue(systemFolder, section, QStringLiteral("ServiceHost"), service->host()));
    ASSERT_TRUE(
        WriteIniValue(folder.path(), section, QStringLiteral("ServiceHost"),
                      QStringLiteral("https://") + service->host() + QStringLiteral("/quiblo")));
    host.reset();  // no QUIBLO_SERVICE_HOST: the settings decide
    stored = [this] { return readStoredServiceSetting(folder.path()); };
    run();
    EXPECT_TRUE(uploadFailed);
    ASSERT_GE(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(box(0)->text,
              QStringLiteral("アップロード先のサーバーの設定 (Quiblo.ini の ServiceHost) を読めない"
                             "ため、サーバーには接続しません。\r\n「高度な設定」で直してください。"
                             "\r\n終了します。"));
    EXPECT_EQ(service->requests(), 0) << "the plain service was contacted";
}

TEST_F(UploadTest, DrawingStepSendsTheEditedPictureInOneRun) {
    const QImage edited = test::patternPicture(60, 40).mirrored();
    const QString editedPath = folder.file(QStringLiteral("edited.png"));
    ASSERT_TRUE(imgctl->writePng(edited, editedPath).written);
    test::ScopedEnv editor("QUIBLO_PAINT_COMMAND", QUIBLO_TEST_EDITOR);
    test::ScopedEnv editedPicture("QUIBLO_TEST_EDITED_PNG", editedPath.toUtf8());
    usePicture(picture);
    preview->IsPaintMode->setChecked(true);
    bool workFileBeforeEditor = false;
    test::whenModalShown(QStringLiteral("LoadMspaintWin"), [&](QWidget* w) {
        workFileBeforeEditor = QFile::exists(workPngPath);
        static_cast<LoadMspaintWin*>(w)->SendMspaintCmd->click();
    });
    runInWindow();
    EXPECT_TRUE(workFileBeforeEditor);
    EXPECT_FALSE(uploadFailed);
    EXPECT_EQ(codesMade, 1) << "the picture was prepared again after the drawing";
    EXPECT_EQ(preview->IsPaintMode->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(onServer(), encoded(edited));
    ASSERT_EQ(desktop.startedPrograms.size(), 1);
    EXPECT_EQ(desktop.startedPrograms[0].arguments, QStringList({workPngPath}));
}

// A picture drawn in the editor and then not sent is kept as drawn.
TEST_F(UploadTest, DrawnPictureNotSentIsKeptAsDrawn) {
    const QImage edited = test::patternPicture(60, 40).mirrored();
    const QString editedPath = folder.file(QStringLiteral("edited.png"));
    ASSERT_TRUE(imgctl->writePng(edited, editedPath).written);
    test::ScopedEnv editor("QUIBLO_PAINT_COMMAND", QUIBLO_TEST_EDITOR);
    test::ScopedEnv editedPicture("QUIBLO_TEST_EDITED_PNG", editedPath.toUtf8());
    preview->IsPaintMode->setChecked(true);
    test::whenModalShown(QStringLiteral("LoadMspaintWin"), [&](QWidget* w) {
        static_cast<LoadMspaintWin*>(w)->SendMspaintCmd->click();
    });
    script("/usercheck.cgi", "error|LIMIT_REACHED|10|10|24|上限です。");
    const QString kept = folder.file(QStringLiteral("kept.png"));
    desktop.savePaths << kept;
    runInWindow();
    ASSERT_EQ(keepQuestions, 1);
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), encoded(edited));
}

TEST_F(UploadTest, SkippingTheDrawingSendsThePreparedPicture) {
    preview->IsPaintMode->setChecked(true);
    test::whenModalShown(QStringLiteral("LoadMspaintWin"),
                         [](QWidget* w) { static_cast<LoadMspaintWin*>(w)->CancelCmd->click(); });
    runInWindow();
    EXPECT_FALSE(uploadFailed);
    EXPECT_EQ(codesMade, 1);
    EXPECT_TRUE(desktop.startedPrograms.isEmpty());
    EXPECT_EQ(onServer(), encoded(picture));
}

// The transfer failure as the user reads it, line by line: the rule is exactly 19 full-width
// hyphens, and the code follows on a line of its own.
TEST_F(UploadTest, TransferFailureMessageLinesAreExact) {
    picture = noisePicture(100, 100);
    usePicture(picture);
    service->control(R"({"action":"ftp_cut","after":1000})");
    desktop.answers << MsgAnswer::Ok << MsgAnswer::No << MsgAnswer::No;
    run();
    ASSERT_GE(desktop.shownBoxes.size(), 1);
    const QStringList lines = box(0)->text.split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 6) << box(0)->text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("[転送処理]プロセスにおいて、エラーが発生しました。"));
    EXPECT_EQ(lines[1], QStringLiteral("エラー内容は以下の通りです。"));
    EXPECT_EQ(lines[2], QStringLiteral("サポートBBSで報告をお願いします。"));
    EXPECT_EQ(lines[3], QString(19, QChar(0xFF0D)));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^エラーコード: [0-9]+$")).match(lines[4]).hasMatch())
        << lines[4].toStdString();
    EXPECT_FALSE(lines[5].isEmpty()) << "the system's own words about the failure";
    EXPECT_EQ(box(0)->title, QStringLiteral("エラー"));
}

TEST_F(UploadTest, PictureOfExactlyTheLimitIsSentAndOneByteMoreIsOfferedReduced) {
    const QImage noise = noisePicture(400, 400);
    const QByteArray png = encoded(noise);
    const QString editedPath = folder.file(QStringLiteral("edited.png"));
    test::ScopedEnv editor("QUIBLO_PAINT_COMMAND", QUIBLO_TEST_EDITOR);
    test::ScopedEnv editedPicture("QUIBLO_TEST_EDITED_PNG", editedPath.toUtf8());
    for (const qsizetype size : {500000, 500001}) {
        SCOPED_TRACE(size);
        // The user draws, and the editor saves a picture of just this size.
        const QByteArray edited = paddedPng(png, size);
        ASSERT_EQ(edited.size(), size);
        folder.write(QStringLiteral("edited.png"), edited);
        desktop.shownBoxes.clear();
        digits[0] = (digits[0] + 1) % 10;
        usePicture(picture);
        preview->IsPaintMode->setChecked(true);
        test::whenModalShown(QStringLiteral("LoadMspaintWin"), [](QWidget* w) {
            if (!clickOn(static_cast<LoadMspaintWin*>(w)->SendMspaintCmd)) w->close();
        });
        desktop.answers << MsgAnswer::Yes;  // the offer, for the picture one byte over
        runInWindow();
        if (size == 500000) {
            EXPECT_TRUE(desktop.shownBoxes.isEmpty()) << box(0)->text.toStdString();
            EXPECT_FALSE(uploadFailed);
            EXPECT_TRUE(statuses.contains(
                QStringLiteral("アップロード中... [ 500000Bytes / 500000Bytes ]")));
            EXPECT_EQ(onServer(), edited);
            EXPECT_EQ(QImage::fromData(onServer()).convertToFormat(QImage::Format_RGB32), noise);
        } else {
            // The edited picture is over the limit: it is offered in 256 colours, and sent.
            ASSERT_EQ(desktop.shownBoxes.size(), 1);
            EXPECT_TRUE(box(0)->text.contains(QStringLiteral("色数を減らした画像（256色、")))
                << box(0)->text.toStdString();
            EXPECT_FALSE(uploadFailed);
            const QImage sent = QImage::fromData(onServer());
            EXPECT_EQ(sent.size(), QSize(400, 400));
            EXPECT_EQ(sent.format(), QImage::Format_Indexed8);
        }
    }
}

TEST_F(UploadTest, ConnectFailureBoxNamesTheConnectStage) {
    ftp.emplace("QUIBLO_FTP_PORT", QByteArray::number(test::closedLoopbackPort()));
    desktop.answers << MsgAnswer::Ok << MsgAnswer::No << MsgAnswer::No;
    run();
    EXPECT_TRUE(uploadFailed);
    ASSERT_EQ(desktop.shownBoxes.size(), 3);
    EXPECT_EQ(box(0)->title, QStringLiteral("エラー"));
    EXPECT_EQ(box(0)->icon, MsgIcon::Critical);
    EXPECT_EQ(box(0)->text, ftpFaultText(QStringLiteral("接続処理"), 7,
                                         QStringLiteral("サーバーに接続できません。")));
    // A server that cannot be reached may be back in a moment: the same picture again?
    EXPECT_EQ(box(1)->title, QStringLiteral("確認"));
    EXPECT_EQ(box(1)->icon, MsgIcon::Question);
    EXPECT_EQ(box(1)->buttons, MsgButtons::YesNo);
    EXPECT_EQ(box(1)->defaultButton, MsgAnswer::Yes);
    EXPECT_EQ(box(1)->text, kTryAgain);
    EXPECT_EQ(box(2)->text, QStringLiteral("サポートBBSを開いてよろしいですか？"));
    EXPECT_EQ(statuses.back(), QStringLiteral("接続処理中..."));
    EXPECT_TRUE(QFile::exists(workFile()));
}

TEST_F(UploadTest, FullServerDiskShowsTheServersReplyInTheBox) {
    struct Case {
        const char* fault;
        int pictureSide;
        QString text;
    };
    const Case cases[] = {
        {R"({"action":"ftp_full"})", 120,
         ftpFaultText(QStringLiteral("転送設定処理"), 25,
                      QStringLiteral("サーバーがファイルの受け取りを拒否しました。\r\n"
                                     "452 Insufficient storage space."))},
        // Some 190,000 bytes: the server gives up while the program is still sending.
        {R"({"action":"ftp_full","after":1000})", 250,
         ftpFaultText(QStringLiteral("転送処理"), 55,
                      QStringLiteral("データの送信に失敗しました。\r\n"
                                     "452 Insufficient storage space; transfer aborted."))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        desktop.shownBoxes.clear();
        digits[0] = (digits[0] + 1) % 10;
        picture = noisePicture(c.pictureSide, c.pictureSide);
        usePicture(picture);
        service->control(c.fault);
        desktop.answers << MsgAnswer::Ok << MsgAnswer::No << MsgAnswer::No;
        run();
        EXPECT_TRUE(uploadFailed);
        ASSERT_EQ(desktop.shownBoxes.size(), 3);
        EXPECT_EQ(box(0)->text, c.text);
        EXPECT_EQ(box(1)->text, kTryAgain);
        EXPECT_TRUE(QFile::exists(workFile()));
        EXPECT_FALSE(QFile::exists(service->pictureFile(code)));
        EXPECT_TRUE(historyRecords().isEmpty());
    }
}

// The box names the refusal of the step that failed, not one that libcurl got past in an
// earlier step (the current folder not told at the login), which each step forgets.
TEST_F(UploadTest, FailureBoxShowsTheFailedStepsRefusalNotAnEarlierOne) {
    service->control(R"({"action":"ftp_refuse","command":"PWD"})");
    service->control(R"({"action":"ftp_full"})");
    desktop.answers << MsgAnswer::Ok << MsgAnswer::No << MsgAnswer::No;
    run();
    EXPECT_TRUE(uploadFailed);
    ASSERT_EQ(desktop.shownBoxes.size(), 3);
    EXPECT_EQ(box(0)->text,
              ftpFaultText(QStringLiteral("転送設定処理"), 25,
                           QStringLiteral("サーバーがファイルの受け取りを拒否しました。"
                                          "\r\n452 Insufficient storage space.")));
}

// Of two refusals in one step the box names the cause: a transfer cut with 426, after which the
// server closes the session with 421, shows the 426, whether libcurl read it or the program read
// it as libcurl dropped the connection.
TEST_F(UploadTest, FailureBoxShowsTheRefusalThatEndedTheStepNotTheGoodbyeAfterIt) {
    usePicture(noisePicture(100, 100));
    service->control(R"({"action":"ftp_cut","after":1000,"close":true})");
    desktop.answers << MsgAnswer::Ok << MsgAnswer::No << MsgAnswer::No;
    run();
    EXPECT_TRUE(uploadFailed);
    ASSERT_GE(desktop.shownBoxes.size(), 1);
    EXPECT_TRUE(box(0)->text.startsWith(QStringLiteral("[転送処理]")))
        << box(0)->text.toStdString();
    EXPECT_TRUE(
        box(0)->text.endsWith(QStringLiteral("\r\n426 Connection closed; transfer aborted.")))
        << box(0)->text.toStdString();
}

TEST_F(UploadTest, UploadCountNeverRunsFarAheadOfASlowServer) {
    picture = noisePicture(250, 250);  // some 190,000 bytes: about 2 s at the rate below
    usePicture(picture);
    service->control(R"({"action":"ftp_rate","bytes_per_second":100000})");
    static const QRegularExpression counting(
        QStringLiteral("^アップロード中... \\[ (\\d+)Bytes / (\\d+)Bytes \\]$"));
    qint64 worstAhead = 0;
    int midway = 0;  // looks taken while the transfer was under way
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        auto* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QLatin1String("SendDataWin")) return;
        // What the server holds first, then what the window shows: the gap is not flattered.
        const QJsonObject state =
            QJsonDocument::fromJson(service->control(R"({"action":"status"})")).object();
        const qint64 held = state.value(QStringLiteral("ftp_received")).toInteger();
        const auto match = counting.match(dialog->findChild<QLabel*>("Status")->text());
        if (!match.hasMatch()) return;
        const qint64 shown =
            std::max(match.captured(1).toLongLong(),
                     qint64(dialog->findChild<QProgressBar*>("Progress")->value()));
        if (shown < match.captured(2).toLongLong()) ++midway;
        worstAhead = std::max(worstAhead, shown - held);
    });
    sampler.start(20);
    runInWindow();
    sampler.stop();
    EXPECT_FALSE(uploadFailed);
    EXPECT_GE(midway, 20);
    EXPECT_LE(worstAhead, 64 * 1024) << "the count ran ahead of the bytes the server had";
    EXPECT_EQ(onServer(), encoded(picture));
}

// The service offers the upload over HTTP: the run sends the picture there, and the person sees
// the same window.
class HttpUploadTest : public UploadTest {
protected:
    void SetUp() override {
        UploadTest::SetUp();
        if (HasFatalFailure()) return;
        service->control(R"({"action":"offer","http":true})");
        // No FTP server where the program would look for one: a run that used FTP fails.
        ftp.emplace("QUIBLO_FTP_PORT", QByteArray::number(test::closedLoopbackPort()));
    }
};

TEST_F(HttpUploadTest, PictureGoesOverHttpWithTheSameStepsAndBytes) {
    runInWindow();
    EXPECT_FALSE(uploadFailed);
    EXPECT_TRUE(desktop.shownBoxes.isEmpty()) << desktop.shownBoxes.value(0).text.toStdString();
    EXPECT_EQ(ftpPassword, MakeFtpPassword(1, 3)) << "the version's password went with it";
    EXPECT_EQ(onServer(), encoded(picture));
    EXPECT_EQ(viewingUrl, QStringLiteral("http://") + service->host() +
                              QStringLiteral("/view.cgi?") + BaseConv(code, 10, 64));
    EXPECT_EQ(historyRecords().size(), 1);
    EXPECT_FALSE(QFile::exists(workFile()));
    EXPECT_EQ(statuses, statusesOfAWholeRun(onServer().size()));
}

// The settings are read once, where a run starts: the address changed while a run goes on (after
// its user check, before its transfer and registration) changes nothing of it; the next run
// goes to the new address.
TEST_F(HttpUploadTest, SettingsChangedDuringARunApplyFromTheNextRun) {
    test::ReferenceService other;
    ASSERT_TRUE(other.started()) << other.startError().toStdString();
    other.control(R"({"action":"offer","http":true})");
    const QString section = QString::fromLatin1(kSettingsSection);
    ASSERT_TRUE(
        WriteIniValue(folder.path(), section, QStringLiteral("ServiceHost"), service->host()));
    host.reset();  // no QUIBLO_SERVICE_HOST: the settings decide
    stored = [this] { return readStoredServiceSetting(folder.path()); };
    afterUserCheck = [&] {
        ASSERT_TRUE(
            WriteIniValue(folder.path(), section, QStringLiteral("ServiceHost"), other.host()));
    };
    run();
    EXPECT_FALSE(uploadFailed) << desktop.shownBoxes.value(0).text.toStdString();
    EXPECT_TRUE(viewingUrl.startsWith(QStringLiteral("http://") + service->host()))
        << viewingUrl.toStdString();
    EXPECT_TRUE(QFile::exists(service->pictureFile(code)));
    EXPECT_FALSE(QFile::exists(other.pictureFile(code)));

    afterUserCheck = nullptr;
    digits = {2, 7, 1, 8};
    run();
    EXPECT_FALSE(uploadFailed) << desktop.shownBoxes.value(0).text.toStdString();
    EXPECT_TRUE(viewingUrl.startsWith(QStringLiteral("http://") + other.host()))
        << viewingUrl.toStdString();
    EXPECT_TRUE(QFile::exists(other.pictureFile(code)));
    EXPECT_EQ(historyRecords().size(), 2);
}

// Ten pictures of this address wait for their registration: the service says 429, the box quotes
// it in place of an FTP reply, and the run asks whether to try again, as for a passing FTP failure.
TEST_F(HttpUploadTest, RefusalShowsTheHttpStatusAndAPassingOneIsAskedAbout) {
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG"));
    for (int n = 1; n <= 10; ++n) {
        const QString url = QStringLiteral("http://") + service->host() +
                            QStringLiteral("/upload/%1.png").arg(n, 18, 10, QLatin1Char('0'));
        ASSERT_FALSE(putPicture(url, MakeFtpPassword(1, 3), {}, png, {})) << n;
    }
    desktop.answers << MsgAnswer::Ok << MsgAnswer::No << MsgAnswer::No;
    run();
    EXPECT_TRUE(uploadFailed);
    ASSERT_GE(desktop.shownBoxes.size(), 2);
    EXPECT_TRUE(box(0)->text.startsWith(QStringLiteral("[転送処理]プロセスにおいて、")))
        << box(0)->text.toStdString();
    EXPECT_TRUE(box(0)->text.endsWith(QStringLiteral(
        "429 Too many pictures are waiting for their registration; try again later.")))
        << box(0)->text.toStdString();
    EXPECT_EQ(box(1)->text, kTryAgain);
    EXPECT_TRUE(historyRecords().isEmpty());
    EXPECT_TRUE(QFile::exists(workFile())) << "a failed transfer keeps the work file";
}

// The lifetime chosen in the settings goes with the registration: an hour of the service's clock
// later the picture is gone, while one sent without it stays.
TEST_F(HttpUploadTest, ChosenLifetimeGoesWithTheRegistration) {
    stored = [] { return StoredServiceSetting{{}, {}, {}, QStringLiteral("1h"), {}}; };
    run();
    stored = [] { return StoredServiceSetting{}; };
    ASSERT_FALSE(uploadFailed);
    const QString shortLived = code;
    digits = {2, 7, 1, 8};
    run();
    ASSERT_FALSE(uploadFailed);
    service->control(R"({"action":"clock","offset":3660})");
    service->control(R"({"action":"sweep"})");
    auto served = [this](const QString& pngcode) {
        QByteArray body;
        GetUrlBytes(QStringLiteral("http://%1/img/%2.png").arg(service->host(), pngcode), body);
        return body;
    };
    EXPECT_FALSE(served(shortLived).startsWith("\x89PNG")) << "the picture outlived its hour";
    EXPECT_TRUE(served(code).startsWith("\x89PNG"));
}

// A team's service that takes 5 MB announces it at the user check: the program's first run, which
// knows no limit yet, weighs the picture after the check, and sends a 4K screen of 1.6 MB as it
// was captured, without the offer in fewer colours.
TEST_F(UploadTest, LimitTheServiceAnnouncesIsKeptAndALargeScreenGoesAsCaptured) {
    test::ReferenceService large({"--max-bytes", "5000000"});
    ASSERT_TRUE(large.started()) << large.startError().toStdString();
    large.control(R"({"action":"offer","http":false})");
    host.emplace("QUIBLO_SERVICE_HOST", large.host().toUtf8());
    ftp.emplace("QUIBLO_FTP_PORT", QByteArray::number(large.ftpPort()));
    QImage screen(3840, 2160, QImage::Format_RGB32);
    screen.fill(Qt::white);
    QPainter(&screen).drawImage(400, 300, noisePicture(900, 600));
    usePicture(screen);
    qint64 announced = 0;
    UploadHooks first = hooks();
    first.sizeLimit = 0;  // no run before this one
    first.sizeLimitAnnounced = [&](qint64 limit) { announced = limit; };
    UploadJob job(first, preview->previewPicture());
    if (job.prepare()) job.send();
    code = job.pngCode();
    countKeepQuestions();
    EXPECT_TRUE(desktop.shownBoxes.isEmpty()) << box(0)->text.toStdString();
    EXPECT_FALSE(uploadFailed);
    QFile sent(large.pictureFile(code));
    ASSERT_TRUE(sent.open(QIODevice::ReadOnly));
    const QByteArray bytes = sent.readAll();
    EXPECT_GT(bytes.size(), 500000);
    EXPECT_EQ(QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32), screen);
    EXPECT_EQ(announced, 5000000);
}

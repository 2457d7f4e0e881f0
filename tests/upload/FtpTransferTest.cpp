// The FTP transfer against the reference upload server.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "service/Codes.h"
#include "support/ReferenceService.h"
#include "upload/FtpTransfer.h"

using namespace quiblo;

namespace {

class FtpTransferTest : public test::ServiceSuite {
protected:
    FtpAccount account(const QString& password = MakeFtpPassword(1, 3)) const {
        return {QStringLiteral("127.0.0.1"), service->ftpPort(), false, QStringLiteral("quiblo"),
                password};
    }
    // Uploads data under a new code; the sizes reported, chunk by chunk.
    std::optional<TransferFailure> send(const QByteArray& data, QList<qint64>* reports = nullptr,
                                        QString* code = nullptr) {
        const QString pngcode = QStringLiteral("%1").arg(++counter, 18, 10, QLatin1Char('0'));
        if (code) *code = pngcode;
        FtpSession session;
        if (auto failure = session.login(account())) return failure;
        return session.upload(pngcode + QStringLiteral(".png"), data, [reports](qint64 sent) {
            if (reports) *reports << sent;
        });
    }
    QByteArray stored(const QString& code) const {
        QFile file(service->pictureFile(code));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static inline qint64 counter = 700000000000000000;
};

quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray chunk(const char* kind, const QByteArray& body) {
    const QByteArray typed = QByteArray(kind, 4) + body;
    QByteArray out;
    for (quint32 value : {quint32(body.size()), crc32(typed)}) {
        const char digits[4] = {char(value >> 24), char(value >> 16), char(value >> 8),
                                char(value)};
        const QByteArray number(digits, 4);
        out += out.isEmpty() ? number + typed : number;
    }
    return out;
}

// A whole PNG of exactly SIZE bytes (at least 79), as the service keeps only whole PNGs: one grey
// pixel, then a private chunk of varied bytes that decoders pass over.
QByteArray bytes(int size) {
    const QByteArray head = QByteArray("\x89PNG\r\n\x1a\n", 8) +
                            chunk("IHDR", QByteArray("\0\0\0\1\0\0\0\1\x08\0\0\0\0", 13)) +
                            chunk("IDAT", QByteArray("\x78\x9c\x63\x60\0\0\0\x02\0\x01", 10));
    const QByteArray end = chunk("IEND", {});
    QByteArray pad(size - head.size() - end.size() - 12, '\0');
    for (int i = 0; i < pad.size(); ++i) pad[i] = char(i * 31 % 251);
    return head + chunk("quIb", pad) + end;
}

}  // namespace

TEST_F(FtpTransferTest, ChunksOfAHundredThenTheRemainder) {
    QList<qint64> reports;
    QString code;
    ASSERT_FALSE(send(bytes(250), &reports, &code));
    EXPECT_EQ(reports, QList<qint64>({100, 200, 250}));
    EXPECT_EQ(stored(code), bytes(250));

    reports.clear();
    ASSERT_FALSE(send(bytes(300), &reports, &code));
    EXPECT_EQ(reports, QList<qint64>({100, 200, 300, 300})) << "the empty last write is reported";
    EXPECT_EQ(stored(code), bytes(300));
}

// Several chunks go to one send; each is still reported on its own, in order, also where the
// remainder or the empty last write falls at the start of a send.
TEST_F(FtpTransferTest, EveryChunkIsReportedWhereSendsGatherSeveral) {
    for (int size :
         {kUploadBatch - 50, kUploadBatch + 50, 2 * kUploadBatch, 2 * kUploadBatch + 1}) {
        SCOPED_TRACE(size);
        QList<qint64> expected;
        for (int sent = kUploadChunk; sent <= size; sent += kUploadChunk) expected << sent;
        expected << size;  // the remainder, or the empty last write
        QList<qint64> reports;
        QString code;
        ASSERT_FALSE(send(bytes(size), &reports, &code));
        EXPECT_EQ(reports, expected);
        EXPECT_EQ(stored(code), bytes(size));
    }
}

TEST_F(FtpTransferTest, LargestAllowedFileArrivesWhole) {
    QList<qint64> reports;
    QString code;
    ASSERT_FALSE(send(bytes(500000), &reports, &code));
    ASSERT_EQ(reports.size(), 5001);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(reports[i], qint64(i + 1) * kUploadChunk) << i;
    EXPECT_EQ(reports.back(), 500000);
    EXPECT_EQ(stored(code), bytes(500000));
}

TEST_F(FtpTransferTest, WrongPasswordIsARefusedLogin) {
    FtpSession session;
    auto failure = session.login(account(MakeFtpPassword(1, 2)));
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->loginRefused);
    EXPECT_EQ(failure->stage, TransferStage::Connect);
    EXPECT_TRUE(failure->serverReply.startsWith(QStringLiteral("530 "))) << "the server's reply";
}

TEST_F(FtpTransferTest, NothingListeningFailsTheConnection) {
    FtpSession session;
    FtpAccount nowhere = account();
    nowhere.port = test::closedLoopbackPort();
    auto failure = session.login(nowhere);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->stage, TransferStage::Connect);
    EXPECT_FALSE(failure->loginRefused);
    EXPECT_EQ(failure->description, QStringLiteral("サーバーに接続できません。"));
}

TEST_F(FtpTransferTest, RefusedRemoteFileFailsTheTransferSetUp) {
    QString code;
    ASSERT_FALSE(send(bytes(100), nullptr, &code));
    FtpSession session;
    ASSERT_FALSE(session.login(account()));
    QList<qint64> reports;
    auto failure = session.upload(code + QStringLiteral(".png"), bytes(500),
                                  [&](qint64 sent) { reports << sent; });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->stage, TransferStage::OpenRemote)
        << "the file exists: the server refuses it";
    EXPECT_EQ(failure->description,
              QStringLiteral("サーバーがファイルの受け取りを拒否しました。\r\n550 File exists."));
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(stored(code), bytes(100)) << "the first upload was overwritten";
}

TEST_F(FtpTransferTest, TransferCutMidFileFailsTheWrite) {
    service->control(R"({"action":"ftp_cut","after":2000})");
    QList<qint64> reports;
    QString code;
    auto failure = send(bytes(200000), &reports, &code);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->stage, TransferStage::Write);
    EXPECT_TRUE(failure->serverReply.startsWith(QStringLiteral("426 "))) << "not the 150 before it";
    EXPECT_FALSE(reports.isEmpty());
    EXPECT_TRUE(stored(code).isEmpty());
}

TEST_F(FtpTransferTest, FullDiskShowsTheServersRefusal) {
    // Refused at once: the remote file is never set up.
    service->control(R"({"action":"ftp_full"})");
    QString code;
    auto failure = send(bytes(5000), nullptr, &code);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->stage, TransferStage::OpenRemote);
    EXPECT_EQ(failure->description, QStringLiteral("サーバーがファイルの受け取りを拒否しました。"
                                                   "\r\n452 Insufficient storage space."));

    // Full in the middle: the write fails, and the server's reason is still heard.
    service->control(R"({"action":"ftp_full","after":3000})");
    failure = send(bytes(200000), nullptr, &code);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->stage, TransferStage::Write);
    EXPECT_EQ(failure->code, 55);  // the send failed: libcurl never reads the reply itself
    EXPECT_EQ(failure->description,
              QStringLiteral("データの送信に失敗しました。\r\n452 "
                             "Insufficient storage space; transfer aborted."));
    EXPECT_TRUE(stored(code).isEmpty());
}

namespace {

// Bytes the service has taken of the latest upload.
qint64 receivedByServer(const test::ReferenceService& service) {
    const QJsonObject state =
        QJsonDocument::fromJson(service.control(R"({"action":"status"})")).object();
    return state.value(QStringLiteral("ftp_received")).toInteger(-1);
}

}  // namespace

TEST_F(FtpTransferTest, CountSentStaysNearWhatASlowServerHolds) {
    service->control(R"({"action":"ftp_rate","bytes_per_second":100000})");
    qint64 worstAhead = 0;
    int samples = 0;
    const QByteArray data = bytes(200000);
    FtpSession session;
    ASSERT_FALSE(session.login(account()));
    const QString code = QStringLiteral("%1").arg(++counter, 18, 10, QLatin1Char('0'));
    auto failure = session.upload(code + QStringLiteral(".png"), data, [&](qint64 sent) {
        if (sent % 2000 != 0 || sent == data.size()) return;
        const qint64 held = receivedByServer(*service);  // first, so the gap is not flattered
        worstAhead = std::max(worstAhead, sent - held);
        ++samples;
    });
    service->control(R"({"action":"reset"})");
    ASSERT_FALSE(failure) << failure->description.toStdString();
    EXPECT_GE(samples, 50);
    EXPECT_LE(worstAhead, 64 * 1024) << "bytes counted as sent that the server did not have";
    EXPECT_EQ(stored(code), data);
}

// The FTP transfer against the reference upload server.
#include <gtest/gtest.h>

#include <QFile>

#include "service/Codes.h"
#include "support/ReferenceService.h"
#include "upload/FtpTransfer.h"

using namespace quiblo;

namespace {

class FtpTransferTest : public test::ServiceSuite {
protected:
    FtpAccount account(const QString& password = MakeFtpPassword(1, 3)) const {
        return {QStringLiteral("127.0.0.1"), service->ftpPort(), QStringLiteral("quiblo"),
                password};
    }
    // Uploads data under a new code; the sizes reported, chunk by chunk.
    std::optional<FtpFailure> send(const QByteArray& data, QList<qint64>* reports = nullptr,
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

QByteArray bytes(int size) {
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i) data[i] = char(i * 31 % 251);
    return data;
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

TEST_F(FtpTransferTest, LargestAllowedFileArrivesWhole) {
    QList<qint64> reports;
    QString code;
    ASSERT_FALSE(send(bytes(500000), &reports, &code));
    EXPECT_EQ(reports.size(), 5001);
    EXPECT_EQ(reports.back(), 500000);
    EXPECT_EQ(stored(code), bytes(500000));
}

TEST_F(FtpTransferTest, WrongPasswordIsARefusedLogin) {
    FtpSession session;
    auto failure = session.login(account(MakeFtpPassword(1, 2)));
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->loginRefused);
    EXPECT_EQ(failure->stage, FtpStage::Connect);
    EXPECT_TRUE(failure->description.contains(QStringLiteral("530"))) << "the server's reply";
}

TEST_F(FtpTransferTest, NothingListeningFailsTheConnection) {
    FtpSession session;
    FtpAccount nowhere = account();
    nowhere.port = test::closedLoopbackPort();
    auto failure = session.login(nowhere);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->stage, FtpStage::Connect);
    EXPECT_FALSE(failure->loginRefused);
}

TEST_F(FtpTransferTest, RefusedRemoteFileFailsTheTransferSetUp) {
    QString code;
    ASSERT_FALSE(send(bytes(10), nullptr, &code));
    FtpSession session;
    ASSERT_FALSE(session.login(account()));
    QList<qint64> reports;
    auto failure = session.upload(code + QStringLiteral(".png"), bytes(500),
                                  [&](qint64 sent) { reports << sent; });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->stage, FtpStage::OpenRemote) << "the file exists: the server refuses it";
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(stored(code), bytes(10)) << "the first upload was overwritten";
}

TEST_F(FtpTransferTest, TransferCutMidFileFailsTheWrite) {
    service->control(R"({"action":"ftp_cut","after":2000})");
    QList<qint64> reports;
    QString code;
    auto failure = send(bytes(200000), &reports, &code);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->stage, FtpStage::Write);
    EXPECT_FALSE(reports.isEmpty());
    EXPECT_TRUE(stored(code).isEmpty());
}

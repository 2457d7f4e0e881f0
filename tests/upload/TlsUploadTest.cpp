// The upload and the deletion over TLS to the reference service holding a certificate of a test
// authority: with the authority trusted (SSL_CERT_FILE) every request is HTTPS, the upload uses
// explicit TLS and the viewing URL begins with https; untrusted, the upload stops with a message
// naming the host and nothing reaches the service; the upload server refuses a plain-text login,
// and the program refuses a server without TLS.
#include <gtest/gtest.h>

#include <QFile>

#include "confirm/PreviewWin.h"
#include "history/HistoryFile.h"
#include "service/Codes.h"
#include "service/ServiceUrls.h"
#include "service/SimpleHttp.h"
#include "support/ReferenceService.h"
#include "support/ScriptedDesktop.h"
#include "support/TestAuthority.h"
#include "support/TestSupport.h"
#include "upload/FtpTransfer.h"
#include "upload/SendDataWin.h"

using namespace quiblo;

namespace {

class TlsUpload : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        authority = std::make_unique<test::TestAuthority>();
        service = std::make_unique<test::ReferenceService>(
            QList<QByteArray>{"--tls-cert", authority->file("server.pem").toUtf8(), "--tls-key",
                              authority->file("server.key").toUtf8()});
    }
    static void TearDownTestSuite() {
        service.reset();
        authority.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(authority->made) << "openssl could not make the test authority";
        ASSERT_TRUE(service->started()) << service->startError().toStdString();
        ASSERT_TRUE(QFile::copy(test::buildProgramFolder() + QStringLiteral("/libimgctl.so"),
                                folder.file(QStringLiteral("libimgctl.so"))));
        imgctl = std::make_unique<ImgctlLibrary>(folder.path());
        ASSERT_EQ(imgctl->probe(), ImgctlLibrary::Probe::Loaded);
    }
    // The upload dialog as the application runs it, over a picture of its own.
    void upload() {
        const QImage picture = test::patternPicture(120, 90);
        PreviewWin preview(desktop, *imgctl, picture, picture.rect());
        UploadHooks hooks;
        hooks.desktop = &desktop;
        hooks.imgctl = imgctl.get();
        hooks.programFolder = folder.path();
        hooks.showViewingUrl = [this](const QString& url) { viewingUrl = url; };
        hooks.finished = [this](bool failed) { uploadFailed = failed; };
        SendDataWin dialog(hooks, preview.previewPicture(), false);
        dialog.exec();
        code = dialog.job().pngCode();
    }
    FtpAccount account(bool secure) const {
        return {QStringLiteral("localhost"), service->ftpPort(), secure, QStringLiteral("quiblo"),
                MakeFtpPassword(1, 3)};
    }

    static inline std::unique_ptr<test::TestAuthority> authority;
    static inline std::unique_ptr<test::ReferenceService> service;
    test::ScopedEnv host{
        "QUIBLO_SERVICE_HOST",
        "https://localhost:" +
            QByteArray::number(service->host().section(QLatin1Char(':'), 1).toInt())};
    test::ScopedEnv ftp{"QUIBLO_FTP_PORT", QByteArray::number(service->ftpPort())};
    test::ScopedEnv bundle{"CURL_CA_BUNDLE", ""};
    test::TempFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<ImgctlLibrary> imgctl;
    QString viewingUrl, code;
    bool uploadFailed = true;
};

TEST_F(TlsUpload, TrustedUploadAndDeletionGoOverTls) {
    test::ScopedEnv trusted("SSL_CERT_FILE", authority->file("ca.pem").toUtf8());
    upload();
    ASSERT_FALSE(uploadFailed) << desktop.shownBoxes.value(0).text.toStdString()
                               << desktop.shownBoxes.value(1).text.toStdString();
    EXPECT_EQ(viewingUrl,
              QStringLiteral("https://localhost:%1/view.cgi?%2")
                  .arg(service->host().section(QLatin1Char(':'), 1), BaseConv(code, 10, 64)));
    ASSERT_TRUE(QFile::exists(service->pictureFile(code)));

    const QList<HistoryRecord> records = LoadHistoryEntries(folder.path()).records;
    ASSERT_EQ(records.size(), 1);
    const HttpReply reply = httpGet({deleteUrl(serviceSettings(), code, records[0].delid)});
    EXPECT_TRUE(reply.text().startsWith(QStringLiteral("success|"))) << reply.text().toStdString();
    EXPECT_TRUE(reply.tlsFailure.isEmpty());
    EXPECT_FALSE(QFile::exists(service->pictureFile(code)));
}

TEST_F(TlsUpload, UntrustedCertificateStopsTheUploadNamingTheHost) {
    test::ScopedEnv untrusted("SSL_CERT_FILE", "");
    upload();
    EXPECT_TRUE(uploadFailed);
    ASSERT_FALSE(desktop.shownBoxes.isEmpty());
    EXPECT_TRUE(desktop.shownBoxes[0].text.startsWith(
        QStringLiteral("サーバー localhost の証明書を確認できなかったため、接続を中止しました。")))
        << desktop.shownBoxes[0].text.toStdString();
    EXPECT_TRUE(viewingUrl.isEmpty());
    EXPECT_TRUE(LoadHistoryEntries(folder.path()).entries.isEmpty());
}

// An https service that answers with a redirect to a plain one: no request goes there, and the
// user is told why; the registration and the deletion are refused the same way.
TEST_F(TlsUpload, RedirectToPlainTextIsRefusedAndNothingGoesThere) {
    test::ScopedEnv trusted("SSL_CERT_FILE", authority->file("ca.pem").toUtf8());
    test::ReferenceService plain;
    ASSERT_TRUE(plain.started());
    auto redirect = [&](const char* path) {
        const QByteArray target = plain.url(QLatin1String(path) + QStringLiteral("?op=x")).toUtf8();
        return service->control(QByteArray(R"({"action":"script","path":")") + path +
                                R"(","status":302,"headers":{"Location":")" + target + R"("}})");
    };
    ASSERT_FALSE(redirect("/usercheck.cgi").isEmpty());
    upload();
    EXPECT_TRUE(uploadFailed);
    ASSERT_FALSE(desktop.shownBoxes.isEmpty());
    EXPECT_TRUE(desktop.shownBoxes[0].text.startsWith(
        QStringLiteral("サーバー localhost が暗号化されていないアドレスへ切り替えようとしたため、"
                       "接続を中止しました。\r\n(http://")))
        << desktop.shownBoxes[0].text.toStdString();
    for (const char* path : {"/recode.cgi", "/delete2.cgi"}) {
        SCOPED_TRACE(path);
        ASSERT_FALSE(redirect(path).isEmpty());
        const QString url = QLatin1String(path) == QLatin1String("/recode.cgi")
                                ? recordUrl(serviceSettings(), QStringLiteral("000000000000000001"),
                                            QStringLiteral("20060103090507"), QStringLiteral("AA"))
                                : deleteUrl(serviceSettings(), QStringLiteral("000000000000000001"),
                                            QStringLiteral("20060103090507"));
        const HttpReply reply = httpGet({url});
        EXPECT_TRUE(reply.body.isEmpty());
        EXPECT_TRUE(reply.tlsFailure.contains(QStringLiteral("暗号化されていないアドレス")));
    }
    EXPECT_EQ(plain.requests(), 0) << "a request reached the plain service";
}

TEST_F(TlsUpload, UploadServerRefusesPlainTextAndTheProgramRefusesNoTls) {
    test::ScopedEnv trusted("SSL_CERT_FILE", authority->file("ca.pem").toUtf8());
    {
        FtpSession plain;
        const std::optional<TransferFailure> refused = plain.login(account(false));
        ASSERT_TRUE(refused) << "a plain-text login was taken";
        EXPECT_TRUE(refused->serverReply.contains(QStringLiteral("TLS")))
            << refused->serverReply.toStdString();
    }
    FtpSession secure;
    EXPECT_FALSE(secure.login(account(true))) << "the TLS login was refused";

    // The program's side: a server that offers no TLS is not sent the password in plain text.
    test::ReferenceService plainService;
    ASSERT_TRUE(plainService.started());
    FtpSession toPlain;
    FtpAccount noTls = account(true);
    noTls.port = plainService.ftpPort();
    const std::optional<TransferFailure> failure = toPlain.login(noTls);
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->description.startsWith(
        QStringLiteral("アップロードサーバー localhost は暗号化 (TLS) に対応していないため、"
                       "転送を中止しました。")))
        << failure->description.toStdString();
}

}  // namespace

// Where the service's address comes from: the environment, the user's Quiblo.ini, the
// system-wide file, the build's default, each value on its own; and what counts as an address.
#include <gtest/gtest.h>

#include <QDir>

#include "service/ServiceUrls.h"
#include "settings/IniFile.h"
#include "settings/ServiceSetting.h"
#include "support/ReferenceService.h"
#include "support/TestSupport.h"

using namespace quiblo;
using test::ScopedEnv;

TEST(ServiceSetting, AddressesAreReadAsTheUserWritesThemAndBadOnesRefused) {
    const std::tuple<const char*, bool, const char*> good[] = {
        {"example.com", false, "example.com"},
        {"example.com:8780", false, "example.com:8780"},
        {"https://quiblo.example.org:8443", true, "quiblo.example.org:8443"},
        {"HTTPS://Example.COM/", true, "Example.COM"},
        {"http://10.0.0.5:80", false, "10.0.0.5:80"},
        {"[::1]:8780", false, "[::1]:8780"},
        {"https://[2001:db8::2]", true, "[2001:db8::2]"},
    };
    for (const auto& [text, secure, host] : good) {
        const auto address = parseServiceAddress(QString::fromLatin1(text));
        ASSERT_TRUE(address) << text;
        EXPECT_EQ(address->secure, secure) << text;
        EXPECT_EQ(address->host, QString::fromLatin1(host)) << text;
    }
    for (const char* bad :
         {"", "example .com", "example.com/upload", "example.com:0", "example.com:65536",
          "example.com:http", "user@example.com", "ftp://example.com", "https://", "-bad-.com",
          "[::1", "[nothost]:80", "example.com:8780?x", "example.com:-1"})
        EXPECT_FALSE(parseServiceAddress(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(parsePort(QStringLiteral("8721")), 8721);
    for (const char* bad : {"0", "65536", "21a", "", " 21", "+21"})
        EXPECT_FALSE(parsePort(QString::fromLatin1(bad))) << bad;
}

TEST(ServiceSetting, EnvironmentThenUserThenSystemThenBuildEachValueOnItsOwn) {
    test::TempFolder user, system;
    ASSERT_TRUE(QDir().mkpath(system.file(QStringLiteral("quiblo"))));
    ScopedEnv dirs("XDG_CONFIG_DIRS", system.path().toUtf8());
    ScopedEnv host("QUIBLO_SERVICE_HOST", "");
    ScopedEnv port("QUIBLO_FTP_PORT", "");
    // As a run reads them at its start.
    const auto serviceSettings = [folder = user.path()] {
        return quiblo::serviceSettings(readStoredServiceSetting(folder));
    };
    const QString section = QString::fromLatin1(kSettingsSection);
    const QString systemFolder = system.file(QStringLiteral("quiblo"));

    EXPECT_EQ(serviceSettings().address.host, defaultServiceHost());
    EXPECT_EQ(serviceSettings().ftpPort, defaultFtpPort());

    ASSERT_TRUE(WriteIniValue(systemFolder, section, QStringLiteral("ServiceHost"),
                              QStringLiteral("https://team.example:8443")));
    ASSERT_TRUE(WriteIniValue(systemFolder, section, QStringLiteral("FtpPort"), 2121));
    EXPECT_EQ(servicePageUrl(serviceSettings(), QStringLiteral("/")),
              QStringLiteral("https://team.example:8443/"));
    EXPECT_EQ(serviceSettings().hostName(), QStringLiteral("team.example"));
    EXPECT_EQ(serviceSettings().ftpPort, 2121);

    // The user's address wins; the user's empty port leaves the system's.
    ASSERT_TRUE(WriteIniValue(user.path(), section, QStringLiteral("ServiceHost"),
                              QStringLiteral("mine.example:8780")));
    ASSERT_TRUE(WriteIniValue(user.path(), section, QStringLiteral("FtpPort"), QString()));
    EXPECT_EQ(servicePageUrl(serviceSettings(), QStringLiteral("/")),
              QStringLiteral("http://mine.example:8780/"));
    EXPECT_FALSE(serviceSettings().address.secure);
    EXPECT_EQ(serviceSettings().ftpPort, 2121);

    {
        ScopedEnv envHost("QUIBLO_SERVICE_HOST", "127.0.0.1:9999");
        ScopedEnv envPort("QUIBLO_FTP_PORT", "9998");
        EXPECT_EQ(serviceSettings().address.host, QStringLiteral("127.0.0.1:9999"));
        EXPECT_EQ(serviceSettings().ftpPort, 9998);
    }
    // A stored address that cannot be read is an error, never a reason to use the next file:
    // here an https address with a path, beside the system's plain one.
    ASSERT_TRUE(WriteIniValue(systemFolder, section, QStringLiteral("ServiceHost"),
                              QStringLiteral("127.0.0.1:8780")));
    ASSERT_TRUE(WriteIniValue(user.path(), section, QStringLiteral("ServiceHost"),
                              QStringLiteral("https://127.0.0.1:8780/quiblo")));
    EXPECT_EQ(
        serviceSettings().unreadable,
        QStringLiteral("アップロード先のサーバーの設定 (Quiblo.ini の ServiceHost) を読めない"
                       "ため、サーバーには接続しません。\r\n「高度な設定」で直してください。"));
    EXPECT_EQ(userCheckUrl(serviceSettings(), QStringLiteral("AA")), QString())
        << "a service would be contacted";
    {
        ScopedEnv envHost("QUIBLO_SERVICE_HOST", "127.0.0.1:9999");
        EXPECT_EQ(serviceSettings().unreadable, QString()) << "the environment names a service";
    }
    // The same in the system-wide file, named by its path; a bad port likewise.
    ASSERT_TRUE(WriteIniValue(user.path(), section, QStringLiteral("ServiceHost"), QString()));
    ASSERT_TRUE(WriteIniValue(systemFolder, section, QStringLiteral("ServiceHost"),
                              QStringLiteral("team.example:8443/x")));
    EXPECT_TRUE(serviceSettings().unreadable.contains(
        QDir::toNativeSeparators(systemFolder) + QStringLiteral("/Quiblo.ini の ServiceHost")));
    ASSERT_TRUE(WriteIniValue(systemFolder, section, QStringLiteral("ServiceHost"), QString()));
    ASSERT_TRUE(
        WriteIniValue(user.path(), section, QStringLiteral("FtpPort"), QStringLiteral("21a")));
    EXPECT_TRUE(serviceSettings().unreadable.contains(QStringLiteral("Quiblo.ini の FtpPort")));
}

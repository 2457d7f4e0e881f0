// Service addresses.
#include <gtest/gtest.h>

#include "service/ServiceUrls.h"
#include "support/ReferenceService.h"

namespace quiblo {
namespace {

using test::ScopedEnv;

TEST(ServiceAddressTest, EveryEndpointIsBuiltOnTheConfiguredHost) {
    ScopedEnv host("QUIBLO_SERVICE_HOST", "quiblo.example:8080");
    EXPECT_EQ(serviceSettings().address.host, "quiblo.example:8080");
    EXPECT_EQ(userCheckUrl(serviceSettings(), "001A2B3C4D5E"),
              "http://quiblo.example:8080/usercheck.cgi?op=chk&sid=001A2B3C4D5E");
    EXPECT_EQ(recordUrl(serviceSettings(), "012345678901234567", "20060103090507", "DEFAULT"),
              "http://quiblo.example:8080/recode.cgi?op=rec&pngcode=012345678901234567"
              "&delid=20060103090507&sid=DEFAULT");
    EXPECT_EQ(deleteUrl(serviceSettings(), "012345678901234567", "20060103090507"),
              "http://quiblo.example:8080/delete2.cgi?op=del&pngcode=012345678901234567"
              "&delid=20060103090507");
    EXPECT_EQ(viewUrl(serviceSettings(), "1A"), "http://quiblo.example:8080/view.cgi?1A");
    EXPECT_EQ(downloadPageUrl(serviceSettings()), "http://quiblo.example:8080/download.html");
    EXPECT_EQ(supportBoardUrl(serviceSettings()),
              "http://quiblo.example:8080/cgi-bin/forum/forum.cgi");
}

TEST(ServiceAddressTest, ValuesAreNotEscaped) {
    ScopedEnv host("QUIBLO_SERVICE_HOST", "h");
    EXPECT_EQ(userCheckUrl(serviceSettings(), ""), "http://h/usercheck.cgi?op=chk&sid=");
    EXPECT_EQ(viewUrl(serviceSettings(), "a-_Z"), "http://h/view.cgi?a-_Z");
    EXPECT_EQ(serviceScriptUrl(serviceSettings(), "x.cgi", "?a=b c&d"), "http://h/x.cgi?a=b c&d");
    EXPECT_EQ(servicePageUrl(serviceSettings(), "/p q"), "http://h/p q");
}

TEST(ServiceAddressTest, BuildSettingsApplyWithoutTheEnvironment) {
    ScopedEnv host("QUIBLO_SERVICE_HOST", "");
    ScopedEnv port("QUIBLO_FTP_PORT", "");
    EXPECT_EQ(serviceSettings().address.host, QUIBLO_BUILD_SERVICE_HOST);
    EXPECT_EQ(serviceSettings().ftpPort, QUIBLO_BUILD_FTP_PORT);
}

TEST(ServiceAddressTest, FtpPortComesFromTheEnvironmentWhenValid) {
    {
        ScopedEnv port("QUIBLO_FTP_PORT", "2121");
        EXPECT_EQ(serviceSettings().ftpPort, 2121);
    }
    for (const char* invalid : {"abc", "0", "70000", "-21"}) {
        SCOPED_TRACE(invalid);
        ScopedEnv port("QUIBLO_FTP_PORT", invalid);
        EXPECT_EQ(serviceSettings().ftpPort, QUIBLO_BUILD_FTP_PORT);
    }
}

TEST(UploadKeyTest, GoesOverTlsOrToThisMachineOnly) {
    for (const char* host : {"127.0.0.1", "127.8.0.1", "localhost", "[::1]", "::1"}) {
        SCOPED_TRACE(host);
        EXPECT_TRUE(isLoopbackHost(host));
        EXPECT_TRUE(keyMayGo(false, host));
    }
    for (const char* host :
         {"example.com", "10.0.0.1", "128.0.0.1", "[::2]", "localhost.example"}) {
        SCOPED_TRACE(host);
        EXPECT_FALSE(isLoopbackHost(host));
        EXPECT_FALSE(keyMayGo(false, host));
        EXPECT_TRUE(keyMayGo(true, host));
    }
}

TEST(UploadKeyTest, TheFtpPasswordCarriesItOnlyWhereItMayGo) {
    QString key = QStringLiteral("team-key-0123456789abcdef");
    const auto settings = [&key] {
        return serviceSettings(StoredServiceSetting{{}, {}, key, {}, {}});
    };
    {
        ScopedEnv host("QUIBLO_SERVICE_HOST", "127.0.0.1:8780");
        EXPECT_EQ(settings().ftpPasswordWithKey("qbl02181238"),
                  "qbl02181238:team-key-0123456789abcdef");
    }
    {
        ScopedEnv host("QUIBLO_SERVICE_HOST", "team.example:8780");
        EXPECT_EQ(settings().ftpPasswordWithKey("qbl02181238"), "qbl02181238");
    }
    {
        ScopedEnv host("QUIBLO_SERVICE_HOST", "https://team.example:8780");
        EXPECT_EQ(settings().ftpPasswordWithKey("qbl02181238"),
                  "qbl02181238:team-key-0123456789abcdef");
        key = QStringLiteral("short");  // a key no service lists is not sent
        EXPECT_EQ(settings().ftpPasswordWithKey("qbl02181238"), "qbl02181238");
    }
}

}  // namespace
}  // namespace quiblo

// A certificate authority of a test's own (openssl), and a certificate it signed for localhost
// and 127.0.0.1: a reference service holding it serves HTTPS that the program trusts once
// SSL_CERT_FILE names the authority.
#pragma once

#include <QProcess>
#include <QStringList>
#include <initializer_list>

#include "support/TestSupport.h"

namespace quiblo::test {

// An authority of the test's own and a certificate it signed for localhost and 127.0.0.1.
class TestAuthority {
public:
    TestAuthority() {
        const QString ext = folder.file(QStringLiteral("ext"));
        folder.write(QStringLiteral("ext"), "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        made = openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=Quiblo Test Authority", "-keyout", "ca.key", "-out", "ca.pem"}) &&
               openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout",
                        "server.key", "-out", "server.csr"}) &&
               openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                        "-CAcreateserial", "-days", "2", "-extfile", "ext", "-out", "server.pem"});
    }
    QString file(const char* name) const { return folder.file(QLatin1String(name)); }
    bool made = false;

private:
    bool openssl(std::initializer_list<const char*> arguments) const {
        QStringList list;
        for (const char* argument : arguments) list << QLatin1String(argument);
        QProcess process;
        process.setWorkingDirectory(folder.path());
        process.start(QStringLiteral("openssl"), list);
        return process.waitForFinished(30000) && process.exitCode() == 0;
    }
    TempFolder folder;
};

}  // namespace quiblo::test

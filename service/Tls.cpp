#include "service/Tls.h"

#include <curl/curl.h>

#include <QCoreApplication>
#include <QtGlobal>

namespace quiblo {

void useCertificateStore(CURL* curl) {
    QByteArray file = qgetenv("CURL_CA_BUNDLE");
    if (file.isEmpty()) file = qgetenv("SSL_CERT_FILE");
    if (!file.isEmpty()) curl_easy_setopt(curl, CURLOPT_CAINFO, file.constData());
    const QByteArray folder = qgetenv("SSL_CERT_DIR");
    if (!folder.isEmpty()) curl_easy_setopt(curl, CURLOPT_CAPATH, folder.constData());
}

QString tlsFailureText(int curlResult, const QString& host, const QString& detail) {
    QString text;
    switch (curlResult) {
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CRL_BADFILE:
            text = QCoreApplication::translate("Tls",
                                               "The certificate of server %1 could not be "
                                               "verified, so the connection was stopped.")
                       .arg(host);
            break;
        case CURLE_SSL_CONNECT_ERROR:
            text = QCoreApplication::translate(
                       "Tls", "Could not start an encrypted connection (TLS) with server %1.")
                       .arg(host);
            break;
        case CURLE_USE_SSL_FAILED:
            text = QCoreApplication::translate("Tls",
                                               "Upload server %1 does not support encryption "
                                               "(TLS), so the upload was stopped.")
                       .arg(host);
            break;
        default:
            return {};
    }
    return detail.isEmpty() ? text : text + QStringLiteral("\r\n(") + detail + QLatin1Char(')');
}

QString plainTextRedirectText(const QString& host, const QString& target) {
    return QCoreApplication::translate("Tls",
                                       "Server %1 tried to switch to an unencrypted address, so "
                                       "the connection was stopped.\n"
                                       "(%2)")
        .arg(host, target)
        .replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

}  // namespace quiblo

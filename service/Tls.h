// TLS for the service's requests and the upload: the certificate authorities trusted, and the
// clear message when TLS itself fails. A certificate that does not verify ends the request;
// there is never a fallback to plain text.
#pragma once

#include <QString>

typedef void CURL;

namespace quiblo {

// The authorities libcurl trusts: the file in CURL_CA_BUNDLE, else the file in SSL_CERT_FILE
// (and the folder in SSL_CERT_DIR), as curl's own command reads them; else the system's store.
void useCertificateStore(CURL* curl);

// The message for a request to `host` that failed in TLS itself (curl's result and its error
// text), naming the host; empty for any other result.
QString tlsFailureText(int curlResult, const QString& host, const QString& detail);
// The message for an https service at `host` that answered with a redirect to plain text.
QString plainTextRedirectText(const QString& host, const QString& target);

}  // namespace quiblo

// The FTP transfer of a 500,000-byte work file through the upload module, in 100-byte chunks,
// against the reference upload server, beside curl -T of the same file to the same server.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "service/Codes.h"
#include "upload/FtpTransfer.h"

using namespace quiblo;

namespace {

constexpr int kRuns = 15;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString nextCode() {
    static qint64 counter = 900000000000000000;
    return QString::number(++counter);
}

// Starts the reference service; returns its FTP port, or 0.
int startService(QProcess& service, const QString& dataDir) {
    service.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral(QUIBLO_SOURCE_DIR "/server/quiblo-service"),
                   QStringLiteral("--http-port"), QStringLiteral("0"), QStringLiteral("--ftp-port"),
                   QStringLiteral("0"), QStringLiteral("--data"), dataDir,
                   // Every timed upload stays unregistered: let them all wait.
                   QStringLiteral("--max-pending-per-client"), QStringLiteral("1000"),
                   QStringLiteral("--max-pending"), QStringLiteral("1000")});
    if (!service.waitForReadyRead(20000)) return 0;
    const QByteArray line = service.readLine();
    const qsizetype at = line.indexOf("ftp=");
    return at < 0 ? 0 : line.mid(at + 4).trimmed().toInt();
}

double timeModule(const FtpAccount& account, const QByteArray& data) {
    QElapsedTimer clock;
    clock.start();
    FtpSession session;
    if (session.login(account) || session.upload(nextCode() + ".png", data, [](qint64) {}))
        std::fprintf(stderr, "upload through the module failed\n");
    return clock.nsecsElapsed() / 1e6;
}

double timeCurl(const FtpAccount& account, const QString& file) {
    QElapsedTimer clock;
    clock.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("--ftp-pasv"), QStringLiteral("-T"), file,
                QStringLiteral("--user"), account.user + ':' + account.password,
                QStringLiteral("ftp://127.0.0.1:%1/%2.png").arg(account.port).arg(nextCode())});
    curl.waitForFinished(30000);
    if (curl.exitCode() != 0) std::fprintf(stderr, "curl -T failed\n");
    return clock.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QProcess service;
    const int port = startService(service, dir.filePath(QStringLiteral("data")));
    if (port == 0) {
        std::fprintf(stderr, "the reference service did not start\n");
        return 1;
    }
    QByteArray data(kUploadSizeLimit, '\0');
    for (qsizetype i = 0; i < data.size(); ++i) data[i] = char(i * 131 % 251);
    const QString file = dir.filePath(QStringLiteral("work.png"));
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(data);
    out.close();

    const FtpAccount account{QStringLiteral("127.0.0.1"), port, QStringLiteral("quiblo"),
                             MakeFtpPassword(1, 3)};
    timeModule(account, data);  // warm-up
    timeCurl(account, file);
    std::vector<double> module, curl;
    for (int i = 0; i < kRuns; ++i) {
        module.push_back(timeModule(account, data));
        curl.push_back(timeCurl(account, file));
    }
    const double m = median(module), c = median(curl);
    std::printf("FTP upload of 500,000 bytes to the reference server on loopback, median of %d\n",
                kRuns);
    std::printf("%-34s %10s\n", "", "ms");
    std::printf("%-34s %10.1f\n", "upload module (100-byte chunks)", m);
    std::printf("%-34s %10.1f\n", "curl -T (its own process)", c);
    std::printf("%-34s %10.2f\n", "ratio module / curl", m / c);
    service.terminate();
    service.waitForFinished(5000);
    return 0;
}

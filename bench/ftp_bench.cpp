// The FTP transfer of a 500,000-byte work file through the upload module (login and upload, in
// 100-byte chunks) against the reference upload server, beside curl -T of the same file to the
// same server. Each is timed on an idle machine and with two CPU-burning threads running, since
// a loaded machine is where a transfer stalls; the table gives the median and the worst.
#include <sys/resource.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "service/Codes.h"
#include "upload/FtpTransfer.h"

using namespace quiblo;

namespace {

constexpr int kRuns = 40;
constexpr int kCurlRuns = 15;  // a process start each: fewer suffice for a reference
constexpr int kBurners = 2;

struct Summary {
    double median = 0, worst = 0;
    int over100 = 0;  // uploads that took more than 100 ms
    double cpu = -1;  // CPU time of the uploading thread per upload, ms (module only)
};

// CPU time the calling thread has used, ms.
double threadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

Summary summarise(std::vector<double> values, double cpuTotal = -1) {
    std::sort(values.begin(), values.end());
    Summary s;
    if (cpuTotal >= 0) s.cpu = cpuTotal / double(values.size());
    s.median = values[values.size() / 2];
    s.worst = values.back();
    s.over100 = int(std::count_if(values.begin(), values.end(), [](double v) { return v > 100; }));
    return s;
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

// Threads that keep the CPUs busy for as long as the object lives.
class Burners {
public:
    explicit Burners(int count) {
        for (int i = 0; i < count; ++i)
            threads_.emplace_back([this] {
                volatile unsigned long sink = 0;
                while (!stop_.load(std::memory_order_relaxed)) sink = sink * 31 + 7;
            });
    }
    ~Burners() {
        stop_ = true;
        for (auto& thread : threads_) thread.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

void printRow(const char* name, const Summary& s) {
    std::printf("%-34s %9.1f %9.1f %8d", name, s.median, s.worst, s.over100);
    if (s.cpu >= 0)
        std::printf(" %8.1f\n", s.cpu);
    else
        std::printf(" %8s\n", "-");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The service's data in memory where the system offers it: its database's disk syncs are
    // not the transfer's time.
    const QString memory = QStringLiteral("/dev/shm");
    QTemporaryDir dir(QFileInfo(memory).isWritable()
                          ? memory + QStringLiteral("/ftp_bench-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/ftp_bench-XXXXXX"));
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

    const FtpAccount account{QStringLiteral("127.0.0.1"), port, false, QStringLiteral("quiblo"),
                             MakeFtpPassword(1, 3)};
    timeModule(account, data);  // warm-up
    timeCurl(account, file);

    auto measure = [&](std::vector<double>& module, std::vector<double>& curl, double& cpu) {
        cpu = 0;
        for (int i = 0; i < kRuns; ++i) {
            const double before = threadCpuMs();
            module.push_back(timeModule(account, data));
            cpu += threadCpuMs() - before;
            if (i < kCurlRuns) curl.push_back(timeCurl(account, file));
        }
    };
    std::vector<double> idleModule, idleCurl, loadedModule, loadedCurl;
    double idleCpu = 0, loadedCpu = 0;
    measure(idleModule, idleCurl, idleCpu);
    {
        Burners burners(kBurners);
        measure(loadedModule, loadedCurl, loadedCpu);
    }

    std::printf("FTP login + upload of 500,000 bytes to the reference server on loopback\n");
    std::printf("(module: %d uploads each; curl -T: %d; loaded = %d CPU-burning threads)\n", kRuns,
                kCurlRuns, kBurners);
    std::printf("%-34s %9s %9s %8s %8s\n", "", "median ms", "worst ms", ">100 ms", "CPU ms");
    printRow("upload module, idle", summarise(idleModule, idleCpu));
    printRow("upload module, loaded", summarise(loadedModule, loadedCpu));
    printRow("curl -T (own process), idle", summarise(idleCurl));
    printRow("curl -T (own process), loaded", summarise(loadedCurl));
    service.terminate();
    service.waitForFinished(5000);
    return 0;
}

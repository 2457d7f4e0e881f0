// The reference service as a test fixture: a real server process on free loopback ports with a
// temporary data folder, stopped with SIGTERM when the object goes.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

#include "support/TestSupport.h"

namespace quiblo::test {

class ReferenceService {
public:
    // Starts the service with its test controls on (and more command-line options, if given) and
    // waits (bounded) for its ready line; started() tells whether it came.
    explicit ReferenceService(const QList<QByteArray>& options = {});
    ~ReferenceService();
    ReferenceService(const ReferenceService&) = delete;
    ReferenceService& operator=(const ReferenceService&) = delete;

    bool started() const { return httpPort_ > 0; }
    // What went wrong when it did not start.
    const QString& startError() const { return startError_; }
    // "127.0.0.1:port" of the HTTP service.
    QString host() const;
    QString url(const QString& path) const;
    int ftpPort() const { return ftpPort_; }  // 0: the service serves no FTP
    // The file the service keeps for an uploaded picture.
    QString pictureFile(const QString& pngcode) const {
        return data_.file(QStringLiteral("data/pictures/") + pngcode + QStringLiteral(".png"));
    }

    // Runs one of the admin's commands (quiblo-service COMMAND ARGS...) on this service's data
    // while it serves, as its admin would; true when it succeeded.
    bool adminCommand(const QStringList& arguments) const;
    // Posts a JSON command to the control endpoint; returns the answer body (empty on failure).
    QByteArray control(const QByteArray& json) const;
    // The HTTP requests served since the start or the last reset; -1 when the state is unread.
    int requests() const;

private:
    void start();

    QList<QByteArray> options_;
    TempFolder data_;
    pid_t pid_ = -1;
    int httpPort_ = 0;
    int ftpPort_ = 0;
    QString startError_;
};

// A test suite whose tests share one reference service; each test sees it running.
class ServiceSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { service = std::make_unique<ReferenceService>(); }
    static void TearDownTestSuite() { service.reset(); }
    void SetUp() override {
        ASSERT_TRUE(service->started()) << service->startError().toStdString();
    }

    static inline std::unique_ptr<ReferenceService> service;
};

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool hadValue_;
    QByteArray oldValue_;
};

// A loopback port on which nothing listens (bound, then released).
int closedLoopbackPort();

}  // namespace quiblo::test

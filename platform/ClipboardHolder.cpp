#include "ClipboardHolder.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <csignal>
#include <cstdlib>
#include <memory>

namespace quiblo {

namespace {

constexpr int kReportMilliseconds = 2000;

struct FileDescriptor {
    int fd = -1;
    FileDescriptor() = default;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }
    void reset() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

struct Pipe {
    FileDescriptor read, write;
    bool open() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return false;
        read.fd = ends[0];
        write.fd = ends[1];
        return true;
    }
};

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// A clipboard manager takes the clipboard from Qt itself as the program ends.
bool clipboardManagerRuns() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return false;
    xcb_connection_t* connection = x11->connection();
    static const char kName[] = "CLIPBOARD_MANAGER";
    std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName), nullptr));
    if (!atom || atom->atom == XCB_NONE) return false;
    std::unique_ptr<xcb_get_selection_owner_reply_t, FreeDeleter> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom),
                                      nullptr));
    return owner && owner->owner != XCB_NONE;
}

// The text this program left on the clipboard, empty when the clipboard is another's.
QString ownText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard()) return {};
    const QMimeData* data = clipboard->mimeData();
    return data && data->hasText() ? data->text() : QString();
}

bool writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// One line from the holder, or empty when it said nothing in time.
QString readReport(int fd) {
    QByteArray line;
    pollfd wanted{fd, POLLIN, 0};
    while (!line.contains('\n') && ::poll(&wanted, 1, kReportMilliseconds) > 0) {
        char buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, n);
    }
    return QString::fromLatin1(line.left(line.indexOf('\n')));
}

// Starts the holder in a session of its own, as no child of this process (the program ends
// soon; a test that calls this goes on), with none of this process's files open: the
// single-instance lock and the capture socket stay this copy's alone.
QString startHolder(const QString& program, const QString& kind, const QString& text) {
    Pipe input, output;
    if (!input.open() || !output.open()) return {};
    const QByteArray path = program.toLocal8Bit();
    const QByteArray kindBytes = kind.toLatin1();
    char* const arguments[] = {const_cast<char*>(path.constData()),
                               const_cast<char*>("--hold-clipboard"),
                               const_cast<char*>(kindBytes.constData()), nullptr};
    const pid_t child = ::fork();
    if (child < 0) return {};
    if (child == 0) {
        if (::fork() != 0) ::_exit(0);
        ::dup2(input.read.fd, 0);
        ::dup2(output.write.fd, 1);
        const int nothing = ::open("/dev/null", O_WRONLY);
        if (nothing >= 0) ::dup2(nothing, 2);
        ::close_range(3, ~0U, 0);
        ::setsid();
        if (::chdir("/") != 0) ::_exit(127);
        ::execv(arguments[0], arguments);
        ::_exit(127);
    }
    ::waitpid(child, nullptr, 0);
    input.read.reset();
    output.write.reset();
    // A holder that ends at once must not end this program with SIGPIPE.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    const bool sent = writeAll(input.write.fd, text.toUtf8());
    std::signal(SIGPIPE, previous);
    input.write.reset();
    return sent ? readReport(output.read.fd) : QString();
}

void report(const char* what) {
    const QByteArray line = QByteArray(what) + '\n';
    writeAll(1, line);
    // Nothing more goes to the program that started the holder.
    const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nothing >= 0) {
        ::dup2(nothing, 1);
        ::close(nothing);
    }
}

QByteArray readStandardInput() {
    QByteArray text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(0, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, n);
        if (text.size() > kMostHeldText) return {};
    }
    return text;
}

int holdX11Clipboard(const QByteArray& text, int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QString::fromUtf8(text));
    if (!clipboard->ownsClipboard()) {
        report("failed");
        return 1;
    }
    QObject::connect(clipboard, &QClipboard::changed, &app, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) app.quit();
    });
    report(kHolderReady);
    return app.exec();
}

}  // namespace

QString keepClipboardText(const QString& program) {
    const QString text = ownText();
    if (text.isEmpty() || text.toUtf8().size() > kMostHeldText) return {};
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        if (clipboardManagerRuns()) return {};
        return startHolder(program, QStringLiteral("x11"), text);
    }
    if (platform == QLatin1String("wayland"))
        return startHolder(program, QStringLiteral("wayland"), text);
    return {};
}

int runClipboardHolder(const QString& kind, int argc, char* argv[]) {
    const QByteArray text = readStandardInput();
    if (text.isEmpty()) {
        report("failed");
        return 1;
    }
    if (kind == QLatin1String("x11")) return holdX11Clipboard(text, argc, argv);
    if (kind == QLatin1String("wayland")) {
        if (!holdWaylandSelection(text, report)) {
            report(kHolderNone);
            return 0;
        }
        return 0;
    }
    report("failed");
    return 2;
}

}  // namespace quiblo

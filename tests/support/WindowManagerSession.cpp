#include "WindowManagerSession.h"

#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace quiblo::test {

namespace {

using namespace std::chrono_literals;

xcb_atom_t atomNamed(xcb_connection_t* c, const char* name) {
    const x11::Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, false, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The first 32-bit value of a root property; 0 when it is not there.
uint32_t rootValue(const std::string& display, const char* property) {
    int number = 0;
    x11::Connection c(xcb_connect(display.c_str(), &number));
    if (xcb_connection_has_error(c.get())) return 0;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c.get())).data->root;
    const x11::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c.get(),
        xcb_get_property(c.get(), false, root, atomNamed(c.get(), property), XCB_ATOM_ANY, 0, 1),
        nullptr));
    if (!reply || reply->format != 32 || reply->value_len < 1) return 0;
    return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
}

}  // namespace

WindowManagerSession::WindowManagerSession(QSize size)
    : display_(std::make_unique<XvfbDisplay>(size, 24)) {
    if (!display_->running()) {
        failure_ = display_->failure();
        return;
    }
    // openbox with its stock configuration, on this display only, ending with the test.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "DISPLAY=", 8) != 0) environment.emplace_back(*e);
    }
    environment.push_back("DISPLAY=" + name());
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    windowManager_ = fork();
    if (windowManager_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        char* argv[] = {const_cast<char*>("openbox"), const_cast<char*>("--sm-disable"), nullptr};
        execvpe("openbox", argv, envp.data());
        _exit(127);
    }
    if (windowManager_ < 0 || !waitForWindowManager()) failure_ = "openbox did not start";
}

WindowManagerSession::~WindowManagerSession() {
    if (windowManager_ > 0) {
        kill(windowManager_, SIGTERM);
        waitpid(windowManager_, nullptr, 0);
    }
}

// The manager announces itself through _NET_SUPPORTING_WM_CHECK on the root once it runs.
bool WindowManagerSession::waitForWindowManager() {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(windowManager_, nullptr, WNOHANG) != 0) return false;
        if (rootValue(name(), "_NET_SUPPORTING_WM_CHECK") != 0) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

bool WindowManagerSession::xdotool(const QStringList& arguments) const {
    return run(QStringLiteral("xdotool"), arguments);
}

QString WindowManagerSession::windowName(unsigned long window) const {
    const auto title = output(QStringLiteral("xdotool"),
                              {QStringLiteral("getwindowname"), QString::number(window)});
    return title ? QString::fromUtf8(*title).trimmed() : QString();
}

bool WindowManagerSession::run(const QString& program, const QStringList& arguments) const {
    return output(program, arguments).has_value();
}

std::optional<QByteArray> WindowManagerSession::output(const QString& program,
                                                       const QStringList& arguments) const {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(name()));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

unsigned long WindowManagerSession::showOtherProgram(const QRect& geometry, unsigned int colour) {
    if (!other_) other_.reset(xcb_connect(name().c_str(), nullptr));
    xcb_connection_t* c = other_.get();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (otherWindow_) xcb_destroy_window(c, otherWindow_);  // one other program at a time
    const xcb_window_t window = xcb_generate_id(c);
    otherWindow_ = window;
    const uint32_t values[] = {colour};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, int16_t(geometry.x()),
                      int16_t(geometry.y()), uint16_t(geometry.width()),
                      uint16_t(geometry.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, values);
    static const char title[] = "another program";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof title - 1, title);
    xcb_map_window(c, window);
    xcb_flush(c);
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)});
    return window;
}

unsigned long WindowManagerSession::activeWindow() const {
    return rootValue(name(), "_NET_ACTIVE_WINDOW");
}

}  // namespace quiblo::test

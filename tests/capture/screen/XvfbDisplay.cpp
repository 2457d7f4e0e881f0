#include "XvfbDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

namespace quiblo::test {

namespace {

using namespace std::chrono_literals;

constexpr auto kStartLimit = 10s;
constexpr auto kStopLimit = 5s;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string contentOf(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[512];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
    return text;
}

// The first line Xvfb writes on its display fd: the display number. Empty when it ends or
// stays silent.
std::string readDisplayNumber(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) return {};
        char buffer[32];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return {};
        line.append(buffer, std::size_t(n));
    }
    return line.substr(0, line.find('\n'));
}

pid_t spawnXvfb(const std::vector<std::string>& arguments, int displayFd, int logFd) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // no stray server if the test dies
        fcntl(displayFd, F_SETFD, 0);
        dup2(logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

}  // namespace

XvfbDisplay::XvfbDisplay(QSize size, int depth, const std::vector<std::string>& extraArguments) {
    start(size, depth, extraArguments);
}

XvfbDisplay::~XvfbDisplay() {
    stop();
}

void XvfbDisplay::start(QSize size, int depth, const std::vector<std::string>& extraArguments) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        failure_ = "no pipe for Xvfb";
        return;
    }
    FileDescriptor readEnd(fds[0]);
    FileDescriptor writeEnd(fds[1]);
    const File log(std::tmpfile());
    if (!log) {
        failure_ = "no log file for Xvfb";
        return;
    }
    const std::string screen = std::to_string(size.width()) + "x" + std::to_string(size.height()) +
                               "x" + std::to_string(depth);
    std::vector<std::string> arguments = {"Xvfb",      "-displayfd", std::to_string(writeEnd.get()),
                                          "-screen",   "0",          screen,
                                          "-nolisten", "tcp",        "-noreset"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    pid_ = spawnXvfb(arguments, writeEnd.get(), fileno(log.get()));
    writeEnd.reset();  // so that a dying server shows as the end of the pipe
    if (pid_ < 0) {
        failure_ = "fork failed";
        return;
    }
    const std::string number = readDisplayNumber(readEnd.get());
    if (number.empty()) {
        failure_ = "Xvfb did not start: " + contentOf(log.get());
        return;
    }
    name_ = ":" + number;
    connect();
}

void XvfbDisplay::connect() {
    int screenNumber = 0;
    connection_.reset(xcb_connect(name_.c_str(), &screenNumber));
    if (xcb_connection_has_error(connection_.get())) {
        failure_ = "no connection to " + name_;
        connection_.reset();
        return;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection_.get());
    auto roots = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&roots);
    screen_ = roots.data;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen_->root_depth) {
            bitsPerPixel_ = f.data->bits_per_pixel;
            scanlinePad_ = f.data->scanline_pad;
        }
    }
    lsbFirst_ = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    for (auto d = xcb_screen_allowed_depths_iterator(screen_); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id != screen_->root_visual) continue;
            masks_[0] = v.data->red_mask;
            masks_[1] = v.data->green_mask;
            masks_[2] = v.data->blue_mask;
        }
    }
}

void XvfbDisplay::stop() {
    connection_.reset();
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    pid_ = -1;
}

void XvfbDisplay::sync() {
    xcb_connection_t* c = connection_.get();
    x11::Reply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

xcb_atom_t XvfbDisplay::atom(const char* name) {
    xcb_connection_t* c = connection_.get();
    const x11::Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, false, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The colour in the root visual's own bits: the top bits of each 8-bit channel.
uint32_t XvfbDisplay::pixelOf(QRgb colour) const {
    const uint32_t channels[3] = {uint32_t(qRed(colour)), uint32_t(qGreen(colour)),
                                  uint32_t(qBlue(colour))};
    uint32_t pixel = 0;
    for (int i = 0; i < 3; ++i) {
        const int bits = std::popcount(masks_[i]);
        pixel |= (channels[i] >> (8 - bits)) << std::countr_zero(masks_[i]);
    }
    return pixel;
}

std::vector<uint8_t> XvfbDisplay::rowsOf(const QImage& picture) const {
    const int bytes = bitsPerPixel_ / 8;
    const int stride =
        (picture.width() * bitsPerPixel_ + scanlinePad_ - 1) / scanlinePad_ * scanlinePad_ / 8;
    std::vector<uint8_t> data(std::size_t(stride) * picture.height());
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const uint32_t pixel = pixelOf(picture.pixel(x, y));
            uint8_t* out = data.data() + std::size_t(y) * stride + x * bytes;
            for (int i = 0; i < bytes; ++i) {
                out[lsbFirst_ ? i : bytes - 1 - i] = uint8_t(pixel >> (8 * i));
            }
        }
    }
    return data;
}

xcb_pixmap_t XvfbDisplay::pixmapOf(const QImage& picture) {
    xcb_connection_t* c = connection_.get();
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen_->root_depth, pixmap, screen_->root, uint16_t(picture.width()),
                      uint16_t(picture.height()));
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    const std::vector<uint8_t> data = rowsOf(picture);
    const std::size_t stride = data.size() / picture.height();
    // In bands that fit in one request.
    const std::size_t limit = std::size_t(xcb_get_maximum_request_length(c)) * 4 - 64;
    const int band = std::max(1, int(limit / stride));
    for (int y = 0; y < picture.height(); y += band) {
        const int rows = std::min(band, picture.height() - y);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(picture.width()),
                      uint16_t(rows), 0, int16_t(y), 0, screen_->root_depth,
                      uint32_t(stride * rows), data.data() + stride * y);
    }
    xcb_free_gc(c, gc);
    return pixmap;
}

void XvfbDisplay::showOnRoot(const QImage& picture) {
    xcb_connection_t* c = connection_.get();
    const xcb_pixmap_t pixmap = pixmapOf(picture);
    xcb_change_window_attributes(c, screen_->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(c, false, screen_->root, 0, 0, 0, 0);
    xcb_free_pixmap(c, pixmap);
    sync();
}

xcb_window_t XvfbDisplay::showWindow(const QRect& geometry, const QImage& content, int border,
                                     QRgb borderColour) {
    xcb_connection_t* c = connection_.get();
    const xcb_pixmap_t pixmap = pixmapOf(content);
    const xcb_window_t window = xcb_generate_id(c);
    // In the order of their mask bits.
    const uint32_t values[] = {pixmap, pixelOf(borderColour), true};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen_->root, int16_t(geometry.x()),
                      int16_t(geometry.y()), uint16_t(geometry.width()),
                      uint16_t(geometry.height()), uint16_t(border), XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c, window);
    xcb_free_pixmap(c, pixmap);
    sync();
    return window;
}

void XvfbDisplay::destroyWindow(xcb_window_t window) {
    xcb_destroy_window(connection_.get(), window);
    sync();
}

void XvfbDisplay::unmapWindow(xcb_window_t window) {
    xcb_unmap_window(connection_.get(), window);
    sync();
}

void XvfbDisplay::setProperty(xcb_window_t window, const char* name, xcb_atom_t type,
                              const std::vector<uint32_t>& values) {
    xcb_change_property(connection_.get(), XCB_PROP_MODE_REPLACE, window, atom(name), type, 32,
                        uint32_t(values.size()), values.data());
    sync();
}

std::string differenceOf(const QImage& actual, const QImage& expected) {
    if (actual.isNull()) return "no picture";
    if (actual.size() != expected.size()) {
        return "size " + std::to_string(actual.width()) + "x" + std::to_string(actual.height()) +
               ", expected " + std::to_string(expected.width()) + "x" +
               std::to_string(expected.height());
    }
    if (actual.format() != QImage::Format_RGB32) return "not Format_RGB32";
    for (int y = 0; y < actual.height(); ++y) {
        const auto* a = reinterpret_cast<const uint32_t*>(actual.constScanLine(y));
        const auto* e = reinterpret_cast<const uint32_t*>(expected.constScanLine(y));
        for (int x = 0; x < actual.width(); ++x) {
            if (a[x] == e[x]) continue;
            char text[96];
            std::snprintf(text, sizeof text, "pixel (%d,%d) is %08x, expected %08x", x, y, a[x],
                          e[x]);
            return text;
        }
    }
    return {};
}

}  // namespace quiblo::test

// An X server of a test's own: Xvfb on a free display number, and a connection through which
// the test puts known pictures and windows on its screen.
#pragma once

#include <sys/types.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/X11Handles.h"

namespace quiblo::test {

class XvfbDisplay {
public:
    // One screen of `size` and `depth`; `extraArguments` go to Xvfb as they are.
    XvfbDisplay(QSize size, int depth, const std::vector<std::string>& extraArguments = {});
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool running() const { return connection_ != nullptr; }
    const std::string& failure() const { return failure_; }
    const std::string& name() const { return name_; }  // ":N"
    xcb_window_t root() const { return screen_->root; }

    // The picture (the size of the screen) as the root window's background.
    void showOnRoot(const QImage& picture);
    // A mapped window at `geometry` (inside its border) whose background is `content`.
    xcb_window_t showWindow(const QRect& geometry, const QImage& content, int border = 0,
                            QRgb borderColour = 0);
    void destroyWindow(xcb_window_t window);
    void unmapWindow(xcb_window_t window);
    // The atom of `name`, made when missing.
    xcb_atom_t atomNamed(const char* name) { return atom(name); }
    // A 32-bit property: a list of CARDINAL or WINDOW values.
    void setProperty(xcb_window_t window, const char* name, xcb_atom_t type,
                     const std::vector<uint32_t>& values);
    // Returns once the server has carried out everything sent so far.
    void sync();

private:
    void start(QSize size, int depth, const std::vector<std::string>& extraArguments);
    void connect();
    void stop();
    xcb_atom_t atom(const char* name);
    uint32_t pixelOf(QRgb colour) const;
    std::vector<uint8_t> rowsOf(const QImage& picture) const;
    xcb_pixmap_t pixmapOf(const QImage& picture);

    pid_t pid_ = -1;  // the server, stopped with this object
    std::string name_;
    std::string failure_;
    x11::Connection connection_;
    xcb_screen_t* screen_ = nullptr;
    int bitsPerPixel_ = 0;
    int scanlinePad_ = 32;
    bool lsbFirst_ = true;
    uint32_t masks_[3] = {};  // red, green, blue
};

// Empty when both pictures have the same size and the same 32-bit pixel values (alpha
// included); otherwise what differs first.
std::string differenceOf(const QImage& actual, const QImage& expected);

}  // namespace quiblo::test

#include "X11ScreenSource.h"

#include <unistd.h>

#include <xcb/randr.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace quiblo {

using x11::Error;
using x11::Reply;

namespace {

// Bytes of one band of a shared-memory grab: small enough that converting a band overlaps the
// server's copy of the next, large enough that requests stay few (32 for a 3840x2160 screen).
constexpr std::size_t kBandBytes = std::size_t(1) << 20;

// The reply to `cookie`; an error is freed here and shows as no reply.
template <typename ReplyT, typename Cookie>
Reply<ReplyT> await(ReplyT* (*read)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                    xcb_connection_t* c, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    Reply<ReplyT> reply(read(c, cookie, &error));
    const Error dropped(error);
    return reply;
}

xcb_screen_t* screenOf(xcb_connection_t* c, int number) {
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; it.rem && i < number; ++i) xcb_screen_next(&it);
    return it.rem ? it.data : nullptr;
}

xcb_intern_atom_cookie_t requestAtom(xcb_connection_t* c, std::string_view name) {
    return xcb_intern_atom(c, false, uint16_t(name.size()), name.data());
}

xcb_atom_t atomOf(xcb_connection_t* c, xcb_intern_atom_cookie_t cookie) {
    const auto reply = await(xcb_intern_atom_reply, c, cookie);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A frame width property of a window: left, right, top, bottom, in pixels.
struct Extents {
    int64_t left = 0;
    int64_t right = 0;
    int64_t top = 0;
    int64_t bottom = 0;
};

xcb_get_property_cookie_t requestExtents(xcb_connection_t* c, xcb_window_t window,
                                         xcb_atom_t property) {
    return xcb_get_property(c, false, window, property, XCB_ATOM_CARDINAL, 0, 4);
}

// No property (or a malformed one) is no frame.
Extents extentsOf(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    const auto reply = await(xcb_get_property_reply, c, cookie);
    if (!reply || reply->format != 32 || reply->value_len < 4) return {};
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {v[0], v[1], v[2], v[3]};
}

}  // namespace

std::unique_ptr<X11ScreenSource> X11ScreenSource::open(const char* displayName) {
    int number = 0;
    x11::Connection connection(xcb_connect(displayName, &number));
    if (xcb_connection_has_error(connection.get())) return nullptr;
    xcb_screen_t* screen = screenOf(connection.get(), number);
    if (!screen) return nullptr;
    return std::unique_ptr<X11ScreenSource>(new X11ScreenSource(std::move(connection), screen));
}

X11ScreenSource::X11ScreenSource(x11::Connection connection, xcb_screen_t* screen)
    : connection_(std::move(connection)), screen_(screen) {
    xcb_connection_t* c = connection_.get();
    layout_ = x11::PixelLayout::ofRoot(xcb_get_setup(c), screen_);
    // Interned even when no window has them yet, so properties set later are still found.
    const std::pair<xcb_atom_t*, const char*> names[] = {
        {&atoms_.activeWindow, "_NET_ACTIVE_WINDOW"},
        {&atoms_.frameExtents, "_NET_FRAME_EXTENTS"},
        {&atoms_.gtkFrameExtents, "_GTK_FRAME_EXTENTS"},
        {&atoms_.clientListStacking, "_NET_CLIENT_LIST_STACKING"},
        {&atoms_.wmPid, "_NET_WM_PID"},
        {&atoms_.wmState, "_NET_WM_STATE"},
        {&atoms_.stateHidden, "_NET_WM_STATE_HIDDEN"},
        {&atoms_.windowType, "_NET_WM_WINDOW_TYPE"},
        {&atoms_.typeDesktop, "_NET_WM_WINDOW_TYPE_DESKTOP"},
        {&atoms_.typeDock, "_NET_WM_WINDOW_TYPE_DOCK"},
    };
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const auto& [atom, name] : names) cookies.push_back(requestAtom(c, name));
    for (std::size_t i = 0; i < cookies.size(); ++i) *names[i].first = atomOf(c, cookies[i]);
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (randr && randr->present) {
        const auto version =
            await(xcb_randr_query_version_reply, c, xcb_randr_query_version(c, 1, 5));
        randrMonitors_ = version && (version->major_version > 1 || version->minor_version >= 5);
    }
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c, &xcb_shm_id);
    sharedMemory_ = shm && shm->present;
}

void X11ScreenSource::prepare() {
    const QSize screen = screenSize();
    if (!layout_ || screen.isEmpty() || (segment_ && segmentScreen_ == screen)) return;
    // A first grab, thrown away, makes the server and this process map every page of the new
    // segment, which takes longer the larger the screen; done now, that stays out of the
    // capture itself.
    if (ensureSegment(screen)) grabShared(QRect(QPoint(0, 0), screen));
}

QImage X11ScreenSource::grabScreen() {
    const QSize screen = screenSize();
    return grab(primaryMonitorArea(monitors(), screen), screen);
}

QRect X11ScreenSource::primaryScreenRect() {
    return primaryMonitorArea(monitors(), screenSize());
}

// The active monitors of the screen; none where RandR cannot list them.
std::vector<Monitor> X11ScreenSource::monitors() const {
    std::vector<Monitor> list;
    if (!randrMonitors_) return list;
    xcb_connection_t* c = connection_.get();
    const auto reply =
        await(xcb_randr_get_monitors_reply, c, xcb_randr_get_monitors(c, screen_->root, true));
    if (!reply) return list;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
         xcb_randr_monitor_info_next(&it)) {
        list.push_back({QRect(it.data->x, it.data->y, it.data->width, it.data->height),
                        it.data->primary != 0});
    }
    return list;
}

QRect primaryMonitorArea(const std::vector<Monitor>& monitors, QSize screen) {
    const QRect whole(QPoint(0, 0), screen);
    const Monitor* chosen = nullptr;
    for (const Monitor& m : monitors) {
        if (m.area.isEmpty()) continue;
        if (!chosen) chosen = &m;
        if (m.primary) {
            chosen = &m;
            break;
        }
    }
    if (!chosen) return whole;
    const QRect area = chosen->area.intersected(whole);
    return area.isEmpty() ? whole : area;
}

QImage X11ScreenSource::grabActiveWindow() {
    lastGrabShared_ = false;
    const xcb_window_t window = foregroundWindow();
    if (window == XCB_WINDOW_NONE) return {};
    const QSize screen = screenSize();
    return grab(frameRect(window, screen), screen);
}

QSize X11ScreenSource::screenSize() const {
    xcb_connection_t* c = connection_.get();
    const auto root = await(xcb_get_geometry_reply, c, xcb_get_geometry(c, screen_->root));
    return root ? QSize(root->width, root->height) : QSize();
}

// One segment holds the whole screen, so it serves every grab until the screen changes size.
bool X11ScreenSource::ensureSegment(QSize screen) {
    if (!sharedMemory_) return false;
    if (segment_ && segmentScreen_ == screen) return true;
    segment_.reset();
    const std::size_t bytes = std::size_t(layout_->bytesPerLine(screen.width())) * screen.height();
    segment_ = x11::SharedSegment::create(connection_.get(), bytes);
    if (!segment_) {
        sharedMemory_ = false;  // refused once, refused always (a remote server, no rights)
        return false;
    }
    segmentScreen_ = screen;
    ++segmentsCreated_;
    return true;
}

QImage X11ScreenSource::grab(const QRect& area, QSize screen) {
    lastGrabShared_ = false;
    if (!layout_ || area.isEmpty()) return {};
    const bool shared = ensureSegment(screen);
    if (shared) {
        QImage picture = grabShared(area);
        lastGrabShared_ = !picture.isNull();
        if (lastGrabShared_) return picture;
    }
    QImage picture = grabPlain(area);
    if (shared && !picture.isNull()) {
        // GetImage works where shared memory did not: keep to GetImage from now on.
        sharedMemory_ = false;
        segment_.reset();
    }
    return picture;
}

// The area is asked for in bands, all at once; each band is converted while the server still
// copies the next ones, so the conversion costs little more than the server's own copy.
QImage X11ScreenSource::grabShared(const QRect& area) {
    xcb_connection_t* c = connection_.get();
    const std::size_t stride = layout_->bytesPerLine(area.width());
    const int band = std::max(1, int(kBandBytes / stride));
    std::vector<xcb_shm_get_image_cookie_t> cookies;
    for (int y = 0; y < area.height(); y += band) {
        cookies.push_back(xcb_shm_get_image(c, screen_->root, area.x(), area.y() + y, area.width(),
                                            std::min(band, area.height() - y), ~0u,
                                            XCB_IMAGE_FORMAT_Z_PIXMAP, segment_->id(),
                                            uint32_t(y * stride)));
    }
    xcb_flush(c);
    QImage picture(area.size(), QImage::Format_RGB32);
    bool complete = !picture.isNull();
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        const auto reply = await(xcb_shm_get_image_reply, c, cookies[i]);  // every reply is read
        const int y = int(i) * band;
        const int rows = std::min(band, area.height() - y);
        complete = complete && reply && reply->size >= rows * stride;
        if (complete) layout_->copyRows(segment_->data() + y * stride, rows, picture, y);
    }
    return complete ? picture : QImage();
}

QImage X11ScreenSource::grabPlain(const QRect& area) {
    xcb_connection_t* c = connection_.get();
    const auto cookie = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, area.x(),
                                      area.y(), area.width(), area.height(), ~0u);
    const auto reply = await(xcb_get_image_reply, c, cookie);
    const std::size_t bytes = std::size_t(layout_->bytesPerLine(area.width())) * area.height();
    if (!reply || std::size_t(xcb_get_image_data_length(reply.get())) < bytes) return {};
    return layout_->toImage(xcb_get_image_data(reply.get()), area.width(), area.height());
}

// The window the user sees in front once this program is out of the way: the topmost window of
// the window manager's stacking list that is shown, not minimised, not the desktop or a panel,
// and not one of this program's own (its main window may still be named active while hidden).
// Without a stacking list (no window manager that keeps one), the active window, on the same
// terms.
xcb_window_t X11ScreenSource::foregroundWindow() const {
    const auto stacking = rootList(atoms_.clientListStacking, XCB_ATOM_WINDOW);
    if (!stacking) {
        const xcb_window_t active = activeWindow();
        if (active == XCB_WINDOW_NONE || !isCandidate(active)) return XCB_WINDOW_NONE;
        return active;
    }
    for (auto it = stacking->rbegin(); it != stacking->rend(); ++it) {
        if (isCandidate(*it)) return *it;
    }
    return XCB_WINDOW_NONE;
}

std::optional<std::vector<uint32_t>> X11ScreenSource::rootList(xcb_atom_t property,
                                                               xcb_atom_t type) const {
    xcb_connection_t* c = connection_.get();
    const auto reply = await(xcb_get_property_reply, c,
                             xcb_get_property(c, false, screen_->root, property, type, 0, 4096));
    if (!reply || reply->format != 32 || reply->type != type) return std::nullopt;
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(v, v + reply->value_len);
}

bool X11ScreenSource::isCandidate(xcb_window_t window) const {
    xcb_connection_t* c = connection_.get();
    const auto attributesCookie = xcb_get_window_attributes(c, window);
    const auto pidCookie =
        xcb_get_property(c, false, window, atoms_.wmPid, XCB_ATOM_CARDINAL, 0, 1);
    const auto stateCookie =
        xcb_get_property(c, false, window, atoms_.wmState, XCB_ATOM_ATOM, 0, 64);
    const auto typeCookie =
        xcb_get_property(c, false, window, atoms_.windowType, XCB_ATOM_ATOM, 0, 64);
    const auto attributes = await(xcb_get_window_attributes_reply, c, attributesCookie);
    const auto pid = await(xcb_get_property_reply, c, pidCookie);
    const auto state = await(xcb_get_property_reply, c, stateCookie);
    const auto type = await(xcb_get_property_reply, c, typeCookie);
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) return false;
    const auto atomsOf = [](const Reply<xcb_get_property_reply_t>& reply) {
        std::vector<uint32_t> values;
        if (reply && reply->format == 32) {
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
            values.assign(v, v + reply->value_len);
        }
        return values;
    };
    const auto has = [](const std::vector<uint32_t>& values, xcb_atom_t atom) {
        return std::find(values.begin(), values.end(), atom) != values.end();
    };
    const std::vector<uint32_t> pids = atomsOf(pid);
    if (!pids.empty() && pids[0] == uint32_t(getpid())) return false;
    if (has(atomsOf(state), atoms_.stateHidden)) return false;
    const std::vector<uint32_t> types = atomsOf(type);
    return !has(types, atoms_.typeDesktop) && !has(types, atoms_.typeDock);
}

xcb_window_t X11ScreenSource::activeWindow() const {
    xcb_connection_t* c = connection_.get();
    const auto cookie =
        xcb_get_property(c, false, screen_->root, atoms_.activeWindow, XCB_ATOM_WINDOW, 0, 1);
    const auto reply = await(xcb_get_property_reply, c, cookie);
    if (!reply || reply->format != 32 || reply->value_len < 1) return XCB_WINDOW_NONE;
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

// The window with its border, grown by the window manager's frame, less the shadow that a
// client drawing its own decorations keeps inside its window; clipped to the screen. Empty when
// the window is gone or off the screen.
QRect X11ScreenSource::frameRect(xcb_window_t window, QSize screen) const {
    xcb_connection_t* c = connection_.get();
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto originCookie = xcb_translate_coordinates(c, window, screen_->root, 0, 0);
    const auto frameCookie = requestExtents(c, window, atoms_.frameExtents);
    const auto shadowCookie = requestExtents(c, window, atoms_.gtkFrameExtents);
    const auto geometry = await(xcb_get_geometry_reply, c, geometryCookie);
    const auto origin = await(xcb_translate_coordinates_reply, c, originCookie);
    const Extents frame = extentsOf(c, frameCookie);
    const Extents shadow = extentsOf(c, shadowCookie);
    if (!geometry || !origin) return {};

    const int64_t border = geometry->border_width;
    const int64_t x = origin->dst_x;
    const int64_t y = origin->dst_y;
    const int64_t left = std::max<int64_t>(x - border - frame.left + shadow.left, 0);
    const int64_t top = std::max<int64_t>(y - border - frame.top + shadow.top, 0);
    const int64_t right = std::min<int64_t>(
        x + geometry->width + border + frame.right - shadow.right, screen.width());
    const int64_t bottom = std::min<int64_t>(
        y + geometry->height + border + frame.bottom - shadow.bottom, screen.height());
    if (right <= left || bottom <= top) return {};
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

}  // namespace quiblo

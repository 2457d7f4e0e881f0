#include "WindowActivation.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>

namespace quiblo {

namespace {

// Source indication of _NET_ACTIVE_WINDOW: 2 is a pager, that is, the user's own request.
constexpr uint32_t kSourcePager = 2;

void askWindowManager(xcb_connection_t* c, xcb_window_t window) {
    static const char name[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, false, uint16_t(std::strlen(name)), name), nullptr);
    if (!reply) return;
    const xcb_atom_t activeWindow = reply->atom;
    std::free(reply);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = activeWindow;
    event.data.data32[0] = kSourcePager;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, false, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}

}  // namespace

void activateWithFocus(QWidget* window) {
    if (!window || !window->isVisible()) return;
    window->raise();
    window->activateWindow();
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection())
        askWindowManager(x11->connection(), xcb_window_t(window->winId()));
}

}  // namespace quiblo

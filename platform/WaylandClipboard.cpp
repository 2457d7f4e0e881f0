// The Wayland side of the clipboard holder: the data-control protocol that sway and KWin offer to
// clipboard managers, without a window or the keyboard focus a normal client would need.
#include <fcntl.h>
#include <unistd.h>
#include <wayland-client.h>

#include <csignal>
#include <cstring>
#include <memory>

#include "ClipboardHolder.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace quiblo {

namespace {

const char* const kTextTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING",
                                  "TEXT"};

template <typename T, void (*destroy)(T*)>
struct Destroyer {
    void operator()(T* object) const {
        if (object) destroy(object);
    }
};
using Display = std::unique_ptr<wl_display, Destroyer<wl_display, wl_display_disconnect>>;
using Registry = std::unique_ptr<wl_registry, Destroyer<wl_registry, wl_registry_destroy>>;
using Seat = std::unique_ptr<wl_seat, Destroyer<wl_seat, wl_seat_destroy>>;
using Manager =
    std::unique_ptr<zwlr_data_control_manager_v1,
                    Destroyer<zwlr_data_control_manager_v1, zwlr_data_control_manager_v1_destroy>>;
using Device =
    std::unique_ptr<zwlr_data_control_device_v1,
                    Destroyer<zwlr_data_control_device_v1, zwlr_data_control_device_v1_destroy>>;
using Source =
    std::unique_ptr<zwlr_data_control_source_v1,
                    Destroyer<zwlr_data_control_source_v1, zwlr_data_control_source_v1_destroy>>;

struct Holder {
    QByteArray text;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    bool done = false;
};

void announced(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* holder = static_cast<Holder*>(data);
    if (!holder->seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
        holder->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (!holder->manager &&
               std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        holder->manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    }
}

void withdrawn(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {announced, withdrawn};

// A reader that stops reading must not end the holder.
void sendText(void* data, zwlr_data_control_source_v1*, const char*, int32_t fd) {
    const QByteArray& text = static_cast<Holder*>(data)->text;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    ::close(fd);
}

void cancelled(void* data, zwlr_data_control_source_v1*) {
    static_cast<Holder*>(data)->done = true;
}

const zwlr_data_control_source_v1_listener kSourceListener = {sendText, cancelled};

// Offers of other clients' selections are not read: each is let go as it comes.
void offerType(void*, zwlr_data_control_offer_v1*, const char*) {}
const zwlr_data_control_offer_v1_listener kOfferListener = {offerType};

void newOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, nullptr);
}
void selection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    if (offer) zwlr_data_control_offer_v1_destroy(offer);
}
void finished(void* data, zwlr_data_control_device_v1*) {
    static_cast<Holder*>(data)->done = true;
}

const zwlr_data_control_device_v1_listener kDeviceListener = {newOffer, selection, finished,
                                                              selection};

}  // namespace

bool holdWaylandSelection(const QByteArray& text, const std::function<void(const char*)>& report) {
    std::signal(SIGPIPE, SIG_IGN);
    Display display(wl_display_connect(nullptr));
    if (!display) return false;
    Holder holder;
    holder.text = text;
    Registry registry(wl_display_get_registry(display.get()));
    wl_registry_add_listener(registry.get(), &kRegistryListener, &holder);
    wl_display_roundtrip(display.get());
    Seat seat(holder.seat);
    Manager manager(holder.manager);
    if (!seat || !manager) return false;

    Source source(zwlr_data_control_manager_v1_create_data_source(manager.get()));
    zwlr_data_control_source_v1_add_listener(source.get(), &kSourceListener, &holder);
    for (const char* type : kTextTypes) zwlr_data_control_source_v1_offer(source.get(), type);
    Device device(zwlr_data_control_manager_v1_get_data_device(manager.get(), seat.get()));
    zwlr_data_control_device_v1_add_listener(device.get(), &kDeviceListener, &holder);
    zwlr_data_control_device_v1_set_selection(device.get(), source.get());
    if (wl_display_roundtrip(display.get()) < 0) return false;
    report(kHolderReady);
    while (!holder.done && wl_display_dispatch(display.get()) >= 0) {
    }
    return true;
}

}  // namespace quiblo

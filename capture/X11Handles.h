// Owners of the C handles of xcb and System V shared memory used by the X11 screen source.
#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace quiblo::x11 {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
// A reply or error of xcb, which the caller frees with free().
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;
using Error = Reply<xcb_generic_error_t>;

struct Disconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

// A shared memory segment that the X server writes pictures into. The segment is marked for
// removal as soon as the server has attached it, so it disappears with the last user even if
// this process dies.
class SharedSegment {
public:
    // A segment of `bytes` attached by the server; nullptr when the system or the server refuses
    // (no permission, a server on another machine).
    static std::unique_ptr<SharedSegment> create(xcb_connection_t* connection, std::size_t bytes);
    ~SharedSegment();
    SharedSegment(const SharedSegment&) = delete;
    SharedSegment& operator=(const SharedSegment&) = delete;

    xcb_shm_seg_t id() const { return segment_; }
    const uint8_t* data() const { return static_cast<const uint8_t*>(address_); }
    std::size_t size() const { return size_; }

private:
    SharedSegment(xcb_connection_t* connection, std::size_t bytes)
        : connection_(connection), size_(bytes) {}

    xcb_connection_t* connection_;
    std::size_t size_;
    int shmId_ = -1;
    bool removed_ = false;
    void* address_ = nullptr;
    xcb_shm_seg_t segment_ = 0;
    bool attached_ = false;
};

}  // namespace quiblo::x11

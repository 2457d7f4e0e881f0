#include "X11Handles.h"

#include <sys/ipc.h>
#include <sys/shm.h>

namespace quiblo::x11 {

std::unique_ptr<SharedSegment> SharedSegment::create(xcb_connection_t* connection,
                                                     std::size_t bytes) {
    std::unique_ptr<SharedSegment> s(new SharedSegment(connection, bytes));
    // Readable by this user only: the segment holds what is on the screen.
    s->shmId_ = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (s->shmId_ < 0) return nullptr;
    void* address = shmat(s->shmId_, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) return nullptr;
    s->address_ = address;

    s->segment_ = xcb_generate_id(connection);
    const Error error(xcb_request_check(
        connection, xcb_shm_attach_checked(connection, s->segment_, s->shmId_, false)));
    if (error) return nullptr;
    s->attached_ = true;
    s->removed_ = shmctl(s->shmId_, IPC_RMID, nullptr) == 0;
    return s;
}

SharedSegment::~SharedSegment() {
    if (attached_) {
        xcb_shm_detach(connection_, segment_);
        xcb_flush(connection_);
    }
    if (address_) shmdt(address_);
    if (shmId_ >= 0 && !removed_) shmctl(shmId_, IPC_RMID, nullptr);
}

}  // namespace quiblo::x11

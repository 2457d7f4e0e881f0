// The C entry points: handle registry, per-thread error code, and the guard that keeps
// C++ exceptions from crossing the C boundary.
#include "imgctl.h"

#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <unordered_map>

#include "dib.h"
#include "failure.h"
#include "file_output.h"
#include "png_encoder.h"

namespace {

using imgctl::Dib;
using imgctl::Failure;

constexpr int32_t kVersion = 103;

thread_local int32_t lastError = IMGCTL_OK;

// Live DIBs by handle. Handles come from a counter and are never reused, so a stale handle
// stays unknown instead of reaching a newer DIB. shared_ptr lets DIBtoPNG keep encoding
// while another thread deletes the handle.
class DibRegistry {
public:
    intptr_t add(std::shared_ptr<const Dib> dib) {
        std::lock_guard lock(mutex_);
        const intptr_t handle = next_++;
        dibs_.emplace(handle, std::move(dib));
        return handle;
    }

    std::shared_ptr<const Dib> find(intptr_t handle) {
        std::lock_guard lock(mutex_);
        const auto it = dibs_.find(handle);
        return it == dibs_.end() ? nullptr : it->second;
    }

    bool remove(intptr_t handle) {
        std::lock_guard lock(mutex_);
        return dibs_.erase(handle) != 0;
    }

private:
    std::mutex mutex_;
    intptr_t next_ = 0x1000;  // far from 0, which means failure
    std::unordered_map<intptr_t, std::shared_ptr<const Dib>> dibs_;
};

DibRegistry& registry() {
    static DibRegistry instance;
    return instance;
}

// Runs body; on any exception records its error code and returns 0.
template <typename Body>
auto guarded(Body body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (const Failure& f) {
        lastError = f.code;
    } catch (const std::bad_alloc&) {
        lastError = IMGCTL_ERR_NO_MEMORY;
    } catch (const std::length_error&) {
        lastError = IMGCTL_ERR_NO_MEMORY;
    } catch (...) {
        lastError = IMGCTL_ERR_ENCODE;
    }
    return 0;
}

std::shared_ptr<const Dib> liveDib(intptr_t handle) {
    auto dib = registry().find(handle);
    if (!dib) throw Failure{IMGCTL_ERR_BAD_HANDLE};
    return dib;
}

}  // namespace

extern "C" {

int32_t ImgctlVersion(void) {
    return kVersion;
}

intptr_t DCtoDIB(intptr_t dc, int32_t x, int32_t y, int32_t width, int32_t height) {
    return guarded([&]() -> intptr_t {
        if (dc == 0) throw Failure{IMGCTL_ERR_BAD_HANDLE};
        const auto& view = *reinterpret_cast<const ImgctlDC*>(dc);
        return registry().add(
            std::make_shared<const Dib>(imgctl::copyFromDc(view, x, y, width, height)));
    });
}

int32_t DIBtoPNG(const char* path, intptr_t dib, int32_t options) {
    return guarded([&]() -> int32_t {
        const auto picture = liveDib(dib);
        if (path == nullptr || (options & ~IMGCTL_OPTION_STRONG) != 0) {
            throw Failure{IMGCTL_ERR_BAD_ARGUMENT};
        }
        const auto effort =
            (options & IMGCTL_OPTION_STRONG) != 0 ? imgctl::Effort::Strong : imgctl::Effort::Normal;
        imgctl::writeFileReplacing(path, imgctl::encodePng(*picture, effort));
        return 1;
    });
}

int32_t DIBtoReducedPNG(const char* path, intptr_t dib, int32_t options) {
    return guarded([&]() -> int32_t {
        const auto picture = liveDib(dib);
        if (path == nullptr ||
            (options & ~(int32_t{IMGCTL_OPTION_HALF} | int32_t{IMGCTL_OPTION_STRONG})) != 0) {
            throw Failure{IMGCTL_ERR_BAD_ARGUMENT};
        }
        const auto reduction =
            (options & IMGCTL_OPTION_HALF) != 0 ? imgctl::Reduction::Half : imgctl::Reduction::None;
        const auto effort =
            (options & IMGCTL_OPTION_STRONG) != 0 ? imgctl::Effort::Strong : imgctl::Effort::Normal;
        imgctl::writeFileReplacing(path, imgctl::encodeReducedPng(*picture, reduction, effort));
        return 1;
    });
}

int32_t ImgctlError(void) {
    return lastError;
}

int32_t DeleteDIB(intptr_t dib) {
    return guarded([&]() -> int32_t {
        if (!registry().remove(dib)) throw Failure{IMGCTL_ERR_BAD_HANDLE};
        return 1;
    });
}

}  // extern "C"

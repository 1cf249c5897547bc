#include "capture/x11/x11_image_grabber.h"

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/shm.h>

namespace zarvex::x11 {
namespace {

constexpr std::size_t kBytesPerPixel = 4;
constexpr std::size_t kCapacityStep = std::size_t{1} << 20;
constexpr std::uint32_t kAllPlanes = ~std::uint32_t{0};

std::size_t bytesFor(const std::vector<PixelRect>& rects) {
    std::size_t total = 0;
    for (const auto& rect : rects) {
        total += std::size_t(rect.width) * std::size_t(rect.height) * kBytesPerPixel;
    }
    return total;
}

}  // namespace

ImageGrabber::ImageGrabber(X11Connection& connection) : connection_(connection) {
    if (connection_.extension(&xcb_shm_id)) {
        auto version = reply(connection_.get(), xcb_shm_query_version_reply,
                             xcb_shm_query_version(connection_.get()));
        sharedMemoryAvailable_ = version != nullptr;
    }
}

ImageGrabber::~ImageGrabber() {
    release();
}

void ImageGrabber::release() {
    if (memory_ == nullptr) {
        return;
    }
    xcb_shm_detach(connection_.get(), segment_);
    xcb_flush(connection_.get());
    if (mode_ == Mode::memfd) {
        ::munmap(memory_, capacity_);
    } else {
        ::shmdt(memory_);
    }
    memory_ = nullptr;
    capacity_ = 0;
    mode_ = Mode::plain;
}

bool ImageGrabber::attachMemfd(std::size_t bytes) {
    const int fd = ::memfd_create("zarvex-screen", MFD_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    void* memory = MAP_FAILED;
    if (::ftruncate(fd, static_cast<off_t>(bytes)) == 0) {
        memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    if (memory == MAP_FAILED) {
        ::close(fd);
        return false;
    }
    const std::uint32_t segment = xcb_generate_id(connection_.get());
    // XCB sends the descriptor and closes it.
    if (!succeeded(connection_.get(),
                   xcb_shm_attach_fd_checked(connection_.get(), segment, fd, 0))) {
        ::munmap(memory, bytes);
        return false;
    }
    segment_ = segment;
    memory_ = static_cast<std::uint8_t*>(memory);
    capacity_ = bytes;
    mode_ = Mode::memfd;
    return true;
}

bool ImageGrabber::attachSysv(std::size_t bytes) {
    const int id = ::shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) {
        return false;
    }
    void* memory = ::shmat(id, nullptr, 0);
    bool attached = false;
    std::uint32_t segment = 0;
    if (memory != reinterpret_cast<void*>(-1)) {
        segment = xcb_generate_id(connection_.get());
        attached = succeeded(
            connection_.get(),
            xcb_shm_attach_checked(connection_.get(), segment, static_cast<std::uint32_t>(id), 0));
    }
    // Marked for removal now: it goes away once both sides have detached,
    // even if this process dies.
    ::shmctl(id, IPC_RMID, nullptr);
    if (!attached) {
        if (memory != reinterpret_cast<void*>(-1)) {
            ::shmdt(memory);
        }
        return false;
    }
    segment_ = segment;
    memory_ = static_cast<std::uint8_t*>(memory);
    capacity_ = bytes;
    mode_ = Mode::sysv;
    return true;
}

void ImageGrabber::ensureCapacity(std::size_t bytes) {
    if (!sharedMemoryAvailable_ || (memory_ != nullptr && capacity_ >= bytes)) {
        return;
    }
    release();
    const std::size_t rounded = (bytes + kCapacityStep - 1) / kCapacityStep * kCapacityStep;
    if (!attachMemfd(rounded) && !attachSysv(rounded)) {
        // A remote or restricted server: stay with plain replies from now on.
        sharedMemoryAvailable_ = false;
    }
}

bool ImageGrabber::read(xcb_drawable_t drawable, const std::vector<PixelRect>& rects,
                        std::vector<Piece>& pieces) {
    pieces.clear();
    replies_.clear();
    ensureCapacity(bytesFor(rects));
    if (memory_ == nullptr) {
        return readPlain(drawable, rects, pieces);
    }
    xcb_connection_t* c = connection_.get();
    std::vector<xcb_shm_get_image_cookie_t> cookies;
    cookies.reserve(rects.size());
    std::size_t offset = 0;
    for (const auto& rect : rects) {
        cookies.push_back(xcb_shm_get_image(
            c, drawable, static_cast<std::int16_t>(rect.x), static_cast<std::int16_t>(rect.y),
            static_cast<std::uint16_t>(rect.width), static_cast<std::uint16_t>(rect.height),
            kAllPlanes, XCB_IMAGE_FORMAT_Z_PIXMAP, segment_, static_cast<std::uint32_t>(offset)));
        pieces.push_back(
            Piece{rect, memory_ + offset, rect.width * static_cast<int>(kBytesPerPixel)});
        offset += std::size_t(rect.width) * std::size_t(rect.height) * kBytesPerPixel;
    }
    bool ok = true;
    for (const auto& cookie : cookies) {
        auto image = reply(c, xcb_shm_get_image_reply, cookie);
        ok = ok && image != nullptr;
    }
    return ok;
}

bool ImageGrabber::readPlain(xcb_drawable_t drawable, const std::vector<PixelRect>& rects,
                             std::vector<Piece>& pieces) {
    xcb_connection_t* c = connection_.get();
    std::vector<xcb_get_image_cookie_t> cookies;
    cookies.reserve(rects.size());
    for (const auto& rect : rects) {
        cookies.push_back(
            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, static_cast<std::int16_t>(rect.x),
                          static_cast<std::int16_t>(rect.y), static_cast<std::uint16_t>(rect.width),
                          static_cast<std::uint16_t>(rect.height), kAllPlanes));
    }
    bool ok = true;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        auto image = reply(c, xcb_get_image_reply, cookies[i]);
        const std::size_t needed =
            std::size_t(rects[i].width) * std::size_t(rects[i].height) * kBytesPerPixel;
        if (!image || std::size_t(xcb_get_image_data_length(image.get())) < needed) {
            ok = false;
            continue;
        }
        pieces.push_back(Piece{rects[i], xcb_get_image_data(image.get()),
                               rects[i].width * static_cast<int>(kBytesPerPixel)});
        replies_.push_back(std::move(image));
    }
    return ok;
}

}  // namespace zarvex::x11

#include "capture/v4l2/v4l2_camera.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <map>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "capture/errors.h"
#include "capture/v4l2/camera_formats.h"
#include "media/named_thread.h"

namespace zarvex {
namespace {

constexpr unsigned kBufferCount = 4;

class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

struct Unmap {
    std::size_t length = 0;
    void operator()(void* address) const { ::munmap(address, length); }
};
using Mapping = std::unique_ptr<void, Unmap>;

int xioctl(int fd, unsigned long request, void* arg) {
    int result = 0;
    do {
        result = ::ioctl(fd, request, arg);
    } while (result < 0 && errno == EINTR);
    return result;
}

// A memory-mapped capture buffer descriptor, for QUERYBUF, QBUF and DQBUF.
v4l2_buffer mappedBuffer(unsigned index = 0) {
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    return buffer;
}

[[noreturn]] void failNoCamera() {
    throw RecorderError::writerFailed(kNoCameraMessage);
}
[[noreturn]] void failNotConfigured() {
    // A camera that another program is streaming from is as good as absent.
    if (errno == EBUSY) {
        failNoCamera();
    }
    throw RecorderError::writerFailed(kCameraNotConfiguredMessage);
}

// The first node, by number, that can stream video capture.
FileDescriptor openDefaultCamera(const std::filesystem::path& folder) {
    std::map<unsigned, std::filesystem::path> nodes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        unsigned number = 0;
        const char* digits = name.c_str() + 5;
        const char* end = name.c_str() + name.size();
        if (name.size() > 5 && name.starts_with("video") &&
            std::from_chars(digits, end, number).ptr == end) {
            nodes.emplace(number, entry.path());
        }
    }
    for (const auto& [number, path] : nodes) {
        FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        v4l2_capability capability{};
        if (!fd || xioctl(fd.get(), VIDIOC_QUERYCAP, &capability) < 0) {
            continue;
        }
        const std::uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS)
                                       ? capability.device_caps
                                       : capability.capabilities;
        if ((caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING)) {
            return fd;
        }
    }
    return {};
}

double fastestFrameRate(int fd, std::uint32_t fourcc, std::uint32_t width, std::uint32_t height) {
    double best = 0;
    v4l2_frmivalenum interval{};
    interval.pixel_format = fourcc;
    interval.width = width;
    interval.height = height;
    for (interval.index = 0; xioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0;
         ++interval.index) {
        const v4l2_fract shortest =
            interval.type == V4L2_FRMIVAL_TYPE_DISCRETE ? interval.discrete : interval.stepwise.min;
        if (shortest.numerator > 0) {
            best = std::max(best, double(shortest.denominator) / shortest.numerator);
        }
        if (interval.type != V4L2_FRMIVAL_TYPE_DISCRETE) {
            break;
        }
    }
    return best;
}

std::vector<CameraMode> listModes(int fd) {
    std::vector<CameraMode> modes;
    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (format.index = 0; xioctl(fd, VIDIOC_ENUM_FMT, &format) == 0; ++format.index) {
        const std::uint32_t fourcc = format.pixelformat;
        if (!isConvertibleCameraFormat(fourcc)) {
            continue;
        }
        auto add = [&](std::uint32_t width, std::uint32_t height) {
            modes.push_back(
                {fourcc, int(width), int(height), fastestFrameRate(fd, fourcc, width, height)});
        };
        v4l2_frmsizeenum size{};
        size.pixel_format = fourcc;
        size.index = 0;
        if (xioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) < 0) {
            // Sizes not listed: offer the preferred one; the driver adjusts it.
            add(kPreferredCameraWidth, kPreferredCameraHeight);
            continue;
        }
        if (size.type != V4L2_FRMSIZE_TYPE_DISCRETE) {
            // Any size in steps: the preferred size as the steps allow, and
            // the smallest in case even that is too large.
            const auto& range = size.stepwise;
            auto fit = [](std::uint32_t wanted, std::uint32_t low, std::uint32_t high,
                          std::uint32_t step) {
                const std::uint32_t clamped = std::clamp(wanted, low, std::max(low, high));
                return step > 0 ? low + (clamped - low) / step * step : clamped;
            };
            add(fit(kPreferredCameraWidth, range.min_width, range.max_width, range.step_width),
                fit(kPreferredCameraHeight, range.min_height, range.max_height, range.step_height));
            add(range.min_width, range.min_height);
            continue;
        }
        do {
            add(size.discrete.width, size.discrete.height);
            ++size.index;
        } while (xioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0);
    }
    return modes;
}

ColorTags colorTagsOf(const v4l2_pix_format& pix) {
    ColorTags tags = defaultCameraColorTags(pix.pixelformat);
    if (pix.ycbcr_enc == V4L2_YCBCR_ENC_709) {
        tags.matrix = YuvMatrix::bt709;
    }
    if (pix.quantization == V4L2_QUANTIZATION_FULL_RANGE) {
        tags.range = YuvRange::full;
    } else if (pix.quantization == V4L2_QUANTIZATION_LIM_RANGE) {
        tags.range = YuvRange::limited;
    }
    return tags;
}

int minimumBytesPerLine(std::uint32_t fourcc, int width) {
    switch (fourcc) {
        case kFourccYuyv:
        case kFourccUyvy:
            return width * 2;
        case kFourccRgb24:
        case kFourccBgr24:
            return width * 3;
        default:
            return width;
    }
}

// A configured, streaming camera. Destroying it stops the stream, unmaps the
// buffers and closes the device, in that order.
class Stream {
  public:
    explicit Stream(FileDescriptor device) : device_(std::move(device)) {
        if (!stop_) {
            throw std::system_error(errno, std::generic_category(), "eventfd");
        }
        configure();
    }
    ~Stream() {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        xioctl(device_.get(), VIDIOC_STREAMOFF, &type);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    int width() const { return pool_->width(); }
    int height() const { return pool_->height(); }

    // Delivers frames until requestStop() or until the device fails.
    void run(const CameraCapture::FrameHandler& handler) {
        pollfd fds[2] = {{device_.get(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents != 0) {
                return;
            }
            if ((fds[0].revents & POLLIN) == 0) {
                if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                    return;  // unplugged
                }
                continue;
            }
            if (!deliverOne(handler)) {
                return;
            }
        }
    }

    void requestStop() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(stop_.get(), &one, sizeof one);
    }

  private:
    void configure() {
        const int fd = device_.get();
        const auto mode = chooseCameraMode(listModes(fd));
        if (!mode) {
            errno = 0;
            failNotConfigured();
        }
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        format.fmt.pix.width = std::uint32_t(mode->width);
        format.fmt.pix.height = std::uint32_t(mode->height);
        format.fmt.pix.pixelformat = mode->fourcc;
        format.fmt.pix.field = V4L2_FIELD_NONE;
        if (xioctl(fd, VIDIOC_S_FMT, &format) < 0) {
            failNotConfigured();
        }
        // The driver may have adjusted anything; what it says now holds.
        const v4l2_pix_format& pix = format.fmt.pix;
        errno = 0;
        if (!isConvertibleCameraFormat(pix.pixelformat) || pix.width < 2 || pix.height < 2 ||
            pix.width > 16384 || pix.height > 16384) {
            failNotConfigured();
        }
        layout_ = {
            pix.pixelformat, int(pix.width), int(pix.height),
            std::max(int(pix.bytesperline), minimumBytesPerLine(pix.pixelformat, int(pix.width)))};
        color_ = colorTagsOf(pix);
        setFrameRate(mode->framesPerSecond);

        v4l2_requestbuffers request{};
        request.count = kBufferCount;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        if (xioctl(fd, VIDIOC_REQBUFS, &request) < 0) {
            failNotConfigured();
        }
        if (request.count < 2) {
            errno = 0;
            failNotConfigured();
        }
        for (unsigned index = 0; index < request.count; ++index) {
            v4l2_buffer buffer = mappedBuffer(index);
            if (xioctl(fd, VIDIOC_QUERYBUF, &buffer) < 0) {
                failNotConfigured();
            }
            void* address = ::mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                                   buffer.m.offset);
            if (address == MAP_FAILED) {
                failNotConfigured();
            }
            buffers_.emplace_back(address, Unmap{buffer.length});
            if (xioctl(fd, VIDIOC_QBUF, &buffer) < 0) {
                failNotConfigured();
            }
        }
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd, VIDIOC_STREAMON, &type) < 0) {
            failNotConfigured();
        }
        pool_ =
            std::make_unique<FramePool>(PixelFormat::i420, layout_.width & ~1, layout_.height & ~1);
    }

    // Best effort: many cameras pick their rate themselves.
    void setFrameRate(double framesPerSecond) {
        if (framesPerSecond <= 0) {
            return;
        }
        v4l2_streamparm parameters{};
        parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(device_.get(), VIDIOC_G_PARM, &parameters) < 0 ||
            (parameters.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) == 0) {
            return;
        }
        parameters.parm.capture.timeperframe = {1000,
                                                std::uint32_t(std::lround(framesPerSecond * 1000))};
        xioctl(device_.get(), VIDIOC_S_PARM, &parameters);
    }

    // False when the device has failed.
    bool deliverOne(const CameraCapture::FrameHandler& handler) {
        v4l2_buffer buffer = mappedBuffer();
        if (xioctl(device_.get(), VIDIOC_DQBUF, &buffer) < 0) {
            return errno == EAGAIN;
        }
        const HostTime dequeuedAt = systemClock().now();
        std::optional<HostTime> stamp;
        if ((buffer.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC) {
            stamp = std::chrono::seconds(buffer.timestamp.tv_sec) +
                    std::chrono::microseconds(buffer.timestamp.tv_usec);
        }
        CameraFrame frame{pool_->acquire(), cameraFrameTime(stamp, dequeuedAt)};
        bool converted = false;
        if ((buffer.flags & V4L2_BUF_FLAG_ERROR) == 0 && buffer.index < buffers_.size()) {
            const auto& mapping = buffers_[buffer.index];
            const std::size_t used =
                std::min<std::size_t>(buffer.bytesused, mapping.get_deleter().length);
            converted = convertCameraImage(
                layout_, {static_cast<const std::uint8_t*>(mapping.get()), used}, frame.image);
        }
        // Back to the driver before the handler runs, so it can fill it meanwhile.
        const bool requeued = xioctl(device_.get(), VIDIOC_QBUF, &buffer) == 0;
        if (converted) {
            frame.image.color = color_;
            handler(frame);
        }
        return requeued;
    }

    FileDescriptor device_;
    FileDescriptor stop_{::eventfd(0, EFD_CLOEXEC)};
    std::vector<Mapping> buffers_;
    std::unique_ptr<FramePool> pool_;
    CameraImageLayout layout_;
    ColorTags color_;
};

class V4l2Camera final : public CameraCapture {
  public:
    explicit V4l2Camera(std::filesystem::path folder) : folder_(std::move(folder)) {}
    ~V4l2Camera() override { stop(); }

    void start(FrameHandler handler) override {
        if (isRunning()) {
            throw std::logic_error("camera capture is already running");
        }
        stop();  // the remains of a camera that went away
        FileDescriptor device = openDefaultCamera(folder_);
        if (!device) {
            failNoCamera();
        }
        stream_ = std::make_unique<Stream>(std::move(device));
        width_ = stream_->width();
        height_ = stream_->height();
        handler_ = std::move(handler);
        ended_ = false;
        thread_ = startNamedThread(kCameraThreadName, [this] {
            stream_->run(handler_);
            ended_ = true;
        });
    }

    void stop() override {
        if (thread_.joinable()) {
            stream_->requestStop();
            thread_.join();
        }
        stream_.reset();
        handler_ = nullptr;
    }

    bool isRunning() const override { return thread_.joinable() && !ended_; }
    int frameWidth() const override { return width_; }
    int frameHeight() const override { return height_; }

  private:
    const std::filesystem::path folder_;
    std::unique_ptr<Stream> stream_;
    FrameHandler handler_;
    std::thread thread_;
    std::atomic<bool> ended_ = false;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace

std::unique_ptr<CameraCapture> makeV4l2Camera(std::filesystem::path deviceFolder) {
    return std::make_unique<V4l2Camera>(std::move(deviceFolder));
}

}  // namespace zarvex

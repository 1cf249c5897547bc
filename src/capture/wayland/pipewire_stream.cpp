// The PipeWire side of a screen cast. All PipeWire objects live on the
// stream's own thread, which iterates a private loop: nothing else touches
// them, so no PipeWire lock is needed. The owner wakes the loop through an
// event source to stop it.

#include "capture/wayland/pipewire_stream.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "capture/wayland/cast_frames.h"
#include "media/named_thread.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using wayland::CastPixelFormat;

constexpr auto kFirstFrameWait = 2s;
// A presentation time further from the arrival than this is not on our
// clock (or not meant as one) and the arrival time is used instead.
constexpr HostTime kPlausiblePast = 1s;
constexpr HostTime kPlausibleFuture = 5ms;
constexpr int kHeldRecheckMs = 5;

std::optional<CastPixelFormat> castFormat(std::uint32_t format) {
    switch (format) {
        case SPA_VIDEO_FORMAT_BGRx:
            return CastPixelFormat::bgrx;
        case SPA_VIDEO_FORMAT_BGRA:
            return CastPixelFormat::bgra;
        case SPA_VIDEO_FORMAT_RGBx:
            return CastPixelFormat::rgbx;
        case SPA_VIDEO_FORMAT_RGBA:
            return CastPixelFormat::rgba;
        default:
            return std::nullopt;
    }
}

void initPipeWire() {
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

class PipeWireScreenStream final : public ScreenStream {
  public:
    PipeWireScreenStream(std::unique_ptr<ScreenCast> cast, int fd, std::uint32_t node,
                         const ContentFilter& filter, const StreamConfiguration& configuration,
                         ScreenStreamOutput& output, const Clock& clock)
        : cast_(std::move(cast)),
          node_(node),
          filter_(filter),
          configuration_(configuration),
          output_(output),
          clock_(clock),
          interval_(minimumFrameSpacing(configuration)),
          pool_(PixelFormat::bgra, configuration.width, configuration.height) {
        initPipeWire();
        loop_ = pw_loop_new(nullptr);
        if (loop_ == nullptr) {
            ::close(fd);
            throw ScreenCaptureError("PipeWire could not be started.");
        }
        wake_ = pw_loop_add_event(
            loop_, [](void*, std::uint64_t) {}, nullptr);
        thread_ = startNamedThread("screen-capture", [this, fd] { run(fd); });
        std::unique_lock lock(mutex_);
        started_.wait_for(lock, kFirstFrameWait, [this] { return firstDelivered_ || failed_; });
        if (failed_) {
            lock.unlock();
            stopCapture();
            destroyLoop();
            std::rethrow_exception(failure_);
        }
        handedOut_ = true;  // failures from now on go to the output
    }

    ~PipeWireScreenStream() override {
        stopCapture();
        destroyLoop();
    }

    void stopCapture() override {
        std::lock_guard lock(stopMutex_);
        if (!thread_.joinable()) {
            return;
        }
        stopping_ = true;
        pw_loop_signal_event(loop_, wake_);
        thread_.join();
        cast_.reset();  // the desktop stops sharing
    }

  private:
    void destroyLoop() {
        pw_loop_destroy_source(loop_, wake_);
        pw_loop_destroy(loop_);
        loop_ = nullptr;
    }

    // ---- capture thread ---------------------------------------------------------

    void run(int fd) {
        pw_context* context = pw_context_new(loop_, nullptr, 0);
        pw_core* core =
            context != nullptr ? pw_context_connect_fd(context, fd, nullptr, 0) : nullptr;
        if (core == nullptr) {
            fail("PipeWire refused the desktop's screen stream.");
        } else {
            static const pw_core_events coreEvents = [] {
                pw_core_events events{};
                events.version = PW_VERSION_CORE_EVENTS;
                events.error = [](void* self, std::uint32_t id, int, int, const char* message) {
                    if (id == PW_ID_CORE) {
                        static_cast<PipeWireScreenStream*>(self)->lost(message);
                    }
                };
                return events;
            }();
            spa_hook coreListener{};
            pw_core_add_listener(core, &coreListener, &coreEvents, this);
            stream_ = makeStream(core);
            pw_loop_enter(loop_);
            while (!stopping_ && !failed_) {
                pw_loop_iterate(loop_, waitMs());
                deliverPendingWhenDue();
            }
            pw_loop_leave(loop_);
            if (stream_ != nullptr) {
                pw_stream_destroy(stream_);
            }
            spa_hook_remove(&coreListener);
            pw_core_disconnect(core);
        }
        if (context != nullptr) {
            pw_context_destroy(context);
        } else if (core == nullptr) {
            ::close(fd);
        }
    }

    pw_stream* makeStream(pw_core* core) {
        static const pw_stream_events streamEvents = [] {
            pw_stream_events events{};
            events.version = PW_VERSION_STREAM_EVENTS;
            events.state_changed = [](void* self, pw_stream_state, pw_stream_state state,
                                      const char* error) {
                static_cast<PipeWireScreenStream*>(self)->stateChanged(state, error);
            };
            events.param_changed = [](void* self, std::uint32_t id, const spa_pod* param) {
                static_cast<PipeWireScreenStream*>(self)->paramChanged(id, param);
            };
            events.process = [](void* self) {
                static_cast<PipeWireScreenStream*>(self)->process();
            };
            return events;
        }();
        pw_stream* stream =
            pw_stream_new(core, "Zarvex screen",
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                            "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
        if (stream == nullptr) {
            fail("PipeWire refused the desktop's screen stream.");
            return nullptr;
        }
        pw_stream_add_listener(stream, &streamListener_, &streamEvents, this);

        std::uint8_t buffer[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        const spa_rectangle sizeDefault{std::uint32_t(configuration_.width),
                                        std::uint32_t(configuration_.height)};
        const spa_rectangle sizeMin{1, 1};
        const spa_rectangle sizeMax{16384, 16384};
        const spa_fraction rateDefault{60, 1};
        const spa_fraction rateMin{0, 1};
        const spa_fraction rateMax{1000, 1};
        const spa_pod* params[] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                   SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx,
                                   SPA_VIDEO_FORMAT_RGBA),
            SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&sizeDefault, &sizeMin, &sizeMax),
            SPA_FORMAT_VIDEO_framerate,
            SPA_POD_CHOICE_RANGE_Fraction(&rateDefault, &rateMin, &rateMax)))};
        const auto flags =
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS);
        if (pw_stream_connect(stream, PW_DIRECTION_INPUT, node_, flags, params, 1) < 0) {
            fail("PipeWire refused the desktop's screen stream.");
        }
        return stream;
    }

    void paramChanged(std::uint32_t id, const spa_pod* param) {
        if (id != SPA_PARAM_Format || param == nullptr) {
            return;
        }
        spa_video_info_raw info{};
        if (spa_format_video_raw_parse(param, &info) < 0 || !castFormat(info.format)) {
            fail("The desktop's screen stream has a picture format Zarvex cannot read.");
            return;
        }
        format_ = *castFormat(info.format);
        pictureWidth_ = int(info.size.width);
        pictureHeight_ = int(info.size.height);

        std::uint8_t buffer[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        const spa_pod* params[] = {
            static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,
                SPA_PARAM_BUFFERS_dataType,
                SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd)))),
            static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
                SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size,
                SPA_POD_Int(sizeof(spa_meta_header))))};
        pw_stream_update_params(stream_, params, 2);
    }

    void stateChanged(pw_stream_state state, const char* error) {
        if (state == PW_STREAM_STATE_STREAMING) {
            streaming_ = true;
        } else if (state == PW_STREAM_STATE_ERROR) {
            lost(error);
        } else if (state == PW_STREAM_STATE_UNCONNECTED && streaming_ && !stopping_) {
            lost(nullptr);
        }
    }

    void lost(const char* detail) {
        if (!firstDelivered_) {
            fail(std::string("PipeWire refused the desktop's screen stream") +
                 (detail != nullptr ? std::string(": ") + detail : std::string()) + ".");
        } else {
            fail("The desktop stopped sharing the screen.");
        }
    }

    void fail(const std::string& message) {
        if (failed_) {
            return;
        }
        auto error = std::make_exception_ptr(ScreenCaptureError(message));
        bool reported = false;
        {
            std::lock_guard lock(mutex_);
            failed_ = true;
            failure_ = error;
            reported = handedOut_;
            started_.notify_all();
        }
        if (reported && !stopping_) {
            output_.didStopWithError(error);
        }
    }

    void process() {
        // Only the newest picture matters: older ones go straight back.
        pw_buffer* newest = nullptr;
        while (pw_buffer* next = pw_stream_dequeue_buffer(stream_)) {
            if (newest != nullptr) {
                pw_stream_queue_buffer(stream_, newest);
            }
            newest = next;
        }
        if (newest == nullptr) {
            return;
        }
        takePicture(*newest->buffer);
        pw_stream_queue_buffer(stream_, newest);
        deliverPendingWhenDue();
    }

    void takePicture(const spa_buffer& buffer) {
        const HostTime arrival = clock_.now();
        if (buffer.n_datas < 1 || buffer.datas[0].data == nullptr || pictureWidth_ <= 0) {
            return;
        }
        const spa_data& data = buffer.datas[0];
        const spa_chunk& chunk = *data.chunk;
        const auto* header = static_cast<const spa_meta_header*>(
            spa_buffer_find_meta_data(&buffer, SPA_META_Header, sizeof(spa_meta_header)));
        if ((chunk.flags & SPA_CHUNK_FLAG_CORRUPTED) != 0 ||
            (header != nullptr && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED) != 0)) {
            return;
        }
        const int stride = chunk.stride > 0 ? chunk.stride : pictureWidth_ * 4;
        if (chunk.size == 0 ||
            std::uint64_t(chunk.offset) + std::uint64_t(stride) * pictureHeight_ > data.maxsize) {
            return;  // an empty or short buffer: nothing changed that we can show
        }
        HostTime time = arrival;
        if (header != nullptr && header->pts > 0) {
            const HostTime shown{header->pts};
            if (shown <= arrival + kPlausibleFuture && shown >= arrival - kPlausiblePast) {
                time = std::min(shown, arrival);
            }
        }
        const wayland::CastPicture picture{
            static_cast<const std::uint8_t*>(data.data) + chunk.offset, stride, pictureWidth_,
            pictureHeight_, format_};
        if (placementFor_ != std::pair{pictureWidth_, pictureHeight_}) {
            placementFor_ = {pictureWidth_, pictureHeight_};
            placement_ = wayland::placeCastPicture(
                pictureWidth_, pictureHeight_, filter_.contentRect.size(),
                filter_.kind == ContentFilter::Kind::display ? configuration_.sourceRect
                                                             : std::nullopt,
                filter_.pointPixelScale, configuration_.width, configuration_.height);
        }
        if (pending_.empty()) {
            pending_ = pool_.acquire();
        }
        wayland::drawCastPicture(picture, placement_, filter_.kind == ContentFilter::Kind::display,
                                 pending_, scratch_);
        pendingTime_ = time;
    }

    // How long the loop may sleep: until a waiting picture is due (or, while
    // the consumer holds all it may, a moment), else until PipeWire or the
    // owner wakes it.
    int waitMs() const {
        if (pending_.empty()) {
            return -1;
        }
        if (held_->load() >= std::max(1, configuration_.queueDepth)) {
            return kHeldRecheckMs;
        }
        const auto due = std::chrono::ceil<std::chrono::milliseconds>(nextAllowed_ - clock_.now());
        return static_cast<int>(std::clamp<std::int64_t>(due.count(), 1, 1000));
    }

    void deliverPendingWhenDue() {
        if (pending_.empty() || stopping_ || failed_) {
            return;
        }
        const HostTime now = clock_.now();
        if (now < nextAllowed_ || held_->load() >= std::max(1, configuration_.queueDepth)) {
            return;
        }
        nextAllowed_ = now + interval_;
        VideoFrame frame = std::move(pending_);
        pending_ = VideoFrame{};
        held_->fetch_add(1);
        frame.storage = std::shared_ptr<void>(
            nullptr, [storage = std::move(frame.storage), held = held_](void*) mutable {
                storage.reset();
                held->fetch_sub(1);
            });
        output_.didOutputFrame(ScreenFrame{FrameStatus::complete, std::move(frame), pendingTime_});
        if (!firstDelivered_) {
            std::lock_guard lock(mutex_);
            firstDelivered_ = true;
            started_.notify_all();
        }
    }

    std::unique_ptr<ScreenCast> cast_;
    const std::uint32_t node_;
    const ContentFilter filter_;
    const StreamConfiguration configuration_;
    ScreenStreamOutput& output_;
    const Clock& clock_;
    const HostTime interval_;
    FramePool pool_;
    std::shared_ptr<std::atomic<int>> held_ = std::make_shared<std::atomic<int>>(0);

    pw_loop* loop_ = nullptr;
    spa_source* wake_ = nullptr;
    pw_stream* stream_ = nullptr;
    spa_hook streamListener_{};

    CastPixelFormat format_ = CastPixelFormat::bgrx;
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    std::pair<int, int> placementFor_{-1, -1};
    wayland::CastPlacement placement_;
    VideoFrame scratch_;
    VideoFrame pending_;  // the newest picture, not yet delivered
    HostTime pendingTime_{0};
    HostTime nextAllowed_{0};
    bool streaming_ = false;

    std::atomic<bool> stopping_{false};
    std::mutex stopMutex_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable started_;
    std::atomic<bool> firstDelivered_{false};
    std::atomic<bool> failed_{false};
    bool handedOut_ = false;  // guarded by mutex_
    std::exception_ptr failure_;
};

}  // namespace

std::unique_ptr<ScreenStream> startPipeWireStream(std::unique_ptr<ScreenCast> cast, int pipeWireFd,
                                                  std::uint32_t nodeID, const ContentFilter& filter,
                                                  const StreamConfiguration& configuration,
                                                  ScreenStreamOutput& output, const Clock& clock) {
    return std::make_unique<PipeWireScreenStream>(std::move(cast), pipeWireFd, nodeID, filter,
                                                  configuration, output, clock);
}

}  // namespace zarvex

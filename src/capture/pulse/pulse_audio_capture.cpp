#include "capture/pulse/pulse_audio_capture.h"

#include <pulse/pulseaudio.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "media/named_thread.h"

namespace zarvex {
namespace {

struct MainloopDeleter {
    void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextDeleter {
    void operator()(pa_context* context) const {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};
struct StreamDeleter {
    void operator()(pa_stream* stream) const {
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
};
struct OperationDeleter {
    void operator()(pa_operation* operation) const { pa_operation_unref(operation); }
};
struct ProplistDeleter {
    void operator()(pa_proplist* list) const { pa_proplist_free(list); }
};
using MainloopPtr = std::unique_ptr<pa_mainloop, MainloopDeleter>;
using ContextPtr = std::unique_ptr<pa_context, ContextDeleter>;
using StreamPtr = std::unique_ptr<pa_stream, StreamDeleter>;
using OperationPtr = std::unique_ptr<pa_operation, OperationDeleter>;
using ProplistPtr = std::unique_ptr<pa_proplist, ProplistDeleter>;

// Chunks of about this length keep the latency low without waking up often.
constexpr pa_usec_t kFragmentUsec = 10'000;
constexpr std::size_t kBytesPerFrame = sizeof(float) * kCaptureChannelCount;

class PulseAudioCapture final : public AudioCapture {
  public:
    PulseAudioCapture(AudioSource source, std::chrono::milliseconds retryInterval)
        : source_(source), retryInterval_(retryInterval) {}
    ~PulseAudioCapture() override { stop(); }

    AudioSource source() const override { return source_; }
    bool isRunning() const override { return thread_.joinable(); }

    void start(ChunkHandler handler) override {
        if (thread_.joinable()) {
            throw std::logic_error("audio capture is already running");
        }
        {
            std::lock_guard lock(mutex_);
            stopRequested_ = false;
            delivered_ = false;
            firstAttemptFailed_ = false;
        }
        handler_ = std::move(handler);
        timeline_ = AudioTimeline();
        deliveredOnThisThread_ = false;
        thread_ = startNamedThread(std::string(audioThreadName(source_)), [this] { run(); });
    }

    bool waitUntilDelivering(std::chrono::milliseconds timeout) override {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, timeout,
                       [this] { return delivered_ || firstAttemptFailed_ || stopRequested_; });
        return delivered_;
    }

    void stop() override {
        if (!thread_.joinable()) {
            return;
        }
        {
            std::lock_guard lock(mutex_);
            stopRequested_ = true;
            if (loop_ != nullptr) {
                pa_mainloop_wakeup(loop_);
            }
        }
        wake_.notify_all();
        thread_.join();
        handler_ = nullptr;
    }

  private:
    bool stopRequested() {
        std::lock_guard lock(mutex_);
        return stopRequested_;
    }

    void run() {
        while (!stopRequested()) {
            runSession();
            std::unique_lock lock(mutex_);
            if (!delivered_) {
                // No server, no device, or the stream ended before its first
                // chunk: nothing to wait for now.
                firstAttemptFailed_ = true;
                wake_.notify_all();
            }
            wake_.wait_for(lock, retryInterval_, [this] { return stopRequested_; });
        }
    }

    // One connection to the server, from connecting until it fails or stop()
    // is requested.
    void runSession() {
        MainloopPtr loop(pa_mainloop_new());
        if (!loop) {
            return;
        }
        {
            std::lock_guard lock(mutex_);
            if (stopRequested_) {
                return;
            }
            loop_ = loop.get();
        }
        struct Unpublish {
            PulseAudioCapture* self;
            ~Unpublish() {
                std::lock_guard lock(self->mutex_);
                self->loop_ = nullptr;
            }
        } unpublish{this};

        ProplistPtr props(pa_proplist_new());
        pa_proplist_sets(props.get(), PA_PROP_APPLICATION_NAME, "Zarvex");
        pa_proplist_sets(props.get(), PA_PROP_MEDIA_ROLE, "production");
        ContextPtr context(
            pa_context_new_with_proplist(pa_mainloop_get_api(loop.get()), "Zarvex", props.get()));
        if (!context ||
            pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return;
        }
        const bool ready = iterateUntil(loop.get(), [&] {
            const auto state = pa_context_get_state(context.get());
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        if (!ready || pa_context_get_state(context.get()) != PA_CONTEXT_READY) {
            return;
        }
        const auto device = findDevice(loop.get(), context.get());
        if (!device) {
            return;
        }
        StreamPtr stream = connectStream(loop.get(), context.get(), *device);
        // A new stream starts a new timeline: whatever came before it is
        // over, and its own first chunks set the time.
        timeline_ = AudioTimeline();
        if (!stream) {
            return;
        }
        iterateUntil(loop.get(), [&] {
            return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context.get())) ||
                   !PA_STREAM_IS_GOOD(pa_stream_get_state(stream.get())) || readFailed_;
        });
    }

    // Runs the loop until `done` holds (true) or stop() is requested or the
    // loop fails (false).
    template <typename Done>
    bool iterateUntil(pa_mainloop* loop, Done done) {
        while (!done()) {
            if (stopRequested() || pa_mainloop_iterate(loop, 1, nullptr) < 0) {
                return false;
            }
        }
        return true;
    }

    bool await(pa_mainloop* loop, pa_operation* raw) {
        OperationPtr operation(raw);
        return operation && iterateUntil(loop, [&] {
                   return pa_operation_get_state(operation.get()) != PA_OPERATION_RUNNING;
               });
    }

    // The name of the source to record, or nothing when there is none now.
    std::optional<std::string> findDevice(pa_mainloop* loop, pa_context* context) {
        struct Lookup {
            std::string defaultSink;
            std::string defaultSource;
            std::optional<std::string> result;
        } lookup;
        auto onServer = [](pa_context*, const pa_server_info* info, void* data) {
            auto* found = static_cast<Lookup*>(data);
            if (info != nullptr) {
                found->defaultSink = info->default_sink_name ? info->default_sink_name : "";
                found->defaultSource = info->default_source_name ? info->default_source_name : "";
            }
        };
        if (!await(loop, pa_context_get_server_info(context, onServer, &lookup))) {
            return std::nullopt;
        }
        if (source_ == AudioSource::systemAudio) {
            if (lookup.defaultSink.empty()) {
                return std::nullopt;
            }
            auto onSink = [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                if (eol == 0 && info != nullptr && info->monitor_source_name != nullptr) {
                    static_cast<Lookup*>(data)->result = info->monitor_source_name;
                }
            };
            await(loop, pa_context_get_sink_info_by_name(context, lookup.defaultSink.c_str(),
                                                         onSink, &lookup));
            return lookup.result;
        }
        if (lookup.defaultSource.empty()) {
            return std::nullopt;
        }
        auto onSource = [](pa_context*, const pa_source_info* info, int eol, void* data) {
            if (eol == 0 && info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) {
                static_cast<Lookup*>(data)->result = info->name;
            }
        };
        await(loop, pa_context_get_source_info_by_name(context, lookup.defaultSource.c_str(),
                                                       onSource, &lookup));
        return lookup.result;
    }

    StreamPtr connectStream(pa_mainloop* loop, pa_context* context, const std::string& device) {
        pa_sample_spec format{};
        format.format = PA_SAMPLE_FLOAT32NE;
        format.rate = kCaptureSampleRate;
        format.channels = kCaptureChannelCount;
        pa_channel_map map;
        pa_channel_map_init_stereo(&map);
        const char* name = source_ == AudioSource::microphone ? "Microphone" : "System audio";
        StreamPtr stream(pa_stream_new(context, name, &format, &map));
        if (!stream) {
            return nullptr;
        }
        pa_stream_set_read_callback(stream.get(), &PulseAudioCapture::onReadable, this);

        pa_buffer_attr attr;
        std::memset(&attr, 0xff, sizeof attr);  // (uint32_t)-1: the server's choice
        attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &format));
        // Timing updates keep the source latency current. DONT_MOVE: when
        // the device goes away the stream ends and the next session applies
        // the rules above again, instead of the server moving the microphone
        // stream onto, say, a monitor.
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_DONT_MOVE);
        readFailed_ = false;
        timingPending_ = false;
        if (pa_stream_connect_record(stream.get(), device.c_str(), &attr, flags) < 0) {
            return nullptr;
        }
        const bool ready = iterateUntil(loop, [&] {
            return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream.get())) ||
                   pa_stream_get_state(stream.get()) == PA_STREAM_READY;
        });
        if (!ready || pa_stream_get_state(stream.get()) != PA_STREAM_READY) {
            return nullptr;
        }
        return stream;
    }

    // New data first asks the server for its timing as of now, and is read
    // when the answer comes: chunk times are only as good as the latency
    // they are computed from, and the automatic updates can be a second old.
    static void onReadable(pa_stream* stream, std::size_t, void* self) {
        auto* capture = static_cast<PulseAudioCapture*>(self);
        if (capture->timingPending_) {
            return;  // the answer on its way reads this data too
        }
        if (pa_operation* update =
                pa_stream_update_timing_info(stream, &PulseAudioCapture::onTiming, self)) {
            capture->timingPending_ = true;
            pa_operation_unref(update);
            return;
        }
        capture->readAll(stream);
    }

    static void onTiming(pa_stream* stream, int, void* self) {
        auto* capture = static_cast<PulseAudioCapture*>(self);
        capture->timingPending_ = false;
        capture->readAll(stream);
    }

    void readAll(pa_stream* stream) {
        while (pa_stream_readable_size(stream) > 0) {
            // How long before the server's answer the first sample not read
            // yet was recorded: the source's latency plus everything buffered
            // after it on the server and here, less the owning sink's latency
            // for a monitor, whose samples arrive before they are played (so
            // it can be negative). The answer's own age counts too: this
            // thread may run a while after it came. Without timing (a server
            // that sends none) the data counts as just recorded.
            pa_usec_t latency = 0;
            int negative = 0;
            const bool known = pa_stream_get_latency(stream, &latency, &negative) == 0;
            const pa_timing_info* timing = pa_stream_get_timing_info(stream);
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0) {
                readFailed_ = true;
                return;
            }
            if (bytes == 0) {
                return;
            }
            if (data != nullptr) {
                const HostTime now = systemClock().now();
                if (known && timing != nullptr) {
                    const HostTime answered = now - timingAge(*timing);
                    const HostTime sinceRecorded(std::int64_t(latency) * 1000);
                    deliver(data, bytes,
                            negative ? answered + sinceRecorded : answered - sinceRecorded);
                } else {
                    deliver(data, bytes, now - audioFramesDuration(bytes / kBytesPerFrame));
                }
            } else {
                // A hole: that much audio was lost, the next chunk follows it.
                timeline_.skip(bytes / kBytesPerFrame);
            }
            pa_stream_drop(stream);
        }
    }

    // How long ago the server gave this timing (its time stamp is on the
    // wall clock, which runs at the host clock's pace).
    static HostTime timingAge(const pa_timing_info& timing) {
        timeval now{};
        pa_gettimeofday(&now);
        if (pa_timeval_cmp(&now, &timing.timestamp) <= 0) {
            return HostTime(0);
        }
        return HostTime(std::int64_t(pa_timeval_diff(&now, &timing.timestamp)) * 1000);
    }

    void deliver(const void* data, std::size_t bytes, HostTime measured) noexcept {
        const std::size_t frames = bytes / kBytesPerFrame;
        if (frames == 0) {
            return;
        }
        // Copied so the handler gets aligned floats whatever the server's
        // memory blocks look like.
        buffer_.resize(frames * kCaptureChannelCount);
        std::memcpy(buffer_.data(), data, buffer_.size() * sizeof(float));
        if (!deliveredOnThisThread_) {
            deliveredOnThisThread_ = true;
            std::lock_guard lock(mutex_);
            delivered_ = true;
            wake_.notify_all();
        }
        const auto placement = timeline_.place(measured, frames);
        if (placement.skipFrames >= frames) {
            return;
        }
        CapturedAudioChunk chunk;
        chunk.time = placement.time;
        chunk.samples =
            std::span<const float>(buffer_).subspan(placement.skipFrames * kCaptureChannelCount);
        chunk.discontinuity = placement.discontinuity;
        handler_(chunk);
    }

    const AudioSource source_;
    const std::chrono::milliseconds retryInterval_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;       // guarded by mutex_
    bool delivered_ = false;           // guarded by mutex_: a chunk reached the handler
    bool firstAttemptFailed_ = false;  // guarded by mutex_
    pa_mainloop* loop_ = nullptr;      // guarded by mutex_; the running session's loop

    std::thread thread_;
    // Owned by the capture thread while it runs.
    ChunkHandler handler_;
    AudioTimeline timeline_;
    bool readFailed_ = false;
    bool deliveredOnThisThread_ = false;
    bool timingPending_ = false;
    std::vector<float> buffer_;
};

}  // namespace

std::unique_ptr<AudioCapture> makePulseAudioCapture(AudioSource source,
                                                    std::chrono::milliseconds retryInterval) {
    return std::make_unique<PulseAudioCapture>(source, retryInterval);
}

}  // namespace zarvex

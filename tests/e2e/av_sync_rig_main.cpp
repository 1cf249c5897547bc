// zarvex_av_sync_rig: makes beeps and screen flashes that happen at the same
// instant, as a video player keeping picture and sound together would, for
// the synchronisation tests.
//
// Usage: zarvex_av_sync_rig --sink NAME --size WxH --beeps N --interval SECONDS
//        [--latency MS]
//
// Shows a black window at the top-left corner of the X display ($DISPLAY) and
// plays silence into the PulseAudio sink (PULSE_SERVER) with the given target
// latency (--latency MS, 20 when absent). Prints "ready" once both run. Then,
// every interval, it writes a 60 ms 1 kHz beep into the stream and turns the
// window white at the moment the beep is heard: when its first 5 ms are
// written, plus the latency PulseAudio then reports for their last sample (the
// sink's own latency included), less those 5 ms.
// The window turns black again 150 ms later. For each beep it prints
// "beep <monotonic ns> <late ns>": that moment, and how long after it the
// server had the window white (a rig starved of the processor shows it late);
// it exits after the last.

#include <pulse/error.h>
#include <pulse/simple.h>
#include <time.h>
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kChunkFrames = kRate / 200;  // 5 ms
constexpr int kBeepFrames = kRate * 60 / 1000;
constexpr double kBeepHz = 1000;

std::int64_t monotonicNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void sleepUntil(std::int64_t nanoseconds) {
    const timespec until{static_cast<time_t>(nanoseconds / 1'000'000'000),
                         static_cast<long>(nanoseconds % 1'000'000'000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
    }
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "zarvex_av_sync_rig: %s\n", what.c_str());
    std::exit(1);
}

// The window the flashes are shown in.
class Flasher {
  public:
    Flasher(int width, int height) {
        connection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection_)) {
            fail("cannot open the X display");
        }
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        white_ = screen->white_pixel;
        black_ = screen->black_pixel;
        window_ = xcb_generate_id(connection_);
        const std::uint32_t values[] = {black_, 1};
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0,
                          std::uint16_t(width), std::uint16_t(height), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(connection_, window_);
        sync();
    }
    ~Flasher() { xcb_disconnect(connection_); }

    void show(bool white) {
        const std::uint32_t pixel = white ? white_ : black_;
        xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXEL, &pixel);
        xcb_clear_area(connection_, 0, window_, 0, 0, 0, 0);
        sync();
    }

  private:
    // Returns once the server has carried out everything sent before.
    void sync() {
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t window_ = 0;
    std::uint32_t white_ = 0;
    std::uint32_t black_ = 0;
};

// Silence into the sink without a break, and a beep when asked; tells when
// the beep will be heard.
class Beeper {
  public:
    Beeper(const std::string& sink, int latencyMs) {
        pa_sample_spec format{PA_SAMPLE_FLOAT32LE, kRate, 2};
        pa_buffer_attr buffer;
        std::memset(&buffer, 0xff, sizeof buffer);
        buffer.tlength = std::uint32_t(pa_usec_to_bytes(pa_usec_t(latencyMs) * 1000, &format));
        buffer.minreq = std::uint32_t(pa_usec_to_bytes(5'000, &format));
        int error = 0;
        stream_ = pa_simple_new(nullptr, "zarvex_av_sync_rig", PA_STREAM_PLAYBACK, sink.c_str(),
                                "beeps", &format, nullptr, &buffer, &error);
        if (stream_ == nullptr) {
            fail(std::string("cannot play into the sink: ") + pa_strerror(error));
        }
        beep_.resize(std::size_t(kBeepFrames) * 2);
        for (int i = 0; i < kBeepFrames; ++i) {
            const auto value =
                static_cast<float>(0.8 * std::sin(2 * std::numbers::pi * kBeepHz * i / kRate));
            beep_[std::size_t(i) * 2] = beep_[std::size_t(i) * 2 + 1] = value;
        }
        thread_ = std::thread([this] { run(); });
    }

    ~Beeper() {
        stopping_ = true;
        thread_.join();
        pa_simple_drain(stream_, nullptr);
        pa_simple_free(stream_);
    }

    // Writes a beep next and returns the monotonic time it will be heard.
    std::int64_t beep() {
        std::unique_lock lock(mutex_);
        beepWanted_ = true;
        done_.wait(lock, [this] { return !beepWanted_; });
        return heardAt_;
    }

  private:
    void run() {
        const std::vector<float> silence(std::size_t(kChunkFrames) * 2, 0.0f);
        while (!stopping_) {
            bool beeping = false;
            {
                std::lock_guard lock(mutex_);
                beeping = beepWanted_;
            }
            if (beeping) {
                // The beep goes out in pieces like the silence. Once its first
                // piece is written, the latency PulseAudio reports is the time
                // until that piece's end is heard; read after writing, it also
                // covers a stall of this thread in between.
                write(beep_.data(), kChunkFrames);
                int error = 0;
                const pa_usec_t latency = pa_simple_get_latency(stream_, &error);
                {
                    std::lock_guard lock(mutex_);
                    heardAt_ = monotonicNanoseconds() + std::int64_t(latency) * 1000 -
                               std::int64_t(kChunkFrames) * 1'000'000'000 / kRate;
                    beepWanted_ = false;
                    done_.notify_all();
                }
                for (int frame = kChunkFrames; frame < kBeepFrames; frame += kChunkFrames) {
                    write(beep_.data() + std::size_t(frame) * 2, kChunkFrames);
                }
            } else {
                write(silence.data(), kChunkFrames);
            }
        }
    }

    void write(const float* samples, int frames) {
        int error = 0;
        if (pa_simple_write(stream_, samples, std::size_t(frames) * 2 * sizeof(float), &error) <
            0) {
            fail(std::string("cannot write: ") + pa_strerror(error));
        }
    }

    pa_simple* stream_ = nullptr;
    std::vector<float> beep_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable done_;
    bool beepWanted_ = false;
    std::int64_t heardAt_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    // The options, with their defaults.
    std::map<std::string, std::string> options{
        {"--size", "640x360"}, {"--beeps", "3"}, {"--interval", "1"}, {"--latency", "20"}};
    for (int i = 1; i + 1 < argc; i += 2) {
        options[argv[i]] = argv[i + 1];
    }
    int width = 0, height = 0;
    std::sscanf(options["--size"].c_str(), "%dx%d", &width, &height);
    Flasher flasher(width, height);
    Beeper beeper(options["--sink"], std::stoi(options["--latency"]));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the stream settles
    std::printf("ready\n");
    std::fflush(stdout);

    const auto interval = std::int64_t(std::stod(options["--interval"]) * 1e9);
    std::int64_t next = monotonicNanoseconds() + interval;
    for (int i = 0; i < std::stoi(options["--beeps"]); ++i) {
        sleepUntil(next);
        const std::int64_t heard = beeper.beep();
        sleepUntil(heard);
        flasher.show(true);
        const std::int64_t late = monotonicNanoseconds() - heard;
        std::printf("beep %lld %lld\n", static_cast<long long>(heard),
                    static_cast<long long>(late));
        std::fflush(stdout);
        sleepUntil(heard + 150'000'000);
        flasher.show(false);
        next += interval;
    }
    return 0;
}

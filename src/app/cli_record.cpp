// zarvex record: records a display, a window or a region into a new
// recording folder until the time is up or the user interrupts, then prints
// the folder.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <optional>
#include <ostream>
#include <string_view>
#include <system_error>
#include <thread>

#include "app/cli.h"
#include "app/session_capture.h"
#include "capture/camera_manager.h"
#include "capture/elapsed_text.h"
#include "capture/errors.h"
#include "capture/linux/linux_permissions.h"
#include "capture/pulse/pulse_audio_capture.h"
#include "capture/recording_session.h"
#include "capture/v4l2/v4l2_camera.h"
#include "capture/wayland/screencast_portal.h"
#include "model/settings_store.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;

constexpr auto kFailureCheck = 100ms;

constexpr std::string_view kUsage =
    "Usage: zarvex record [--display ID | --window ID | --region ID:X,Y,W,H] [--seconds N] "
    "[--no-mic] [--no-system-audio] [--camera] [--no-cursor]";

struct RecordRequest {
    std::optional<CaptureTarget> target;  // nothing: the primary display
    std::optional<double> seconds;        // nothing: until interrupted
    bool microphone = true;
    bool systemAudio = true;
    bool camera = false;
    bool cursor = true;
};

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

template <typename Number>
Number parseNumber(std::string_view text, std::string_view what) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw UsageError("\"" + std::string(text) + "\" is not a valid " + std::string(what) + ".");
    }
    return value;
}

// "ID:X,Y,W,H": a rectangle in points from the display's top-left corner.
RegionTarget parseRegion(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        throw UsageError("A region is written ID:X,Y,W,H.");
    }
    RegionTarget region{parseNumber<DisplayID>(text.substr(0, colon), "display id"), {}};
    double values[4];
    std::string_view rest = text.substr(colon + 1);
    for (int i = 0; i < 4; ++i) {
        const auto comma = i < 3 ? rest.find(',') : rest.size();
        if (comma == std::string_view::npos) {
            throw UsageError("A region is written ID:X,Y,W,H.");
        }
        values[i] = parseNumber<double>(rest.substr(0, comma), "region number");
        rest = rest.substr(std::min(rest.size(), comma + 1));
    }
    if (!(values[2] > 0 && values[3] > 0)) {
        throw UsageError("A region needs a width and a height above 0.");
    }
    region.rect = Rect{values[0], values[1], values[2], values[3]};
    return region;
}

RecordRequest parseArguments(const std::vector<std::string>& args) {
    RecordRequest request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) {
                throw UsageError(option + " needs a value.");
            }
            return args[++i];
        };
        auto setTarget = [&](CaptureTarget target) {
            if (request.target) {
                throw UsageError("Give one of --display, --window and --region.");
            }
            request.target = target;
        };
        if (option == "--display") {
            setTarget(DisplayTarget{parseNumber<DisplayID>(value(), "display id")});
        } else if (option == "--window") {
            setTarget(WindowTarget{parseNumber<WindowID>(value(), "window id")});
        } else if (option == "--region") {
            setTarget(parseRegion(value()));
        } else if (option == "--seconds") {
            const double seconds = parseNumber<double>(value(), "number of seconds");
            if (!(seconds > 0 && seconds < 1e9)) {
                throw UsageError("--seconds needs a number above 0.");
            }
            request.seconds = seconds;
        } else if (option == "--no-mic") {
            request.microphone = false;
        } else if (option == "--no-system-audio") {
            request.systemAudio = false;
        } else if (option == "--camera") {
            request.camera = true;
        } else if (option == "--no-cursor") {
            request.cursor = false;
        } else {
            throw UsageError("Unknown option \"" + option + "\".");
        }
    }
    return request;
}

CaptureTarget primaryDisplay(ShareableContentSource& content) {
    const ShareableContent now = content.content();
    for (const auto& display : now.displays) {
        if (display.primary) {
            return DisplayTarget{display.id};
        }
    }
    if (now.displays.empty()) {
        throw RecorderError::noDisplay();
    }
    return DisplayTarget{now.displays.front().id};
}

// Keeps SIGINT, SIGTERM and SIGHUP (a closed terminal) from killing the
// process while it records: they are blocked here, before any capture thread
// starts (threads inherit the mask), and taken with wait(). Signals that
// arrive while the movie is being finished are swallowed when the block ends,
// so finishing always completes.
class InterruptSignals {
  public:
    InterruptSignals() {
        ::sigemptyset(&set_);
        ::sigaddset(&set_, SIGINT);
        ::sigaddset(&set_, SIGTERM);
        ::sigaddset(&set_, SIGHUP);
        ::pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    }
    ~InterruptSignals() {
        const timespec now{0, 0};
        while (::sigtimedwait(&set_, nullptr, &now) > 0) {
        }
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    InterruptSignals(const InterruptSignals&) = delete;
    InterruptSignals& operator=(const InterruptSignals&) = delete;

    // True when an interrupt arrived within `timeout`.
    bool wait(std::chrono::nanoseconds timeout) const {
        const auto seconds = std::chrono::floor<std::chrono::seconds>(timeout);
        const timespec limit{static_cast<time_t>(seconds.count()),
                             static_cast<long>((timeout - seconds).count())};
        return ::sigtimedwait(&set_, nullptr, &limit) > 0;
    }

  private:
    sigset_t set_{};
    sigset_t previous_{};
};

// Until the recording has begun, an interrupt ends the waits for the desktop
// (its dialog may be open) at once; one that comes as the start completes
// stops the recording straight away.
class StartInterrupts {
  public:
    explicit StartInterrupts(const InterruptSignals& interrupts)
        : thread_([this, &interrupts] {
              while (watching_) {
                  if (interrupts.wait(kFailureCheck)) {
                      interrupted_ = true;
                      ScreenCastPortal::interruptWaits();
                      return;
                  }
              }
          }) {}
    ~StartInterrupts() { stop(); }
    StartInterrupts(const StartInterrupts&) = delete;
    StartInterrupts& operator=(const StartInterrupts&) = delete;

    void stop() {
        watching_ = false;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool interrupted() const { return interrupted_; }

  private:
    std::atomic<bool> watching_ = true;
    std::atomic<bool> interrupted_ = false;
    std::thread thread_;
};

// Waits until the time is up, an interrupt arrives or capture cannot go on
// (checked every kFailureCheck, so a full disk ends the recording at once).
// On a terminal the elapsed time is shown on stderr meanwhile.
void waitForTheEnd(const RecordRequest& request, const RecordingSession& session,
                   const InterruptSignals& interrupts, std::ostream& err) {
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    // The recording began at T0 (the host clock is the steady clock), so a
    // movie asked to last N seconds lasts N seconds.
    const auto begin = std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(session.sessionStart()));
    const auto deadline =
        request.seconds ? begin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(*request.seconds))
                        : std::chrono::steady_clock::time_point::max();
    if (terminal) {
        err << "Recording into " << session.bundleURL().string() << " (Ctrl-C stops)\n";
    }
    while (!session.captureFailed()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            break;
        }
        if (terminal) {
            err << "\r" << elapsedText(now - begin) << std::flush;
        }
        const auto nextTick = begin + std::chrono::ceil<std::chrono::seconds>(now - begin + 1ms);
        if (interrupts.wait(std::min({nextTick, deadline, now + kFailureCheck}) - now)) {
            break;
        }
    }
    if (terminal) {
        err << "\rFinishing…\n";
    }
}

}  // namespace

int runRecord(const std::vector<std::string>& args, CommandLineIO io) {
    RecordRequest request;
    try {
        request = parseArguments(args);
    } catch (const UsageError& error) {
        io.err << "zarvex record: " << error.what() << "\n" << kUsage << "\n";
        return kExitUsage;
    }

    const InterruptSignals interrupts;
    try {
        StartInterrupts startInterrupts(interrupts);
        LinuxPermissionAuthority permissions;
        ensureScreenAndMicrophone(permissions);

        SessionCapture capture = makeSessionCapture(&userPreferences());
        CaptureTarget target = request.target ? *request.target : primaryDisplay(*capture.content);
        if (capture.pickedWindows && std::holds_alternative<WindowTarget>(target)) {
            // Wayland lists no windows: the desktop's dialog picks the one to record.
            target = WindowTarget{pickWindow(capture, userPreferences(), request.cursor)};
        }
        const SelectionResult selection{target, request.microphone, request.systemAudio,
                                        request.camera, request.cursor};
        CaptureServices services{capture.content.get(),
                                 capture.screenCapture.get(),
                                 capture.inputMonitor.get(),
                                 [](AudioSource source) { return makePulseAudioCapture(source); },
                                 &systemClock(),
                                 static_cast<std::uint32_t>(::getpid())};
        CameraManager camera([] { return makeV4l2Camera(); }, permissions);
        if (request.camera) {
            camera.startPreview();
        }

        RecordingSession session(services, camera, selection, userPreferences());
        try {
            session.start();
        } catch (...) {
            session.abort();
            // Nothing of a recording that never started is kept: its folder
            // goes when it is empty (a folder with files in it stays).
            if (session.createdFolder()) {
                std::error_code ignored;
                std::filesystem::remove(session.bundleURL(), ignored);
            }
            throw;
        }
        startInterrupts.stop();
        if (!startInterrupts.interrupted()) {
            waitForTheEnd(request, session, interrupts, io.err);
        }
        io.out << session.stop().string() << "\n";
        return kExitOk;
    } catch (const std::exception& error) {
        io.err << "zarvex: " << error.what() << "\n";
        return kExitFailure;
    }
}

}  // namespace zarvex

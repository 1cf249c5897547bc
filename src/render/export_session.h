#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "media/movie_writer.h"
#include "model/enum_table.h"
#include "render/composition.h"
#include "render/video_composition.h"

namespace zarvex {

// Codec and resolution of an export.
struct ExportOptions {
    enum class Codec { h264, hevc };
    enum class Resolution { native, p1080, p720 };

    Codec codec = Codec::h264;
    Resolution resolution = Resolution::native;

    bool operator==(const ExportOptions&) const = default;
};

template <>
struct EnumTable<ExportOptions::Codec> {
    static constexpr std::array<EnumCase<ExportOptions::Codec>, 2> cases{{
        {ExportOptions::Codec::h264, "H.264"},
        {ExportOptions::Codec::hevc, "HEVC"},
    }};
};

template <>
struct EnumTable<ExportOptions::Resolution> {
    static constexpr std::array<EnumCase<ExportOptions::Resolution>, 3> cases{{
        {ExportOptions::Resolution::native, "Native"},
        {ExportOptions::Resolution::p1080, "1080p"},
        {ExportOptions::Resolution::p720, "720p"},
    }};
};

// The factor a canvas is drawn at for a resolution: 1 for native, else the
// target height over the canvas height, never above 1 (no enlargement).
double exportScale(ExportOptions::Resolution resolution, Size canvas);

// What an export writes: H.264 at CRF 18 or HEVC at CRF 20, both x26x preset
// medium, with one stereo AAC track mixing the composition's audio.
enum class ExportPreset { highestQuality, hevcHighestQuality };

ExportPreset exportPresetFor(ExportOptions::Codec codec);

// Why an export did not complete. `code` is FFmpeg's negative error number, a
// negative errno, kExportCancelledCode, or 0 for our own checks.
struct ExportError {
    int code = 0;
    std::string description;
};

// The outcome of a cancelled export: no message is shown for it.
inline constexpr int kExportCancelledCode = -11878;

// Exports a composition through a video composition to one movie file.
// Set it up, then exportAsynchronously; the export runs on its own threads in
// three stages working at once: decoding the source pictures, composing styled
// frames (and mixing the audio), and encoding (the encoder's own threads).
//
// The movie is written to a temporary file beside the output and renamed over
// the output only once it is complete: a failed or cancelled export removes the
// temporary file and leaves any earlier file at the output untouched.
//
// Setters are for before the start. status(), error(), progress() and
// cancelExport() may be called from any thread at any time.
class ExportSession {
  public:
    enum class Status { unknown, exporting, completed, failed, cancelled };

    // Nothing when the composition cannot be exported with the preset (it has
    // no video track).
    static std::shared_ptr<ExportSession> create(std::shared_ptr<const Composition> asset,
                                                 ExportPreset preset);

    // Cancels a running export and waits for its threads.
    ~ExportSession();
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    void setOutputURL(std::filesystem::path url) { outputURL_ = std::move(url); }
    void setOutputFileType(MovieFileType type) { outputFileType_ = type; }
    void setVideoComposition(std::shared_ptr<const VideoComposition> videoComposition) {
        videoComposition_ = std::move(videoComposition);
    }
    // The part of the composition to export; the whole of it when never set.
    void setTimeRange(TimeRange range) { timeRange_ = range; }

    const std::filesystem::path& outputURL() const { return outputURL_; }
    const std::optional<TimeRange>& timeRange() const { return timeRange_; }
    ExportPreset presetName() const { return preset_; }

    // Starts the export; `completion` is called once when it has ended, on one
    // of the export's threads. Only the first call starts anything.
    void exportAsynchronously(std::function<void()> completion);
    // Stops the export: it ends as cancelled with kExportCancelledCode.
    void cancelExport();
    // Blocks until the export has ended (returns at once when never started).
    void waitUntilFinished();

    Status status() const { return status_.load(); }
    std::optional<ExportError> error() const;
    // 0…1: the share of frames handed to the encoder, 1 once completed.
    float progress() const { return progress_.load(); }

  private:
    ExportSession(std::shared_ptr<const Composition> asset, ExportPreset preset);
    void run();
    void finish(Status status, std::optional<ExportError> error);

    std::shared_ptr<const Composition> asset_;
    ExportPreset preset_;
    std::filesystem::path outputURL_;
    MovieFileType outputFileType_ = MovieFileType::mpeg4;
    std::shared_ptr<const VideoComposition> videoComposition_;
    std::optional<TimeRange> timeRange_;

    std::atomic<Status> status_{Status::unknown};
    std::atomic<float> progress_{0};
    std::atomic<bool> cancelled_{false};
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    bool started_ = false;
    bool finished_ = false;
    std::optional<ExportError> error_;
    std::function<void()> completion_;
    std::thread runner_;
};

}  // namespace zarvex

template <>
struct std::hash<zarvex::ExportOptions> {
    std::size_t operator()(const zarvex::ExportOptions& options) const noexcept {
        return std::size_t(options.codec) * 3 + std::size_t(options.resolution);
    }
};

#include "render/export_session.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <deque>
#include <random>
#include <system_error>

#include "media/audio_decoder.h"
#include "media/heap_tuning.h"
#include "render/frame_composer.h"
#include "render/frame_source.h"

namespace zarvex {
namespace {

// Source sets decoded ahead of the compositor: enough to keep it busy while
// the decoder stalls on a keyframe, few enough to bound memory at 4K.
constexpr std::size_t kDecodedAhead = 3;

// Progress before the encoder has drained: frames handed over, not finished.
constexpr float kProgressBeforeFinishing = 0.99f;

// A small blocking queue between two threads; close() ends it from either side.
template <typename T>
class HandOver {
  public:
    explicit HandOver(std::size_t capacity) : capacity_(capacity) {}

    // False when closed.
    bool push(T item) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
        if (closed_) {
            return false;
        }
        items_.push_back(std::move(item));
        changed_.notify_all();
        return true;
    }

    // Nothing once closed and drained.
    std::optional<T> pop() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || !items_.empty(); });
        if (items_.empty()) {
            return std::nullopt;
        }
        T item = std::move(items_.front());
        items_.pop_front();
        changed_.notify_all();
        return item;
    }

    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> items_;
    std::size_t capacity_;
    bool closed_ = false;
};

// What the decoding stage hands the compositing stage: the pictures of one
// output frame, or the failure that stopped decoding.
struct Decoded {
    SourceFrameSet set;
    std::exception_ptr failure;
};

class Cancelled : public std::exception {};

// The longest file name the usual Linux file systems take, in bytes.
constexpr std::size_t kMaxFileNameBytes = 255;

// "." + the output's name + "." + eight random letters + ".part", with the
// output's name shortened (at a character boundary) where the whole would be
// longer than a file name may be.
std::filesystem::path temporaryPathBeside(const std::filesystem::path& output) {
    static constexpr char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static constexpr std::size_t kAddedBytes = 1 + 1 + 8 + 5;
    std::string base = output.filename().string();
    if (base.size() + kAddedBytes > kMaxFileNameBytes) {
        std::size_t keep = kMaxFileNameBytes - kAddedBytes;
        while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) {
            --keep;  // not inside a UTF-8 sequence
        }
        base.resize(keep);
    }
    std::random_device device;
    std::uniform_int_distribution<int> pick(0, sizeof kAlphabet - 2);
    while (true) {
        std::string name(1, '.');
        name.append(base).append(1, '.');
        for (int i = 0; i < 8; ++i) {
            name += kAlphabet[pick(device)];
        }
        std::filesystem::path path = output.parent_path() / (name + ".part");
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
            return path;
        }
    }
}

// Failures name the file being written; the user knows it by the output's name.
std::string describeFailure(const MediaError& failure, const std::filesystem::path& temporary,
                            const std::filesystem::path& output) {
    std::string text = failure.what();
    const std::string hidden = temporary.filename().string();
    const std::string shown = output.filename().string();
    for (std::size_t at = text.find(hidden); at != std::string::npos;
         at = text.find(hidden, at + shown.size())) {
        text.replace(at, hidden.size(), shown);
    }
    return text;
}

void removeQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

double exportScale(ExportOptions::Resolution resolution, Size canvas) {
    double target = 0;
    switch (resolution) {
        case ExportOptions::Resolution::native:
            return 1.0;
        case ExportOptions::Resolution::p1080:
            target = 1080;
            break;
        case ExportOptions::Resolution::p720:
            target = 720;
            break;
    }
    return std::min(target / canvas.height, 1.0);
}

ExportPreset exportPresetFor(ExportOptions::Codec codec) {
    return codec == ExportOptions::Codec::hevc ? ExportPreset::hevcHighestQuality
                                               : ExportPreset::highestQuality;
}

std::shared_ptr<ExportSession> ExportSession::create(std::shared_ptr<const Composition> asset,
                                                     ExportPreset preset) {
    if (!asset || asset->tracksOf(TrackKind::video).empty()) {
        return nullptr;
    }
    return std::shared_ptr<ExportSession>(new ExportSession(std::move(asset), preset));
}

ExportSession::ExportSession(std::shared_ptr<const Composition> asset, ExportPreset preset)
    : asset_(std::move(asset)), preset_(preset) {}

ExportSession::~ExportSession() {
    cancelExport();
    if (runner_.joinable()) {
        // The last owner may let go inside the completion, on the runner itself.
        if (runner_.get_id() == std::this_thread::get_id()) {
            runner_.detach();
        } else {
            runner_.join();
        }
    }
}

void ExportSession::exportAsynchronously(std::function<void()> completion) {
    std::lock_guard lock(mutex_);
    if (started_) {
        return;
    }
    started_ = true;
    completion_ = std::move(completion);
    status_ = Status::exporting;
    runner_ = std::thread([this] { run(); });
}

void ExportSession::cancelExport() {
    cancelled_ = true;
}

void ExportSession::waitUntilFinished() {
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [&] { return !started_ || finished_; });
}

std::optional<ExportError> ExportSession::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void ExportSession::finish(Status status, std::optional<ExportError> error) {
    // The frames, queues and encoder of the job are gone: give their memory back.
    releaseFreeMemory();
    std::function<void()> completion;
    {
        std::lock_guard lock(mutex_);
        error_ = std::move(error);
        status_ = status;
        if (status == Status::completed) {
            progress_ = 1.0f;
        }
        finished_ = true;
        completion = std::move(completion_);
    }
    ended_.notify_all();
    // Last: the completion may release the session.
    if (completion) {
        completion();
    }
}

void ExportSession::run() {
    const std::filesystem::path temporary = temporaryPathBeside(outputURL_);
    std::optional<MovieWriter> writer;
    HandOver<Decoded> decoded(kDecodedAhead);
    std::thread decoder;
    // Stops the decoding stage and drops the unfinished movie.
    const auto abandon = [&] {
        decoded.close();
        if (decoder.joinable()) {
            decoder.join();
        }
        if (writer) {
            writer->cancelWriting();
        }
        writer.reset();
        removeQuietly(temporary);
    };
    try {
        if (!videoComposition_ || videoComposition_->instructions.empty()) {
            throw MediaError("The export has no video composition");
        }
        if (outputURL_.empty()) {
            throw MediaError("The export has no output file");
        }
        const VideoComposition& video = *videoComposition_;
        const MediaTime frameDuration =
            video.frameDuration.isValid() && video.frameDuration > MediaTime::zero()
                ? video.frameDuration
                : MediaTime{1, 60};
        const MediaTime duration = asset_->duration();
        TimeRange range{MediaTime::zero(), duration};
        if (timeRange_) {
            range = range.intersection(*timeRange_);
        }
        const double seconds = range.duration().seconds();
        const auto frameCount = std::max<std::int64_t>(
            1, static_cast<std::int64_t>(std::ceil(seconds / frameDuration.seconds() - 1e-6)));
        if (!(seconds > 0)) {
            throw MediaError("There is nothing to export in the chosen range.");
        }
        const std::int64_t sampleCount = std::llround(seconds * kAudioSampleRate);
        const int width = static_cast<int>(video.renderSize.width);
        const int height = static_cast<int>(video.renderSize.height);
        const auto frameTime = [frameDuration](std::int64_t index) {
            return MediaTime{index * frameDuration.value, frameDuration.timescale};
        };

        AudioMixer mixer;
        for (const CompositionTrack& track : asset_->tracksOf(TrackKind::audio)) {
            mixer.addTrack(std::make_unique<AudioDecoder>(track.sourceFile, track.sourceTrackIndex),
                           subtractTimes(track.sourceRange.start, track.insertTime),
                           track.sourceRange);
        }
        mixer.seek(range.start);

        writer.emplace(temporary, outputFileType_);
        VideoWriterInput& videoInput = writer->addVideoInput(
            preset_ == ExportPreset::hevcHighestQuality ? VideoSettings::exportHevc(width, height)
                                                        : VideoSettings::exportH264(width, height),
            /*realTime=*/false);
        AudioWriterInput* audioInput =
            mixer.trackCount() > 0 ? &writer->addAudioInput(AudioSettings{}) : nullptr;
        writer->startWriting();
        writer->startSession(MediaTime::zero());

        // Takes copies: it may outlive this block until abandon() joins it.
        decoder = std::thread(
            [this, &decoded, videoComposition = videoComposition_, range, frameTime, frameCount] {
                try {
                    CompositionFrameSource source(asset_);
                    for (std::int64_t i = 0; i < frameCount && !cancelled_; ++i) {
                        const MediaTime time = addTimes(range.start, frameTime(i));
                        const std::vector<TrackID> tracks =
                            CompositionFrameSource::requiredTracks(*videoComposition, time);
                        if (!decoded.push({source.sourceFramesAt(time, tracks), nullptr})) {
                            return;
                        }
                    }
                } catch (...) {
                    decoded.push({{}, std::current_exception()});
                }
                decoded.close();
            });

        FramePool pool(PixelFormat::i420, width, height);
        std::vector<float> samples;
        std::int64_t samplesWritten = 0;
        const auto writeAudioUpTo = [&](std::int64_t end) {
            if (audioInput == nullptr) {
                return;
            }
            end = std::min(end, sampleCount);
            while (samplesWritten < end) {
                const int count =
                    static_cast<int>(std::min<std::int64_t>(end - samplesWritten, 4800));
                samples.resize(2 * std::size_t(count));
                mixer.read(samples.data(), count);
                audioInput->append({samples.data(), count},
                                   MediaTime{samplesWritten, kAudioSampleRate});
                samplesWritten += count;
            }
        };

        // Draws again only what changed from one frame to the next.
        FrameComposer composer;
        VideoFrame previous;
        std::int64_t index = 0;
        while (std::optional<Decoded> item = decoded.pop()) {
            if (item->failure) {
                std::rethrow_exception(item->failure);
            }
            if (cancelled_) {
                throw Cancelled();
            }
            CompositionResult result = composer.compose(video, item->set, pool);
            if (!result.ok()) {
                throw MediaError(result.error().message, result.error().code);
            }
            previous = result.frame();
            writeAudioUpTo((index + 1) * kAudioSampleRate * frameDuration.value /
                           frameDuration.timescale);
            if (!videoInput.append(previous, frameTime(index))) {
                break;  // the writer failed; its error is reported below
            }
            ++index;
            progress_ = kProgressBeforeFinishing * float(index) / float(frameCount);
        }
        if (cancelled_) {
            throw Cancelled();
        }
        writeAudioUpTo(sampleCount);
        decoded.close();
        decoder.join();
        previous = VideoFrame();
        writer->finishWriting();
        if (cancelled_) {
            throw Cancelled();
        }
        if (writer->status() != MovieWriter::Status::completed) {
            const std::optional<MediaError> failure = writer->error();
            throw failure.value_or(MediaError("The movie could not be written"));
        }
        writer.reset();
        std::error_code renamed;
        std::filesystem::rename(temporary, outputURL_, renamed);
        if (renamed) {
            throw MediaError(
                "Could not save " + outputURL_.filename().string() + ": " + renamed.message(),
                -renamed.value());
        }
        finish(Status::completed, std::nullopt);
    } catch (const Cancelled&) {
        abandon();
        finish(Status::cancelled, ExportError{kExportCancelledCode, "The export was cancelled."});
    } catch (const MediaError& failure) {
        abandon();
        if (cancelled_) {
            finish(Status::cancelled,
                   ExportError{kExportCancelledCode, "The export was cancelled."});
        } else {
            finish(Status::failed,
                   ExportError{failure.code(), describeFailure(failure, temporary, outputURL_)});
        }
    } catch (const std::bad_alloc&) {
        abandon();
        finish(Status::failed, ExportError{-ENOMEM, "Not enough memory to export."});
    } catch (const std::exception& failure) {
        abandon();
        finish(Status::failed, ExportError{0, failure.what()});
    }
}

}  // namespace zarvex

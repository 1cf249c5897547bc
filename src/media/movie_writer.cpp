#include "media/movie_writer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "media/audio_converter.h"
#include "media/ffmpeg.h"
#include "media/frame_converter.h"

namespace zarvex {
namespace {

// Frames waiting for a video encoder: a real-time producer drops frames
// beyond this, others wait. Small, so a slow encoder shows at once as
// back-pressure instead of as memory.
constexpr std::size_t kRealTimeQueueCapacity = 4;
constexpr std::size_t kOfflineQueueCapacity = 8;

// Recordings: fragments of at most this long; packets of all tracks are
// interleaved within this much of each other (a track that gets no samples,
// like a microphone without a device, holds nothing back for longer).
constexpr std::int64_t kFragmentMicroseconds = 500'000;
constexpr std::int64_t kRealTimeInterleaveMicroseconds = 500'000;

// Variable-frame-rate tracks keep frame times at this resolution.
constexpr int kVariableRateTimescale = 90000;

// Audio chunks that start within this many samples of where the previous one
// ended are taken as continuous (capture clocks jitter).
constexpr std::int64_t kAudioDriftTolerance = kAudioSampleRate / 50;

constexpr ColorTags kEncodedColor{YuvMatrix::bt709, YuvRange::limited};

void setOption(void* object, const char* name, const std::string& value) {
    if (!value.empty()) {
        ff::check(av_opt_set(object, name, value.c_str(), AV_OPT_SEARCH_CHILDREN),
                  std::string("Could not set encoder option ") + name);
    }
}

}  // namespace

VideoSettings VideoSettings::exportH264(int width, int height) {
    VideoSettings settings;
    settings.codec = VideoCodec::h264;
    settings.width = width;
    settings.height = height;
    settings.crf = 18;
    settings.preset = "medium";
    settings.frameDuration = {1, 60};
    settings.threadCount = 0;
    return settings;
}

VideoSettings VideoSettings::exportHevc(int width, int height) {
    VideoSettings settings = exportH264(width, height);
    settings.codec = VideoCodec::hevc;
    settings.crf = 20;
    return settings;
}

VideoSettings VideoSettings::recordingH264(int width, int height) {
    VideoSettings settings;
    settings.codec = VideoCodec::h264;
    settings.width = width;
    settings.height = height;
    settings.bitRate = std::max<std::int64_t>(8'000'000, std::int64_t(width) * height * 4);
    settings.preset = "superfast";
    settings.tune = "zerolatency";
    settings.profile = "high";
    settings.expectedFrameRate = 60;
    // A keyframe every half second at 60 fps: an exact seek decodes at most
    // 29 frames from the keyframe before it (about a tenth more bytes than a
    // keyframe every second, for half the longest seek).
    settings.keyframeInterval = 30;
    return settings;
}

struct WriterTrack;

// What the inputs share: the muxer, the session start and the outcome.
struct MovieWriter::Core {
    std::vector<WriterTrack*> tracks;  // in the order added: the track order in the file
    std::filesystem::path path;
    MovieFileType type;
    ff::OutputFormatPtr output;
    std::mutex muxer;  // guards `output` once writing has started
    std::atomic<Status> status{Status::unknown};
    std::atomic<bool> sessionStarted{false};
    MediaTime sessionStart = MediaTime::invalid();  // set before sessionStarted
    mutable std::mutex errorMutex;
    std::optional<MediaError> error;

    void fail(const MediaError& failure) {
        {
            std::lock_guard lock(errorMutex);
            if (!error) {
                error = failure;
            }
        }
        Status expected = Status::writing;
        status.compare_exchange_strong(expected, Status::failed);
    }

    bool writing() const { return status.load() == Status::writing; }

    // Hands an encoded packet (in the encoder's time base) to the muxer.
    void write(AVPacket& packet, AVStream& stream, AVRational encoderTimeBase) {
        av_packet_rescale_ts(&packet, encoderTimeBase, stream.time_base);
        packet.stream_index = stream.index;
        std::lock_guard lock(muxer);
        if (!writing()) {
            av_packet_unref(&packet);
            return;
        }
        const int written = av_interleaved_write_frame(output.get(), &packet);
        if (written < 0) {
            fail(MediaError(
                "Could not write " + path.filename().string() + ": " + ff::errorText(written),
                written));
        }
    }

    // Sends a frame (or the end, with null) to an encoder and muxes what comes out.
    void encode(AVCodecContext& encoder, AVStream& stream, const AVFrame* frame, AVPacket& packet) {
        ff::check(avcodec_send_frame(&encoder, frame), "Could not encode");
        while (true) {
            const int received = avcodec_receive_packet(&encoder, &packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return;
            }
            ff::check(received, "Could not encode");
            write(packet, stream, encoder.time_base);
        }
    }
};

// Common life of both kinds of input, driven by the writer in the order the
// inputs were added.
struct WriterTrack {
    virtual ~WriterTrack() = default;
    virtual void open(MovieWriter::Core& core) = 0;
    virtual void start() {}
    virtual void finish() = 0;
    virtual void abort() = 0;
};

// ---------------------------------------------------------------- video

struct VideoWriterInput::Impl : WriterTrack {
    MovieWriter::Core* core = nullptr;
    VideoSettings settings;
    bool realTime = false;
    ff::CodecContextPtr encoder;
    AVStream* stream = nullptr;

    struct Item {
        VideoFrame frame;
        std::int64_t pts;
    };
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Item> queue;
    bool finished = false;  // no more appends; the worker flushes and ends
    bool aborted = false;   // the worker drops everything and ends
    std::int64_t lastPts = INT64_MIN;
    std::thread worker;

    std::size_t capacity() const {
        return realTime ? kRealTimeQueueCapacity : kOfflineQueueCapacity;
    }

    void open(MovieWriter::Core& writerCore) override {
        core = &writerCore;
        const char* name = settings.codec == VideoCodec::hevc ? "libx265" : "libx264";
        const AVCodec* codec = avcodec_find_encoder_by_name(name);
        if (codec == nullptr) {
            throw MediaError(std::string("No ") + name + " encoder", AVERROR_ENCODER_NOT_FOUND);
        }
        if (settings.width < 2 || settings.height < 2 || settings.width % 2 ||
            settings.height % 2) {
            throw MediaError("Video size " + std::to_string(settings.width) + "x" +
                                 std::to_string(settings.height) + " is not even",
                             AVERROR(EINVAL));
        }
        encoder.reset(avcodec_alloc_context3(codec));
        if (!encoder) {
            throw std::bad_alloc();
        }
        encoder->width = settings.width;
        encoder->height = settings.height;
        encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        encoder->sample_aspect_ratio = {1, 1};
        if (settings.frameDuration.isValid()) {
            encoder->time_base =
                av_make_q(int(settings.frameDuration.value), settings.frameDuration.timescale);
            av_reduce(&encoder->time_base.num, &encoder->time_base.den, encoder->time_base.num,
                      encoder->time_base.den, INT32_MAX);
            encoder->framerate = av_inv_q(encoder->time_base);
        } else {
            encoder->time_base = {1, kVariableRateTimescale};
            encoder->framerate = {settings.expectedFrameRate, 1};
        }
        encoder->color_primaries = AVCOL_PRI_BT709;
        encoder->color_trc = AVCOL_TRC_BT709;
        encoder->colorspace = AVCOL_SPC_BT709;
        encoder->color_range = AVCOL_RANGE_MPEG;
        encoder->thread_count = settings.threadCount;
        if (settings.keyframeInterval > 0) {
            encoder->gop_size = settings.keyframeInterval;
        }
        if (settings.crf < 0) {
            encoder->bit_rate = settings.bitRate;
        }
        if (core->output->oformat->flags & AVFMT_GLOBALHEADER) {
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        setOption(encoder->priv_data, "preset", settings.preset);
        setOption(encoder->priv_data, "tune", settings.tune);
        setOption(encoder->priv_data, "profile", settings.profile);
        if (settings.crf >= 0) {
            setOption(encoder->priv_data, "crf", std::to_string(settings.crf));
        }
        if (settings.codec == VideoCodec::hevc) {
            // x265 prints to stderr by itself unless told not to.
            setOption(encoder->priv_data, "x265-params", "log-level=none");
        }
        ff::check(avcodec_open2(encoder.get(), codec, nullptr),
                  std::string("Could not open the ") + name + " encoder");

        stream = avformat_new_stream(core->output.get(), nullptr);
        if (stream == nullptr) {
            throw std::bad_alloc();
        }
        ff::check(avcodec_parameters_from_context(stream->codecpar, encoder.get()),
                  "Could not set up the video track");
        stream->time_base = encoder->time_base;
        stream->avg_frame_rate = encoder->framerate;
        if (settings.codec == VideoCodec::hevc) {
            stream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
        }
    }

    void start() override {
        worker = std::thread([this] { run(); });
    }

    bool ready() const {
        std::lock_guard lock(mutex);
        return core != nullptr && core->writing() && core->sessionStarted && !finished &&
               queue.size() < capacity();
    }

    bool append(const VideoFrame& frame, MediaTime time) {
        if (core == nullptr || !core->writing() || !core->sessionStarted || frame.empty() ||
            !time.isValid() || time < core->sessionStart) {
            return false;
        }
        const std::int64_t pts = ptsFor(time);
        std::unique_lock lock(mutex);
        if (finished || pts <= lastPts) {
            return false;
        }
        if (realTime) {
            if (queue.size() >= capacity()) {
                return false;
            }
        } else {
            changed.wait(lock, [&] {
                return queue.size() < capacity() || finished || aborted || !core->writing();
            });
            if (finished || aborted || !core->writing()) {
                return false;
            }
        }
        lastPts = pts;
        queue.push_back({frame, pts});
        changed.notify_all();
        return true;
    }

    // Ticks of the encoder's time base from T0 to `time`.
    std::int64_t ptsFor(MediaTime time) const {
        const MediaTime start = core->sessionStart;
        // (time − start) exactly, then onto the encoder's grid.
        const __int128 numerator = static_cast<__int128>(time.value) * start.timescale -
                                   static_cast<__int128>(start.value) * time.timescale;
        const __int128 denominator = static_cast<__int128>(time.timescale) * start.timescale;
        const __int128 scaled = numerator * encoder->time_base.den;
        const __int128 divisor = denominator * encoder->time_base.num;
        return static_cast<std::int64_t>((scaled + divisor / 2) / divisor);
    }

    void run() {
        FrameConverter converter;
        ff::PacketPtr packet = ff::makePacket();
        while (true) {
            Item item;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return !queue.empty() || finished || aborted; });
                if (aborted) {
                    queue.clear();
                    changed.notify_all();
                    return;
                }
                if (queue.empty()) {
                    break;  // finished and drained
                }
                item = std::move(queue.front());
                queue.pop_front();
                changed.notify_all();
            }
            if (!core->writing()) {
                continue;
            }
            try {
                const VideoFrame picture =
                    converter.toI420(item.frame, settings.width, settings.height, kEncodedColor);
                item.frame = VideoFrame();  // hand the capture buffer back early
                ff::FramePtr frame = ff::wrapVideoFrame(picture);
                frame->pts = item.pts;
                frame->color_primaries = AVCOL_PRI_BT709;
                frame->color_trc = AVCOL_TRC_BT709;
                frame->colorspace = AVCOL_SPC_BT709;
                frame->color_range = AVCOL_RANGE_MPEG;
                core->encode(*encoder, *stream, frame.get(), *packet);
            } catch (const MediaError& failure) {
                core->fail(failure);
            } catch (const std::exception& failure) {
                // Nothing may escape the encoder thread; the writer fails instead.
                core->fail(MediaError(failure.what()));
            }
        }
        try {
            if (core->writing()) {
                core->encode(*encoder, *stream, nullptr, *packet);
            }
        } catch (const MediaError& failure) {
            core->fail(failure);
        } catch (const std::exception& failure) {
            core->fail(MediaError(failure.what()));
        }
    }

    void markAsFinished() {
        {
            std::lock_guard lock(mutex);
            finished = true;
        }
        changed.notify_all();
    }

    void finish() override {
        markAsFinished();
        if (worker.joinable()) {
            worker.join();
        }
    }

    void abort() override {
        {
            std::lock_guard lock(mutex);
            aborted = true;
            finished = true;
        }
        changed.notify_all();
        if (worker.joinable()) {
            worker.join();
        }
    }

    ~Impl() override { abort(); }
};

VideoWriterInput::VideoWriterInput(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
VideoWriterInput::~VideoWriterInput() = default;
bool VideoWriterInput::isReadyForMoreMediaData() const {
    return impl_->ready();
}
bool VideoWriterInput::append(const VideoFrame& frame, MediaTime time) {
    return impl_->append(frame, time);
}
void VideoWriterInput::markAsFinished() {
    impl_->markAsFinished();
}

// ---------------------------------------------------------------- audio

struct AudioWriterInput::Impl : WriterTrack {
    MovieWriter::Core* core = nullptr;
    AudioSettings settings;
    ff::CodecContextPtr encoder;
    AVStream* stream = nullptr;
    ff::AudioConverter converter{AV_SAMPLE_FMT_FLTP};
    ff::AudioFifoPtr fifo;
    ff::PacketPtr packet = ff::makePacket();
    ff::FramePtr frame = ff::makeFrame();

    mutable std::mutex mutex;  // one producer, but finishing may come from another thread
    bool finished = false;
    bool started = false;
    std::int64_t nextSample = 0;  // movie sample the next taken sample lands on
    std::int64_t fifoStart = 0;   // movie sample of the fifo's first sample

    void open(MovieWriter::Core& writerCore) override {
        core = &writerCore;
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (codec == nullptr) {
            throw MediaError("No AAC encoder", AVERROR_ENCODER_NOT_FOUND);
        }
        if (settings.sampleRate != kAudioSampleRate || settings.channels != kAudioChannels) {
            throw MediaError("Audio tracks are 48000 Hz stereo", AVERROR(EINVAL));
        }
        encoder.reset(avcodec_alloc_context3(codec));
        if (!encoder) {
            throw std::bad_alloc();
        }
        encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
        encoder->sample_rate = settings.sampleRate;
        encoder->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
        encoder->bit_rate = settings.bitRate;
        encoder->time_base = {1, settings.sampleRate};
        if (core->output->oformat->flags & AVFMT_GLOBALHEADER) {
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        ff::check(avcodec_open2(encoder.get(), codec, nullptr), "Could not open the AAC encoder");
        stream = avformat_new_stream(core->output.get(), nullptr);
        if (stream == nullptr) {
            throw std::bad_alloc();
        }
        ff::check(avcodec_parameters_from_context(stream->codecpar, encoder.get()),
                  "Could not set up the audio track");
        stream->time_base = encoder->time_base;
        fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, encoder->frame_size * 4));
        if (!fifo) {
            throw std::bad_alloc();
        }
    }

    bool ready() const {
        std::lock_guard lock(mutex);
        return core != nullptr && core->writing() && core->sessionStarted && !finished;
    }

    bool append(const AudioChunk& chunk, MediaTime time) {
        std::lock_guard lock(mutex);
        if (core == nullptr || !core->writing() || !core->sessionStarted || finished ||
            chunk.data == nullptr || chunk.frameCount <= 0 || chunk.channels <= 0 ||
            chunk.sampleRate <= 0 || !time.isValid()) {
            return false;
        }
        try {
            AVChannelLayout layout{};
            av_channel_layout_default(&layout, chunk.channels);
            const auto* data = static_cast<const std::uint8_t*>(chunk.data);
            const AVFrame& converted = converter.convert(
                &data, chunk.frameCount, layout,
                chunk.format == SampleFormat::s16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLT,
                chunk.sampleRate);
            std::int64_t start = toSampleIndex(time) - toSampleIndex(core->sessionStart);
            return take(converted, start);
        } catch (const MediaError& failure) {
            core->fail(failure);
            return false;
        }
    }

    bool appendSilence(MediaTime end) {
        std::lock_guard lock(mutex);
        if (core == nullptr || !core->writing() || !core->sessionStarted || finished ||
            !end.isValid()) {
            return false;
        }
        const std::int64_t target = toSampleIndex(end) - toSampleIndex(core->sessionStart);
        if (!started) {
            if (target <= 0) {
                return false;
            }
            started = true;
            nextSample = 0;
            fifoStart = 0;
        }
        if (target <= nextSample) {
            return false;
        }
        try {
            writeSilence(target - nextSample);
        } catch (const MediaError& failure) {
            core->fail(failure);
            return false;
        }
        return true;
    }

    static std::int64_t toSampleIndex(MediaTime time) {
        return av_rescale_rnd(time.value, kAudioSampleRate, time.timescale, AV_ROUND_NEAR_INF);
    }

    // Places converted samples that start at movie sample `start` and encodes
    // every full frame.
    bool take(const AVFrame& converted, std::int64_t start) {
        std::int64_t skip = 0;
        std::int64_t count = converted.nb_samples;
        if (start < 0) {
            skip = std::min(count, -start);  // before T0: not part of the movie
            start += skip;
        }
        if (started && start < nextSample - kAudioDriftTolerance) {
            const std::int64_t overlap = std::min(count - skip, nextSample - start);
            skip += overlap;
            start += overlap;
        }
        if (skip >= count) {
            return false;
        }
        if (!started) {
            started = true;
            nextSample = start;
            fifoStart = start;
        } else if (start > nextSample + kAudioDriftTolerance) {
            writeSilence(start - nextSample);
        }
        void* planes[2] = {converted.extended_data[0] + skip * sizeof(float),
                           converted.extended_data[1] + skip * sizeof(float)};
        const int samples = static_cast<int>(count - skip);
        if (av_audio_fifo_write(fifo.get(), planes, samples) < samples) {
            throw std::bad_alloc();
        }
        nextSample += samples;
        encodeFrames(false);
        return true;
    }

    void writeSilence(std::int64_t samples) {
        std::vector<float> zeros(std::size_t(std::min<std::int64_t>(samples, kAudioSampleRate)),
                                 0.0f);
        while (samples > 0) {
            const int chunk = static_cast<int>(std::min<std::int64_t>(samples, zeros.size()));
            void* planes[2] = {zeros.data(), zeros.data()};
            if (av_audio_fifo_write(fifo.get(), planes, chunk) < chunk) {
                throw std::bad_alloc();
            }
            samples -= chunk;
            nextSample += chunk;
            encodeFrames(false);
        }
    }

    // Encodes whole frames from the fifo; with `all`, the rest too.
    void encodeFrames(bool all) {
        const int frameSize = encoder->frame_size;
        while (av_audio_fifo_size(fifo.get()) >= frameSize ||
               (all && av_audio_fifo_size(fifo.get()) > 0)) {
            const int samples = std::min(frameSize, av_audio_fifo_size(fifo.get()));
            av_frame_unref(frame.get());
            frame->format = AV_SAMPLE_FMT_FLTP;
            frame->sample_rate = encoder->sample_rate;
            frame->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
            frame->nb_samples = samples;
            ff::check(av_frame_get_buffer(frame.get(), 0), "Could not allocate audio");
            av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->data), samples);
            frame->pts = fifoStart;
            fifoStart += samples;
            core->encode(*encoder, *stream, frame.get(), *packet);
        }
    }

    void markAsFinished() {
        std::lock_guard lock(mutex);
        if (finished) {
            return;
        }
        finished = true;
        if (core == nullptr || !core->writing() || !encoder) {
            return;
        }
        try {
            const AVFrame& rest = converter.flush();
            if (started && rest.nb_samples > 0) {
                take(rest, nextSample);
            }
            encodeFrames(true);
            core->encode(*encoder, *stream, nullptr, *packet);
        } catch (const MediaError& failure) {
            core->fail(failure);
        }
    }

    void finish() override { markAsFinished(); }
    void abort() override {
        std::lock_guard lock(mutex);
        finished = true;
    }
};

AudioWriterInput::AudioWriterInput(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AudioWriterInput::~AudioWriterInput() = default;
bool AudioWriterInput::isReadyForMoreMediaData() const {
    return impl_->ready();
}
bool AudioWriterInput::append(const AudioChunk& chunk, MediaTime time) {
    return impl_->append(chunk, time);
}
bool AudioWriterInput::appendSilence(MediaTime end) {
    return impl_->appendSilence(end);
}
void AudioWriterInput::markAsFinished() {
    impl_->markAsFinished();
}

// ---------------------------------------------------------------- writer

MovieWriter::MovieWriter(std::filesystem::path path, MovieFileType type)
    : core_(std::make_shared<Core>()) {
    ff::configureLogging();
    core_->path = std::move(path);
    core_->type = type;
    std::error_code ignored;
    std::filesystem::remove(core_->path, ignored);
    AVFormatContext* raw = nullptr;
    const int made = avformat_alloc_output_context2(
        &raw, nullptr, type == MovieFileType::mpeg4 ? "mp4" : "mov", core_->path.c_str());
    if (made < 0) {
        core_->status = Status::failed;
        core_->error = MediaError(
            "Could not create " + core_->path.filename().string() + ": " + ff::errorText(made),
            made);
        return;
    }
    core_->output.reset(raw);
}

MovieWriter::~MovieWriter() {
    if (core_->status.load() == Status::writing) {
        cancelWriting();
        return;
    }
    // A movie that failed while writing keeps what reached the file (whole
    // fragments of a recording stay playable); only the encoders stop here.
    for (WriterTrack* track : core_->tracks) {
        track->abort();
    }
    std::lock_guard lock(core_->muxer);
    if (core_->output && core_->output->pb != nullptr) {
        avio_closep(&core_->output->pb);
    }
}

VideoWriterInput& MovieWriter::addVideoInput(const VideoSettings& settings, bool realTime) {
    auto impl = std::make_unique<VideoWriterInput::Impl>();
    impl->settings = settings;
    impl->realTime = realTime;
    core_->tracks.push_back(impl.get());
    videoInputs_.push_back(
        std::unique_ptr<VideoWriterInput>(new VideoWriterInput(std::move(impl))));
    return *videoInputs_.back();
}

AudioWriterInput& MovieWriter::addAudioInput(const AudioSettings& settings) {
    auto impl = std::make_unique<AudioWriterInput::Impl>();
    impl->settings = settings;
    core_->tracks.push_back(impl.get());
    audioInputs_.push_back(
        std::unique_ptr<AudioWriterInput>(new AudioWriterInput(std::move(impl))));
    return *audioInputs_.back();
}

void MovieWriter::startWriting() {
    Core& core = *core_;
    if (core.status != Status::unknown) {
        std::lock_guard lock(core.errorMutex);
        throw core.error.value_or(MediaError("The movie writer was already started"));
    }
    const std::string name = core.path.filename().string();
    try {
        for (WriterTrack* track : core.tracks) {
            track->open(core);
        }
        ff::check(avio_open(&core.output->pb, core.path.c_str(), AVIO_FLAG_WRITE),
                  "Could not create " + name);
        AVDictionary* raw = nullptr;
        if (core.type == MovieFileType::mpeg4) {
            av_dict_set(&raw, "movflags", "+faststart", 0);
        } else {
            // delay_moov writes the header with the first fragment, once every
            // track's first time is known, so a movie that starts after T0
            // keeps its offset (as an edit list).
            av_dict_set(&raw, "movflags", "+empty_moov+delay_moov+default_base_moof", 0);
            av_dict_set(&raw, "frag_duration", std::to_string(kFragmentMicroseconds).c_str(), 0);
            av_dict_set(&raw, "flush_packets", "1", 0);
            core.output->max_interleave_delta = kRealTimeInterleaveMicroseconds;
        }
        std::unique_ptr<AVDictionary*, void (*)(AVDictionary**)> options(&raw, av_dict_free);
        ff::check(avformat_write_header(core.output.get(), options.get()),
                  "Could not start writing " + name);
    } catch (const MediaError& failure) {
        // Nothing of a movie that never started is worth keeping.
        if (core.output->pb != nullptr) {
            avio_closep(&core.output->pb);
            std::error_code ignored;
            std::filesystem::remove(core.path, ignored);
        }
        core.status = Status::failed;
        std::lock_guard lock(core.errorMutex);
        core.error = failure;
        throw;
    }
    core.status = Status::writing;
    for (WriterTrack* track : core.tracks) {
        track->start();
    }
}

void MovieWriter::startSession(MediaTime sourceTime) {
    if (core_->sessionStarted || !sourceTime.isValid()) {
        return;
    }
    core_->sessionStart = sourceTime;
    core_->sessionStarted = true;
}

void MovieWriter::finishWriting() {
    Core& core = *core_;
    const Status before = core.status.load();
    if (before != Status::writing && before != Status::failed) {
        return;
    }
    for (WriterTrack* track : core.tracks) {
        track->finish();
    }
    std::lock_guard lock(core.muxer);
    const std::string name = core.path.filename().string();
    if (core.writing()) {
        const int ended = av_write_trailer(core.output.get());
        if (ended < 0) {
            core.fail(MediaError("Could not finish " + name + ": " + ff::errorText(ended), ended));
        }
    }
    if (core.output->pb != nullptr) {
        const int closed = avio_closep(&core.output->pb);
        if (closed < 0) {
            core.fail(
                MediaError("Could not finish " + name + ": " + ff::errorText(closed), closed));
        }
    }
    Status writing = Status::writing;
    core.status.compare_exchange_strong(writing, Status::completed);
}

void MovieWriter::cancelWriting() {
    Core& core = *core_;
    const Status before = core.status.exchange(Status::cancelled);
    if (before == Status::completed || before == Status::cancelled) {
        core.status = before;
        return;
    }
    for (WriterTrack* track : core.tracks) {
        track->abort();
    }
    std::lock_guard lock(core.muxer);
    if (core.output && core.output->pb != nullptr) {
        avio_closep(&core.output->pb);
    }
    std::error_code ignored;
    std::filesystem::remove(core.path, ignored);
}

MovieWriter::Status MovieWriter::status() const {
    return core_->status.load();
}

std::optional<MediaError> MovieWriter::error() const {
    std::lock_guard lock(core_->errorMutex);
    return core_->error;
}

const std::filesystem::path& MovieWriter::path() const {
    return core_->path;
}

}  // namespace zarvex

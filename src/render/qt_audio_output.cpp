#include "render/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <mutex>

#include "media/audio_format.h"

namespace zarvex {
namespace {

constexpr int kBytesPerFrame = kAudioChannels * int(sizeof(float));
// How often the heard position is read from the sink.
constexpr int kPositionPollMs = 4;

// Hands the sink what the source gives; Qt calls it on the sink's thread.
// The sink stops asking after a read that returns nothing (an underrun) and
// only asks again on readyRead, so that is announced shortly after.
class PullDevice : public QIODevice {
  public:
    explicit PullDevice(AudioOutput::Source source) : source_(std::move(source)) {
        open(QIODevice::ReadOnly);
        retry_.setSingleShot(true);
        retry_.setInterval(kRetryMs);
        QObject::connect(&retry_, &QTimer::timeout, this, [this] { emit readyRead(); });
    }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const int frames = static_cast<int>(maxSize / kBytesPerFrame);
        if (frames <= 0) {
            return 0;
        }
        const int given = source_(reinterpret_cast<float*>(data), frames);
        if (given == 0) {
            retry_.start();
        }
        return qint64(given) * kBytesPerFrame;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    static constexpr int kRetryMs = 5;
    AudioOutput::Source source_;
    QTimer retry_;
};

class QtAudioOutput : public AudioOutput {
  public:
    QtAudioOutput() : device_(QMediaDevices::defaultAudioOutput()) {
        format_.setSampleRate(kAudioSampleRate);
        format_.setChannelCount(kAudioChannels);
        format_.setSampleFormat(QAudioFormat::Float);
        thread_.setObjectName("player-sound");
        thread_.start();
        context_ = new QObject;
        context_->moveToThread(&thread_);
    }

    ~QtAudioOutput() override {
        stop();
        thread_.quit();
        thread_.wait();
        delete context_;  // its thread has finished
    }

    bool start(Source source) override {
        stop();
        if (device_.isNull() || !device_.isFormatSupported(format_)) {
            return false;
        }
        bool started = false;
        QMetaObject::invokeMethod(
            context_,
            [&] {
                sink_ = std::make_unique<QAudioSink>(device_, format_);
                pull_ = std::make_unique<PullDevice>(std::move(source));
                QObject::connect(sink_.get(), &QAudioSink::stateChanged, context_,
                                 [this](QAudio::State state) { noteState(state); });
                sink_->start(pull_.get());
                started =
                    sink_->error() == QAudio::NoError && sink_->state() != QAudio::StoppedState;
                poll_ = std::make_unique<QTimer>();
                QObject::connect(poll_.get(), &QTimer::timeout, context_,
                                 [this] { readPosition(); });
                poll_->start(kPositionPollMs);
            },
            Qt::BlockingQueuedConnection);
        if (!started) {
            stop();
        }
        return started;
    }

    void stop() override {
        QMetaObject::invokeMethod(
            context_,
            [this] {
                poll_.reset();
                if (sink_) {
                    sink_->disconnect(context_);
                    sink_->stop();
                }
                sink_.reset();
                pull_.reset();
            },
            Qt::BlockingQueuedConnection);
        std::lock_guard lock(mutex_);
        position_.reset();
        failed_ = false;
    }

    void suspend() override {
        QMetaObject::invokeMethod(
            context_,
            [this] {
                if (sink_) {
                    sink_->suspend();
                }
            },
            Qt::BlockingQueuedConnection);
    }

    void resume() override {
        QMetaObject::invokeMethod(
            context_,
            [this] {
                if (sink_) {
                    sink_->resume();
                }
            },
            Qt::BlockingQueuedConnection);
        // The position held still while suspended: it is true as of now.
        std::lock_guard lock(mutex_);
        if (position_) {
            position_->at = std::chrono::steady_clock::now();
        }
    }

    std::optional<Position> played() const override {
        std::lock_guard lock(mutex_);
        return position_;
    }

    bool failed() const override {
        std::lock_guard lock(mutex_);
        return failed_;
    }

  private:
    // On the sink's thread.
    void readPosition() {
        if (!sink_) {
            return;
        }
        const qint64 frames = sink_->processedUSecs() * kAudioSampleRate / 1'000'000;
        std::lock_guard lock(mutex_);
        // The time a new value is first seen is when it was true; later reads
        // of the same value say nothing new.
        if (frames > 0 && (!position_ || position_->frames != frames)) {
            position_ = Position{frames, std::chrono::steady_clock::now()};
        }
    }

    void noteState(QAudio::State state) {
        const QAudio::Error error = sink_ ? sink_->error() : QAudio::NoError;
        if (state == QAudio::StoppedState && error != QAudio::NoError) {
            std::lock_guard lock(mutex_);
            failed_ = true;
        }
    }

    QAudioDevice device_;
    QAudioFormat format_;
    QThread thread_;
    QObject* context_ = nullptr;  // lives on thread_; so do the three below
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<PullDevice> pull_;
    std::unique_ptr<QTimer> poll_;

    mutable std::mutex mutex_;
    std::optional<Position> position_;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<AudioOutput> makeQtAudioOutput() {
    return std::make_unique<QtAudioOutput>();
}

}  // namespace zarvex

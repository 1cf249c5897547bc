#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace zarvex {

// Port: a stream of 48 kHz stereo float samples to the sound device, and how
// much of it has been heard: the player's master clock.
//
// start() and stop() come from one thread (the player's audio thread) and may
// block briefly while the device opens or closes. The source is called on the
// output's own thread; played() may be called from any thread.
class AudioOutput {
  public:
    // Fills `interleaved` with up to `frameCount` frames and returns how many
    // it wrote; fewer means nothing more is ready now (an underrun).
    using Source = std::function<int(float* interleaved, int frameCount)>;

    // Frames of the current stream heard by the listener, measured at `at`.
    struct Position {
        std::int64_t frames = 0;
        std::chrono::steady_clock::time_point at{};
    };

    virtual ~AudioOutput() = default;

    // Starts a new stream pulling from `source`; false when there is no device
    // or sound server to play it (the caller then keeps time without sound).
    virtual bool start(Source source) = 0;
    // Stops the stream and drops whatever it had buffered; the source is not
    // called after this returns. Safe when not started.
    virtual void stop() = 0;
    // Pauses the running stream, keeping what it has buffered: played() holds
    // still, and resume() goes on from exactly there.
    virtual void suspend() = 0;
    virtual void resume() = 0;
    // What the current stream has played; nothing before the first sample is
    // heard or when no stream runs.
    virtual std::optional<Position> played() const = 0;
    // True once the running stream has broken down (the server went away):
    // its position no longer moves.
    virtual bool failed() const = 0;
};

// Makes the output a player uses; called once per player, on the main thread.
using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

// "No audio": never starts, so the player keeps time with a steady clock.
class NullAudioOutput : public AudioOutput {
  public:
    bool start(Source) override { return false; }
    void stop() override {}
    void suspend() override {}
    void resume() override {}
    std::optional<Position> played() const override { return std::nullopt; }
    bool failed() const override { return false; }
};

}  // namespace zarvex

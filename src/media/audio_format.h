#pragma once

namespace zarvex {

// Decoded, mixed and encoded audio all use one form: 48 000 Hz, two channels.
inline constexpr int kAudioSampleRate = 48000;
inline constexpr int kAudioChannels = 2;

enum class SampleFormat { s16, f32 };

// A run of interleaved samples as a capture backend or a mixer delivers it.
// `data` holds frameCount × channels samples; the chunk does not own them.
struct AudioChunk {
    const void* data = nullptr;
    int frameCount = 0;
    int sampleRate = kAudioSampleRate;
    int channels = kAudioChannels;
    SampleFormat format = SampleFormat::f32;
};

}  // namespace zarvex

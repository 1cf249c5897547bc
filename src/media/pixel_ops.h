#pragma once

#include <cstdint>

// Row kernels on premultiplied BGRA. Rows are `n` pixels; no kernel reads or
// writes outside them.
namespace zarvex::pixel {

// Rounded x / 255 for x in 0...65025.
inline std::uint32_t div255(std::uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// dst = src over under. `dst` may be the same row as `src` or `under`.
void overInto(const std::uint8_t* src, const std::uint8_t* under, std::uint8_t* dst, int n);

// dst = src over dst.
inline void over(const std::uint8_t* src, std::uint8_t* dst, int n) {
    overInto(src, dst, dst, n);
}

// dst = (src × coverage) over under. `src` and `dst` may be the same row.
void maskedOver(const std::uint8_t* src, const std::uint8_t* coverage, const std::uint8_t* under,
                std::uint8_t* dst, int n);

// dst = (black at `alpha`) over dst.
void darken(const std::uint8_t* alpha, std::uint8_t* dst, int n);

// dst = (white at `alpha`) over dst.
void lighten(const std::uint8_t* alpha, std::uint8_t* dst, int n);

bool allOpaque(const std::uint8_t* src, int n);

// Whether the hand-written AVX2 kernels run: when the processor has AVX2,
// unless switched off (tests compare them with the plain SSE2 ones).
bool hasAvx2();
void setWideKernelsAllowed(bool allowed);

}  // namespace zarvex::pixel

// Marks a loop kernel written for GCC's vectoriser; it is also built for AVX2
// and the best version is picked when the program loads. Not under the thread
// sanitizer, whose instrumented version pickers would run before it starts.
#if defined(__SANITIZE_THREAD__)
#define ZARVEX_WIDE_KERNEL
#else
#define ZARVEX_WIDE_KERNEL __attribute__((target_clones("avx2", "default")))
#endif

#include "media/pixel_ops.h"

#include <atomic>

namespace zarvex::pixel {

ZARVEX_WIDE_KERNEL void overInto(const std::uint8_t* src, const std::uint8_t* under,
                                 std::uint8_t* dst, int n) {
    for (int i = 0; i < n; ++i) {
        const std::uint32_t inverse = 255 - src[4 * i + 3];
        for (int c = 0; c < 4; ++c) {
            dst[4 * i + c] = std::uint8_t(src[4 * i + c] + div255(under[4 * i + c] * inverse));
        }
    }
}

void maskedOver(const std::uint8_t* src, const std::uint8_t* coverage, const std::uint8_t* under,
                std::uint8_t* dst, int n) {
    for (int i = 0; i < n; ++i) {
        const std::uint32_t m = coverage[i];
        const std::uint32_t alpha = div255(src[4 * i + 3] * m);
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t s = c == 3 ? alpha : div255(src[4 * i + c] * m);
            dst[4 * i + c] = std::uint8_t(s + div255(under[4 * i + c] * (255 - alpha)));
        }
    }
}

ZARVEX_WIDE_KERNEL void darken(const std::uint8_t* alpha, std::uint8_t* dst, int n) {
    for (int i = 0; i < n; ++i) {
        const std::uint32_t inverse = 255 - alpha[i];
        for (int c = 0; c < 4; ++c) {
            dst[4 * i + c] = std::uint8_t(div255(dst[4 * i + c] * inverse));
        }
        dst[4 * i + 3] = std::uint8_t(dst[4 * i + 3] + alpha[i]);
    }
}

void lighten(const std::uint8_t* alpha, std::uint8_t* dst, int n) {
    for (int i = 0; i < n; ++i) {
        const std::uint32_t a = alpha[i];
        for (int c = 0; c < 4; ++c) {
            dst[4 * i + c] = std::uint8_t(a + div255(dst[4 * i + c] * (255 - a)));
        }
    }
}

ZARVEX_WIDE_KERNEL bool allOpaque(const std::uint8_t* src, int n) {
    std::uint8_t all = 255;
    for (int i = 0; i < n; ++i) {
        all &= src[4 * i + 3];
    }
    return all == 255;
}

namespace {
std::atomic<bool> wideKernelsAllowed{true};
}  // namespace

bool hasAvx2() {
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return available && wideKernelsAllowed.load(std::memory_order_relaxed);
}

void setWideKernelsAllowed(bool allowed) {
    wideKernelsAllowed.store(allowed, std::memory_order_relaxed);
}

}  // namespace zarvex::pixel

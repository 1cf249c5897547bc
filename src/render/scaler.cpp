#include "render/scaler.h"

#include <libyuv/planar_functions.h>
#include <libyuv/scale_argb.h>

#include <algorithm>
#include <cmath>
#include <cstring>

// x86-64 only: SSE2 is always there.
#include <emmintrin.h>

#include "render/pixel_ops.h"

namespace zarvex {
namespace {

// Bilinear weights have 8 fractional bits: a pixel is (a·(256 − w) + b·w + 128) >> 8,
// which never leaves 16 bits and maps a uniform input onto itself.
constexpr int kWeightOne = 256;

struct Tap {
    int index;   // first of the two source pixels
    int weight;  // of the second, 0...255
};

// Source position of destination pixel `d` (centres aligned), for d in virtual
// destination coordinates; the result's index + 1 may be `size` only with weight 0.
Tap tapFor(int d, int srcSize, int dstSize) {
    const double position =
        std::clamp((d + 0.5) * srcSize / dstSize - 0.5, 0.0, double(srcSize - 1));
    int index = static_cast<int>(position);
    int weight = static_cast<int>(std::lround((position - index) * kWeightOne));
    if (weight == kWeightOne) {
        ++index;
        weight = 0;
    }
    return {index, weight};
}

ZARVEX_WIDE_KERNEL void blendRows(const std::uint8_t* a, const std::uint8_t* b, int weight,
                                  std::uint8_t* out, int bytes) {
    const std::uint16_t wa = std::uint16_t(kWeightOne - weight);
    const std::uint16_t wb = std::uint16_t(weight);
    for (int i = 0; i < bytes; ++i) {
        out[i] = std::uint8_t((a[i] * wa + b[i] * wb + 128) >> 8);
    }
}

// dst[i] = the blend of row pixels columns[i] and columns[i] + 1 with the
// weights stored per column (four of the first pixel's, four of the second's).
void filterColumns(const std::uint8_t* row, const std::int32_t* columns,
                   const std::uint16_t* weights, std::uint8_t* dst, int n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi16(128);
    for (int i = 0; i < n; ++i) {
        const __m128i pair =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 4 * std::ptrdiff_t(columns[i])));
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8 * i));
        __m128i v = _mm_mullo_epi16(_mm_unpacklo_epi8(pair, zero), w);
        v = _mm_add_epi16(v, _mm_srli_si128(v, 8));
        v = _mm_srli_epi16(_mm_add_epi16(v, round), 8);
        const std::int32_t packed = _mm_cvtsi128_si32(_mm_packus_epi16(v, v));
        std::memcpy(dst + 4 * i, &packed, 4);
    }
}

std::uint8_t* sized(std::vector<std::uint8_t>& buffer, std::size_t bytes) {
    if (buffer.size() < bytes) {
        buffer.resize(bytes);
    }
    return buffer.data();
}

}  // namespace

void scaleBgra(const std::uint8_t* src, int srcStride, int srcWidth, int srcHeight, int dstWidth,
               int dstHeight, const PixelBox& clip, std::uint8_t* dst, int dstStride,
               ScaleScratch& scratch) {
    if (clip.width <= 0 || clip.height <= 0 || srcWidth <= 0 || srcHeight <= 0) {
        return;
    }
    if (srcWidth == dstWidth && srcHeight == dstHeight) {
        libyuv::ARGBCopy(src + std::ptrdiff_t(clip.y) * srcStride + 4 * std::ptrdiff_t(clip.x),
                         srcStride, dst, dstStride, clip.width, clip.height);
        return;
    }
    // Halve while the picture stays at least as large as the target; libyuv's
    // exact 2:1 box average (an odd last row or column is dropped).
    for (int which = 0; srcWidth / 2 >= dstWidth && srcHeight / 2 >= dstHeight; which ^= 1) {
        const int halfWidth = srcWidth / 2;
        const int halfHeight = srcHeight / 2;
        std::uint8_t* half =
            sized(scratch.halves[which], 4 * std::size_t(halfWidth) * std::size_t(halfHeight));
        libyuv::ARGBScale(src, srcStride, 2 * halfWidth, 2 * halfHeight, half, 4 * halfWidth,
                          halfWidth, halfHeight, libyuv::kFilterBox);
        src = half;
        srcStride = 4 * halfWidth;
        srcWidth = halfWidth;
        srcHeight = halfHeight;
    }

    scratch.columns.resize(std::size_t(clip.width));
    scratch.weights.resize(8 * std::size_t(clip.width));
    for (int i = 0; i < clip.width; ++i) {
        const Tap tap = tapFor(clip.x + i, srcWidth, dstWidth);
        scratch.columns[std::size_t(i)] = tap.index;
        std::fill_n(scratch.weights.begin() + 8 * i, 4, std::uint16_t(kWeightOne - tap.weight));
        std::fill_n(scratch.weights.begin() + 8 * i + 4, 4, std::uint16_t(tap.weight));
    }
    // Only the source columns the clip reads, plus a copy of the last one so
    // every tap can read its second pixel.
    const int first = scratch.columns.front();
    const int last = std::min(scratch.columns.back() + 1, srcWidth - 1);
    const int span = last - first + 1;
    for (std::int32_t& column : scratch.columns) {
        column -= first;
    }
    std::uint8_t* row = sized(scratch.row, 4 * std::size_t(span + 1));
    for (int r = 0; r < clip.height; ++r) {
        const Tap tap = tapFor(clip.y + r, srcHeight, dstHeight);
        const std::uint8_t* upper = src + std::ptrdiff_t(tap.index) * srcStride + 4 * first;
        const std::uint8_t* lower =
            tap.weight == 0 ? upper : upper + srcStride;  // index + 1 < height when weighted
        blendRows(upper, lower, tap.weight, row, 4 * span);
        std::memcpy(row + 4 * span, row + 4 * (span - 1), 4);
        filterColumns(row, scratch.columns.data(), scratch.weights.data(),
                      dst + std::ptrdiff_t(r) * dstStride, clip.width);
    }
}

}  // namespace zarvex

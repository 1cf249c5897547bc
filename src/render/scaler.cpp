#include "render/scaler.h"

#include <libyuv/planar_functions.h>
#include <libyuv/scale_argb.h>

#include <algorithm>
#include <cmath>
#include <cstring>

// x86-64 only: SSE2 is always there, AVX2 is used when the processor has it.
#include <immintrin.h>

#include "media/pixel_ops.h"
#include "media/yuv.h"

namespace zarvex {
namespace {

// Bilinear weights have 8 fractional bits: a pixel is (a·(256 − w) + b·w + 128) >> 8,
// which never leaves 16 bits and maps a uniform input onto itself.
constexpr int kWeightOne = 256;

struct Tap {
    int index;   // first of the two source pixels
    int weight;  // of the second, 0...255
};

// How one axis of the virtual destination maps onto the source: the
// destination spans source edges [origin, origin + span]; the source has
// `size` pixels to read. A whole picture has origin 0 and span = size.
struct Axis {
    double origin;
    double span;
    int size;
};

Axis wholeAxis(int size) {
    return {0.0, double(size), size};
}

// Source position of destination pixel `d` (centres aligned), for d in virtual
// destination coordinates; the result's index + 1 may be `size` only with weight 0.
Tap tapFor(int d, const Axis& axis, int dstSize) {
    const double position =
        std::clamp(axis.origin + (d + 0.5) * axis.span / dstSize - 0.5, 0.0, double(axis.size - 1));
    int index = static_cast<int>(position);
    int weight = static_cast<int>(std::lround((position - index) * kWeightOne));
    if (weight == kWeightOne) {
        ++index;
        weight = 0;
    }
    return {index, weight};
}

// out = a·(256 − weight) + b·weight, rounded, byte by byte.
void blendRowsPlain(const std::uint8_t* a, const std::uint8_t* b, int weight, std::uint8_t* out,
                    int bytes) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i wa = _mm_set1_epi16(std::int16_t(kWeightOne - weight));
    const __m128i wb = _mm_set1_epi16(std::int16_t(weight));
    const __m128i round = _mm_set1_epi16(128);
    const auto half = [&](__m128i x, __m128i y) {
        return _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(x, wa), _mm_mullo_epi16(y, wb)), round), 8);
    };
    int i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i low = half(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero));
        const __m128i high = half(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
    }
    for (; i < bytes; ++i) {
        out[i] = std::uint8_t((a[i] * (kWeightOne - weight) + b[i] * weight + 128) >> 8);
    }
}

__attribute__((target("avx2"))) __m256i blend16(__m256i x, __m256i y, __m256i wa, __m256i wb) {
    return _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(x, wa), _mm256_mullo_epi16(y, wb)),
                         _mm256_set1_epi16(128)),
        8);
}

__attribute__((target("avx2"))) int blendRowsWide(const std::uint8_t* a, const std::uint8_t* b,
                                                  int weight, std::uint8_t* out, int bytes) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i wa = _mm256_set1_epi16(std::int16_t(kWeightOne - weight));
    const __m256i wb = _mm256_set1_epi16(std::int16_t(weight));
    int i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        // Unpacking and packing both work within lanes, so the order comes back.
        const __m256i low =
            blend16(_mm256_unpacklo_epi8(x, zero), _mm256_unpacklo_epi8(y, zero), wa, wb);
        const __m256i high =
            blend16(_mm256_unpackhi_epi8(x, zero), _mm256_unpackhi_epi8(y, zero), wa, wb);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(low, high));
    }
    return i;
}

void blendRows(const std::uint8_t* a, const std::uint8_t* b, int weight, std::uint8_t* out,
               int bytes) {
    if (weight == 0) {
        std::memcpy(out, a, std::size_t(bytes));
        return;
    }
    const int done = pixel::hasAvx2() ? blendRowsWide(a, b, weight, out, bytes) : 0;
    blendRowsPlain(a + done, b + done, weight, out + done, bytes - done);
}

// One output pixel: the pair at `pixel` weighted by w (four weights of the
// first pixel, four of the second), in 16-bit lanes.
__m128i filterPair(const std::uint8_t* pixel, const std::uint16_t* w) {
    const __m128i pair = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixel));
    const __m128i weights = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
    const __m128i v = _mm_mullo_epi16(_mm_unpacklo_epi8(pair, _mm_setzero_si128()), weights);
    return _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(v, _mm_srli_si128(v, 8)), _mm_set1_epi16(128)), 8);
}

// Two output pixels per step; returns how many it did.
__attribute__((target("avx2"))) int filterColumnsWide(const std::uint8_t* row,
                                                      const std::int32_t* columns,
                                                      const std::uint16_t* weights,
                                                      std::uint8_t* dst, int n) {
    const __m256i round = _mm256_set1_epi16(128);
    const __m256i order = _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0);
    int i = 0;
    for (; i + 2 <= n; i += 2) {
        const __m128i p0 =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 4 * std::ptrdiff_t(columns[i])));
        const __m128i p1 = _mm_loadl_epi64(
            reinterpret_cast<const __m128i*>(row + 4 * std::ptrdiff_t(columns[i + 1])));
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + 8 * i));
        __m256i v = _mm256_mullo_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi64(p0, p1)), w);
        v = _mm256_add_epi16(v, _mm256_srli_si256(v, 8));
        v = _mm256_srli_epi16(_mm256_add_epi16(v, round), 8);
        const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(v, v), order);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 4 * i), _mm256_castsi256_si128(packed));
    }
    return i;
}

// dst[i] = the blend of row pixels columns[i] and columns[i] + 1 with the
// weights stored per column (four of the first pixel's, four of the second's).
void filterColumns(const std::uint8_t* row, const std::int32_t* columns,
                   const std::uint16_t* weights, std::uint8_t* dst, int n) {
    int i = pixel::hasAvx2() ? filterColumnsWide(row, columns, weights, dst, n) : 0;
    for (; i < n; ++i) {
        const __m128i v = filterPair(row + 4 * std::ptrdiff_t(columns[i]), weights + 8 * i);
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

// The source columns a clip reads: [first, first + span), with the taps stored
// relative to `first`.
struct ColumnSpan {
    int first;
    int span;
};

ColumnSpan planColumns(const PixelBox& clip, const Axis& axis, int dstWidth,
                       ScaleScratch& scratch) {
    scratch.columns.resize(std::size_t(clip.width));
    scratch.weights.resize(8 * std::size_t(clip.width));
    for (int i = 0; i < clip.width; ++i) {
        const Tap tap = tapFor(clip.x + i, axis, dstWidth);
        scratch.columns[std::size_t(i)] = tap.index;
        std::fill_n(scratch.weights.begin() + 8 * i, 4, std::uint16_t(kWeightOne - tap.weight));
        std::fill_n(scratch.weights.begin() + 8 * i + 4, 4, std::uint16_t(tap.weight));
    }
    const int first = scratch.columns.front();
    const int last = std::min(scratch.columns.back() + 1, axis.size - 1);
    for (std::int32_t& column : scratch.columns) {
        column -= first;
    }
    return {first, last - first + 1};
}

// Runs the vertical pass (`makeRow` fills span BGRA pixels for a row tap)
// and then the horizontal one into dst. The row gets a copy of its last pixel
// so every tap can read its second pixel.
template <typename MakeRow>
void filterRows(const PixelBox& clip, const Axis& rows, int dstHeight, ColumnSpan columns,
                std::uint8_t* dst, int dstStride, ScaleScratch& scratch, MakeRow makeRow) {
    std::uint8_t* row = sized(scratch.row, 4 * std::size_t(columns.span + 1));
    for (int r = 0; r < clip.height; ++r) {
        makeRow(tapFor(clip.y + r, rows, dstHeight), row);
        std::memcpy(row + 4 * columns.span, row + 4 * (columns.span - 1), 4);
        filterColumns(row, scratch.columns.data(), scratch.weights.data(),
                      dst + std::ptrdiff_t(r) * dstStride, clip.width);
    }
}

// Whether the part shown is at least twice the target in both directions.
bool halves(const Axis& x, const Axis& y, int dstWidth, int dstHeight) {
    return x.span / 2 >= dstWidth && y.span / 2 >= dstHeight;
}

// Halving a picture halves the source edges a window spans; a whole picture
// stays whole (an odd last row or column is dropped).
Axis halved(const Axis& axis, bool whole) {
    const int half = axis.size / 2;
    return whole ? wholeAxis(half) : Axis{axis.origin / 2, axis.span / 2, half};
}

void scaleBgra(const std::uint8_t* src, int srcStride, Axis x, Axis y, bool whole, int dstWidth,
               int dstHeight, const PixelBox& clip, std::uint8_t* dst, int dstStride,
               ScaleScratch& scratch) {
    // Halve while the picture stays at least as large as the target; libyuv's
    // exact 2:1 box average (an odd last row or column is dropped).
    for (int which = 0; halves(x, y, dstWidth, dstHeight) && x.size >= 2 && y.size >= 2;
         which ^= 1) {
        x = halved(x, whole);
        y = halved(y, whole);
        std::uint8_t* half =
            sized(scratch.halves[which], 4 * std::size_t(x.size) * std::size_t(y.size));
        libyuv::ARGBScale(src, srcStride, 2 * x.size, 2 * y.size, half, 4 * x.size, x.size, y.size,
                          libyuv::kFilterBox);
        src = half;
        srcStride = 4 * x.size;
    }
    const ColumnSpan columns = planColumns(clip, x, dstWidth, scratch);
    filterRows(clip, y, dstHeight, columns, dst, dstStride, scratch,
               [&](Tap tap, std::uint8_t* row) {
                   const std::uint8_t* upper =
                       src + std::ptrdiff_t(tap.index) * srcStride + 4 * columns.first;
                   // index + 1 < height whenever the weight is not 0
                   const std::uint8_t* lower = tap.weight == 0 ? upper : upper + srcStride;
                   blendRows(upper, lower, tap.weight, row, 4 * columns.span);
               });
}

// Bilinear filtering is linear, so the vertical pass runs on the Y, U and V
// rows and only the rows the output needs are converted, at the source's
// width. Equal to converting first (chroma rows are blended with the weights of
// the luma rows they serve) up to rounding.
void scaleI420(const VideoFrame& source, const PixelBox& region, const Axis& x, const Axis& y,
               int dstWidth, int dstHeight, const PixelBox& clip, std::uint8_t* dst, int dstStride,
               ScaleScratch& scratch) {
    const ColumnSpan columns = planColumns(clip, x, dstWidth, scratch);
    // Plane rows are blended over the columns read, kept at their own offsets
    // so the conversion sees whole chroma pairs.
    const int x0 = region.x + columns.first;
    const int x1 = x0 + columns.span;
    const int c0 = x0 / 2;
    const int c1 = (x1 + 1) / 2;
    std::uint8_t* luma = sized(scratch.planeRows[0], std::size_t(x1));
    std::uint8_t* u = sized(scratch.planeRows[1], std::size_t(c1));
    std::uint8_t* v = sized(scratch.planeRows[2], std::size_t(c1));
    filterRows(clip, y, dstHeight, columns, dst, dstStride, scratch,
               [&](Tap tap, std::uint8_t* row) {
                   const int y0 = region.y + tap.index;
                   const int y1 = tap.weight == 0 ? y0 : y0 + 1;
                   blendRows(source.row(0, y0) + x0, source.row(0, y1) + x0, tap.weight, luma + x0,
                             x1 - x0);
                   blendRows(source.row(1, y0 / 2) + c0, source.row(1, y1 / 2) + c0, tap.weight,
                             u + c0, c1 - c0);
                   blendRows(source.row(2, y0 / 2) + c0, source.row(2, y1 / 2) + c0, tap.weight,
                             v + c0, c1 - c0);
                   convertRowToBgra(luma, u, v, x0, columns.span, row, source.color);
               });
}

void scaleAxes(const VideoFrame& source, const PixelBox& region, const Axis& x, const Axis& y,
               bool whole, int dstWidth, int dstHeight, const PixelBox& clip, std::uint8_t* dst,
               int dstStride, ScaleScratch& scratch) {
    if (source.format == PixelFormat::i420 && !halves(x, y, dstWidth, dstHeight)) {
        scaleI420(source, region, x, y, dstWidth, dstHeight, clip, dst, dstStride, scratch);
        return;
    }
    const std::uint8_t* pixels = nullptr;
    int stride = 0;
    if (source.format == PixelFormat::bgra) {
        pixels = source.row(0, region.y) + 4 * std::ptrdiff_t(region.x);
        stride = source.stride[0];
    } else {
        stride = 4 * region.width;
        std::uint8_t* converted =
            sized(scratch.converted, std::size_t(stride) * std::size_t(region.height));
        convertRegionToBgra(source, region.x, region.y, region.width, region.height, converted,
                            stride);
        pixels = converted;
    }
    scaleBgra(pixels, stride, x, y, whole, dstWidth, dstHeight, clip, dst, dstStride, scratch);
}

}  // namespace

void scalePicture(const VideoFrame& source, const PixelBox& region, int dstWidth, int dstHeight,
                  const PixelBox& clip, std::uint8_t* dst, int dstStride, ScaleScratch& scratch) {
    if (clip.width <= 0 || clip.height <= 0 || region.width <= 0 || region.height <= 0) {
        return;
    }
    if (region.width == dstWidth && region.height == dstHeight) {
        convertRegionToBgra(source, region.x + clip.x, region.y + clip.y, clip.width, clip.height,
                            dst, dstStride);
        return;
    }
    scaleAxes(source, region, wholeAxis(region.width), wholeAxis(region.height), true, dstWidth,
              dstHeight, clip, dst, dstStride, scratch);
}

void scaleWindow(const VideoFrame& source, const SourceWindow& window, int dstWidth, int dstHeight,
                 const PixelBox& clip, std::uint8_t* dst, int dstStride, ScaleScratch& scratch) {
    if (clip.width <= 0 || clip.height <= 0 || !(window.width > 0) || !(window.height > 0) ||
        source.width <= 0 || source.height <= 0) {
        return;
    }
    // Only the pixels around the window are read: enough beyond its edges for
    // the filter's neighbours after every 2:1 step.
    const int marginX = 2 + int(std::ceil(2 * window.width / dstWidth));
    const int marginY = 2 + int(std::ceil(2 * window.height / dstHeight));
    const int x0 = std::clamp(int(std::floor(window.x)) - marginX, 0, source.width - 1);
    const int y0 = std::clamp(int(std::floor(window.y)) - marginY, 0, source.height - 1);
    const int x1 =
        std::clamp(int(std::ceil(window.x + window.width)) + marginX, x0 + 1, source.width);
    const int y1 =
        std::clamp(int(std::ceil(window.y + window.height)) + marginY, y0 + 1, source.height);
    const PixelBox region{x0, y0, x1 - x0, y1 - y0};
    scaleAxes(source, region, {window.x - x0, window.width, region.width},
              {window.y - y0, window.height, region.height}, false, dstWidth, dstHeight, clip, dst,
              dstStride, scratch);
}

}  // namespace zarvex

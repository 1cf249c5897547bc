#include "media/yuv.h"

#include <libyuv/planar_functions.h>

#include <algorithm>
#include <cstring>

// x86-64 only: SSE2 is always there, AVX2 is used when the processor has it.
#include <immintrin.h>

#include "media/pixel_ops.h"

namespace zarvex {
namespace {

// ---- BGRA → I420, BT.709 limited range, 15 fractional bits (so products
// fit the 16-bit lanes of madd). The AVX2 and plain kernels compute the same
// integers.

constexpr std::int16_t kYR = 5983, kYG = 20127, kYB = 2032;
constexpr std::int16_t kUR = -3298, kUG = -11094, kUB = 14392;
constexpr std::int16_t kVR = 14392, kVG = -13073, kVB = -1319;
constexpr std::int32_t kLumaBias = (16 << 15) + (1 << 14);
// Chroma sums four pixels: two more fractional bits.
constexpr std::int32_t kChromaBias = (128 << 17) + (1 << 16);

ZARVEX_WIDE_KERNEL void lumaRow(const std::uint8_t* bgra, std::uint8_t* y, int n) {
    for (int i = 0; i < n; ++i) {
        const std::int32_t b = bgra[4 * i], g = bgra[4 * i + 1], r = bgra[4 * i + 2];
        y[i] = std::uint8_t((kYR * r + kYG * g + kYB * b + kLumaBias) >> 15);
    }
}

// One chroma row from two BGRA rows (the same row twice for an odd last row);
// `pairs` full 2 × 2 blocks.
ZARVEX_WIDE_KERNEL void chromaRow(const std::uint8_t* row0, const std::uint8_t* row1,
                                  std::uint8_t* u, std::uint8_t* v, int pairs) {
    for (int i = 0; i < pairs; ++i) {
        const std::uint8_t* p = row0 + 8 * i;
        const std::uint8_t* q = row1 + 8 * i;
        const std::int32_t b = p[0] + p[4] + q[0] + q[4];
        const std::int32_t g = p[1] + p[5] + q[1] + q[5];
        const std::int32_t r = p[2] + p[6] + q[2] + q[6];
        u[i] = std::uint8_t((kUR * r + kUG * g + kUB * b + kChromaBias) >> 17);
        v[i] = std::uint8_t((kVR * r + kVG * g + kVB * b + kChromaBias) >> 17);
    }
}

// Per-pixel dot products of BGRA pixels (widened to 16 bits, two per 128-bit
// lane) with (b, g, r, 0) coefficients: lane-ordered sums of four pixels.
__attribute__((target("avx2"))) __m256i dot4(__m256i low, __m256i high, __m256i coefficients) {
    return _mm256_hadd_epi32(_mm256_madd_epi16(low, coefficients),
                             _mm256_madd_epi16(high, coefficients));
}

__attribute__((target("avx2"))) __m256i coefficients(std::int16_t b, std::int16_t g,
                                                     std::int16_t r) {
    return _mm256_setr_epi16(b, g, r, 0, b, g, r, 0, b, g, r, 0, b, g, r, 0);
}

// 16 pixels at a time; returns how many it did.
__attribute__((target("avx2"))) int lumaRowWide(const std::uint8_t* bgra, std::uint8_t* y, int n) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i k = coefficients(kYB, kYG, kYR);
    const __m256i bias = _mm256_set1_epi32(kLumaBias);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0);
    int x = 0;
    for (; x + 16 <= n; x += 16) {
        const __m256i p0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgra + 4 * x));
        const __m256i p1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgra + 4 * x + 32));
        // Lane 0 holds pixels 0-3 (8-11), lane 1 pixels 4-7 (12-15).
        const __m256i s0 = _mm256_srai_epi32(
            _mm256_add_epi32(
                dot4(_mm256_unpacklo_epi8(p0, zero), _mm256_unpackhi_epi8(p0, zero), k), bias),
            15);
        const __m256i s1 = _mm256_srai_epi32(
            _mm256_add_epi32(
                dot4(_mm256_unpacklo_epi8(p1, zero), _mm256_unpackhi_epi8(p1, zero), k), bias),
            15);
        const __m256i words = _mm256_packs_epi32(s0, s1);
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y + x), _mm256_castsi256_si128(bytes));
    }
    return x;
}

// The eight 2 × 2 blocks of 16 column sums (pixels 0-1, 4-5 | 2-3, 6-7 and
// 8-9, 12-13 | 10-11, 14-15 by lane), as chroma values in order.
__attribute__((target("avx2"))) __m256i chromaBlocks(__m256i low0, __m256i high0, __m256i low1,
                                                     __m256i high1, __m256i k) {
    const __m256i sums = _mm256_hadd_epi32(dot4(low0, high0, k), dot4(low1, high1, k));
    const __m256i ordered =
        _mm256_permutevar8x32_epi32(sums, _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
    return _mm256_srai_epi32(_mm256_add_epi32(ordered, _mm256_set1_epi32(kChromaBias)), 17);
}

// 8 chroma pairs (16 pixels of two rows) at a time; returns how many pairs it did.
__attribute__((target("avx2"))) int chromaRowWide(const std::uint8_t* row0,
                                                  const std::uint8_t* row1, std::uint8_t* u,
                                                  std::uint8_t* v, int pairs) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ku = coefficients(kUB, kUG, kUR);
    const __m256i kv = coefficients(kVB, kVG, kVR);
    const __m256i planeOrder = _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0);
    int i = 0;
    for (; i + 8 <= pairs; i += 8) {
        const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row0 + 8 * i));
        const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row0 + 8 * i + 32));
        const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row1 + 8 * i));
        const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row1 + 8 * i + 32));
        // Column sums of the two rows, 16 bits wide.
        const __m256i low0 =
            _mm256_add_epi16(_mm256_unpacklo_epi8(a0, zero), _mm256_unpacklo_epi8(b0, zero));
        const __m256i high0 =
            _mm256_add_epi16(_mm256_unpackhi_epi8(a0, zero), _mm256_unpackhi_epi8(b0, zero));
        const __m256i low1 =
            _mm256_add_epi16(_mm256_unpacklo_epi8(a1, zero), _mm256_unpacklo_epi8(b1, zero));
        const __m256i high1 =
            _mm256_add_epi16(_mm256_unpackhi_epi8(a1, zero), _mm256_unpackhi_epi8(b1, zero));
        const __m256i cu = chromaBlocks(low0, high0, low1, high1, ku);
        const __m256i cv = chromaBlocks(low0, high0, low1, high1, kv);
        const __m256i words = _mm256_packs_epi32(cu, cv);
        const __m256i bytes =
            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), planeOrder);
        const __m128i both = _mm256_castsi256_si128(bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + i), both);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + i), _mm_unpackhi_epi64(both, both));
    }
    return i;
}

// ---- I420 → BGRA.
//
// 16-bit fixed point: Y enters as Y << 8 and chroma as (C − 128) << 8; the
// coefficients carry 13 fractional bits, so each product's high half has 5
// fractional bits, and no sum leaves the int16 range.

struct YuvCoefficients {
    std::int16_t luma;        // scale of Y
    std::int16_t lumaOffset;  // Y offset × scale × 32, less the rounding half
    std::int16_t redFromV;
    std::int16_t greenFromU;
    std::int16_t greenFromV;
    std::int16_t blueFromU;
};

constexpr std::int16_t fixed13(double v) {
    return static_cast<std::int16_t>(v * 8192 + 0.5);
}

// Kr, Kb of the matrix; limited range scales Y by 255/219 and chroma by 255/224.
constexpr YuvCoefficients coefficientsFor(double kr, double kb, bool limited) {
    const double kg = 1 - kr - kb;
    const double yScale = limited ? 255.0 / 219.0 : 1.0;
    const double cScale = limited ? 255.0 / 224.0 : 1.0;
    const double offset = limited ? 16 * yScale * 32 : 0;
    return {fixed13(yScale),
            static_cast<std::int16_t>(offset + 0.5 - 16),
            fixed13(2 * (1 - kr) * cScale),
            fixed13(2 * (1 - kb) * kb / kg * cScale),
            fixed13(2 * (1 - kr) * kr / kg * cScale),
            fixed13(2 * (1 - kb) * cScale)};
}

constexpr YuvCoefficients kBt601Limited = coefficientsFor(0.299, 0.114, true);
constexpr YuvCoefficients kBt601Full = coefficientsFor(0.299, 0.114, false);
constexpr YuvCoefficients kBt709Limited = coefficientsFor(0.2126, 0.0722, true);
constexpr YuvCoefficients kBt709Full = coefficientsFor(0.2126, 0.0722, false);

const YuvCoefficients& coefficientsFor(const ColorTags& tags) {
    const bool full = tags.range == YuvRange::full;
    if (tags.matrix == YuvMatrix::bt601) {
        return full ? kBt601Full : kBt601Limited;
    }
    return full ? kBt709Full : kBt709Limited;
}

// 8 pixels from 8 Y and 4 U, V samples (SSE2, present on every x86-64).
void yuvToBgra8(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                std::uint8_t* out, const YuvCoefficients& k) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c128 = _mm_set1_epi16(128);
    std::int32_t u4 = 0;
    std::int32_t v4 = 0;
    std::memcpy(&u4, u, 4);
    std::memcpy(&v4, v, 4);
    const __m128i luma =
        _mm_unpacklo_epi8(zero, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)));
    __m128i cu = _mm_unpacklo_epi8(_mm_cvtsi32_si128(u4), zero);
    __m128i cv = _mm_unpacklo_epi8(_mm_cvtsi32_si128(v4), zero);
    cu = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi16(cu, cu), c128), 8);
    cv = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi16(cv, cv), c128), 8);
    const __m128i l =
        _mm_sub_epi16(_mm_mulhi_epu16(luma, _mm_set1_epi16(k.luma)), _mm_set1_epi16(k.lumaOffset));
    const __m128i r =
        _mm_srai_epi16(_mm_add_epi16(l, _mm_mulhi_epi16(cv, _mm_set1_epi16(k.redFromV))), 5);
    const __m128i g = _mm_srai_epi16(
        _mm_sub_epi16(_mm_sub_epi16(l, _mm_mulhi_epi16(cu, _mm_set1_epi16(k.greenFromU))),
                      _mm_mulhi_epi16(cv, _mm_set1_epi16(k.greenFromV))),
        5);
    const __m128i b =
        _mm_srai_epi16(_mm_add_epi16(l, _mm_mulhi_epi16(cu, _mm_set1_epi16(k.blueFromU))), 5);
    const __m128i bg = _mm_unpacklo_epi8(_mm_packus_epi16(b, b), _mm_packus_epi16(g, g));
    const __m128i ra = _mm_unpacklo_epi8(_mm_packus_epi16(r, r), _mm_set1_epi8(-1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(bg, ra));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(bg, ra));
}

// The same arithmetic 16 pixels at a time; returns how many pixels it did.
__attribute__((target("avx2"))) int yuvToBgraWide(const std::uint8_t* y, const std::uint8_t* u,
                                                  const std::uint8_t* v, std::uint8_t* out,
                                                  int width, const YuvCoefficients& k) {
    const __m256i luma = _mm256_set1_epi16(k.luma);
    const __m256i offset = _mm256_set1_epi16(k.lumaOffset);
    const __m256i redFromV = _mm256_set1_epi16(k.redFromV);
    const __m256i greenFromU = _mm256_set1_epi16(k.greenFromU);
    const __m256i greenFromV = _mm256_set1_epi16(k.greenFromV);
    const __m256i blueFromU = _mm256_set1_epi16(k.blueFromU);
    const __m256i c128 = _mm256_set1_epi16(128);
    const __m256i opaque = _mm256_set1_epi8(-1);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2));
        const __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2));
        const __m256i yy = _mm256_slli_epi16(
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x))), 8);
        const __m256i cu = _mm256_slli_epi16(
            _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(u8, u8)), c128), 8);
        const __m256i cv = _mm256_slli_epi16(
            _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(v8, v8)), c128), 8);
        const __m256i l = _mm256_sub_epi16(_mm256_mulhi_epu16(yy, luma), offset);
        const __m256i r =
            _mm256_srai_epi16(_mm256_add_epi16(l, _mm256_mulhi_epi16(cv, redFromV)), 5);
        const __m256i g = _mm256_srai_epi16(
            _mm256_sub_epi16(_mm256_sub_epi16(l, _mm256_mulhi_epi16(cu, greenFromU)),
                             _mm256_mulhi_epi16(cv, greenFromV)),
            5);
        const __m256i b =
            _mm256_srai_epi16(_mm256_add_epi16(l, _mm256_mulhi_epi16(cu, blueFromU)), 5);
        const __m256i bg =
            _mm256_unpacklo_epi8(_mm256_packus_epi16(b, b), _mm256_packus_epi16(g, g));
        const __m256i ra = _mm256_unpacklo_epi8(_mm256_packus_epi16(r, r), opaque);
        // Unpacking works within 128-bit lanes: reorder the four groups of four pixels.
        const __m256i low = _mm256_unpacklo_epi16(bg, ra);
        const __m256i high = _mm256_unpackhi_epi16(bg, ra);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x),
                            _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x + 32),
                            _mm256_permute2x128_si256(low, high, 0x31));
    }
    return x;
}

// Pixels [x, x + n) of one row, x even, n < 8, through padded copies.
void yuvToBgraTail(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                   std::uint8_t* out, int n, const YuvCoefficients& k) {
    std::uint8_t ys[8] = {};
    std::uint8_t us[4] = {};
    std::uint8_t vs[4] = {};
    std::uint8_t pixels[32];
    std::memcpy(ys, y, std::size_t(n));
    std::memcpy(us, u, std::size_t(n + 1) / 2);
    std::memcpy(vs, v, std::size_t(n + 1) / 2);
    yuvToBgra8(ys, us, vs, pixels, k);
    std::memcpy(out, pixels, 4 * std::size_t(n));
}

// Row pixels [x, x + width) of an I420 row whose chroma rows are u and v.
void yuvRowToBgra(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, int x,
                  int width, std::uint8_t* out, const YuvCoefficients& k) {
    if (x % 2 != 0 && width > 0) {
        // The first pixel is the right half of its chroma pair.
        std::uint8_t pair[8];
        yuvToBgraTail(y + x - 1, u + x / 2, v + x / 2, pair, 2, k);
        std::memcpy(out, pair + 4, 4);
        ++x;
        --width;
        out += 4;
    }
    y += x;
    u += x / 2;
    v += x / 2;
    int done = pixel::hasAvx2() ? yuvToBgraWide(y, u, v, out, width, k) : 0;
    for (; done + 8 <= width; done += 8) {
        yuvToBgra8(y + done, u + done / 2, v + done / 2, out + 4 * done, k);
    }
    if (done < width) {
        yuvToBgraTail(y + done, u + done / 2, v + done / 2, out + 4 * done, width - done, k);
    }
}

}  // namespace

void convertToI420(const VideoFrame& bgra, VideoFrame& i420) {
    convertRegionToI420(bgra, i420, 0, 0, std::min(bgra.width, i420.width),
                        std::min(bgra.height, i420.height));
}

void convertRegionToI420(const VideoFrame& bgra, VideoFrame& i420, int x, int y0, int width,
                         int height) {
    const int frameWidth = std::min(bgra.width, i420.width);
    const int frameHeight = std::min(bgra.height, i420.height);
    width = std::min(width, frameWidth - x);
    const int end = std::min(y0 + height, frameHeight);
    const int pairs = width / 2;
    const bool wide = pixel::hasAvx2();
    for (int y = y0; y < end; y += 2) {
        const std::uint8_t* row0 = bgra.row(0, y) + 4 * std::ptrdiff_t(x);
        const std::uint8_t* row1 =
            y + 1 < frameHeight ? bgra.row(0, y + 1) + 4 * std::ptrdiff_t(x) : row0;
        for (int r = y; r < std::min(y + 2, frameHeight); ++r) {
            const std::uint8_t* row = r == y ? row0 : row1;
            std::uint8_t* luma = i420.row(0, r) + x;
            const int done = wide ? lumaRowWide(row, luma, width) : 0;
            lumaRow(row + 4 * done, luma + done, width - done);
        }
        std::uint8_t* u = i420.row(1, y / 2) + x / 2;
        std::uint8_t* v = i420.row(2, y / 2) + x / 2;
        const int done = wide ? chromaRowWide(row0, row1, u, v, pairs) : 0;
        chromaRow(row0 + 8 * done, row1 + 8 * done, u + done, v + done, pairs - done);
        if (width % 2 != 0) {
            // The odd last column pairs with itself.
            const std::uint8_t* p = row0 + 4 * (width - 1);
            const std::uint8_t* q = row1 + 4 * (width - 1);
            const std::uint8_t last0[8] = {p[0], p[1], p[2], 0, p[0], p[1], p[2], 0};
            const std::uint8_t last1[8] = {q[0], q[1], q[2], 0, q[0], q[1], q[2], 0};
            chromaRow(last0, last1, u + pairs, v + pairs, 1);
        }
    }
}

void convertRowToBgra(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, int x,
                      int width, std::uint8_t* out, const ColorTags& tags) {
    yuvRowToBgra(y, u, v, x, width, out, coefficientsFor(tags));
}

void convertRegionToBgra(const VideoFrame& source, int x, int y, int width, int height,
                         std::uint8_t* dst, int dstStride) {
    if (source.format == PixelFormat::bgra) {
        libyuv::ARGBCopy(source.row(0, y) + 4 * std::ptrdiff_t(x), source.stride[0], dst, dstStride,
                         width, height);
        return;
    }
    const YuvCoefficients& k = coefficientsFor(source.color);
    for (int r = 0; r < height; ++r) {
        const int row = y + r;
        yuvRowToBgra(source.row(0, row), source.row(1, row / 2), source.row(2, row / 2), x, width,
                     dst + std::ptrdiff_t(r) * dstStride, k);
    }
}

}  // namespace zarvex

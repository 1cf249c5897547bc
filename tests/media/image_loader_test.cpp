#include "media/image_loader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::TempDir;

void put16(std::string& out, int value) {
    out.push_back(char(value & 0xFF));
    out.push_back(char((value >> 8) & 0xFF));
}
void put32(std::string& out, std::int64_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(char((value >> (8 * i)) & 0xFF));
    }
}

// A 24-bit bottom-up BMP whose pixels come from `colorAt(x, y)` (y from the top).
template <class ColorAt>
std::string makeBmp(int width, int height, ColorAt colorAt) {
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    std::string file = "BM";
    put32(file, 54 + rowBytes * height);
    put32(file, 0);
    put32(file, 54);
    put32(file, 40);
    put32(file, width);
    put32(file, height);
    put16(file, 1);
    put16(file, 24);
    put32(file, 0);
    put32(file, rowBytes * height);
    put32(file, 2835);
    put32(file, 2835);
    put32(file, 0);
    put32(file, 0);
    for (int y = height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = colorAt(x, y);
            row.push_back(char(rgb & 0xFF));
            row.push_back(char((rgb >> 8) & 0xFF));
            row.push_back(char((rgb >> 16) & 0xFF));
        }
        row.resize(rowBytes, '\0');
        file += row;
    }
    return file;
}

TEST(LoadImage, DecodesBmpIntoOpaqueBgraTopRowFirst) {
    TempDir dir;
    // Left half red, right half blue; the top row green so orientation shows.
    const std::string bmp = makeBmp(6, 4, [](int x, int y) -> std::uint32_t {
        if (y == 0)
            return 0x00FF00;
        return x < 3 ? 0xFF0000 : 0x0000FF;
    });
    testing::writeText(dir / "odd.bmp", bmp);

    const auto image = loadImage(dir / "odd.bmp");
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->format, PixelFormat::bgra);
    EXPECT_EQ(image->width, 6);
    EXPECT_EQ(image->height, 4);
    auto pixel = [&](int x, int y) {
        const std::uint8_t* p = image->row(0, y) + 4 * x;
        return std::vector<int>{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(pixel(0, 0), (std::vector<int>{0, 255, 0, 255}));
    EXPECT_EQ(pixel(0, 3), (std::vector<int>{0, 0, 255, 255}));
    EXPECT_EQ(pixel(5, 3), (std::vector<int>{255, 0, 0, 255}));
}

TEST(LoadImage, NothingForMissingEmptyOrGarbageFiles) {
    TempDir dir;
    EXPECT_FALSE(loadImage(dir / "missing.png").has_value());
    testing::writeText(dir / "empty.png", "");
    EXPECT_FALSE(loadImage(dir / "empty.png").has_value());
    testing::writeText(dir / "garbage.png", std::string(4096, '\x5A'));
    EXPECT_FALSE(loadImage(dir / "garbage.png").has_value());
    // A BMP header that promises more pixels than the file holds.
    std::string truncated = makeBmp(64, 64, [](int, int) { return 0x123456u; });
    truncated.resize(200);
    testing::writeText(dir / "truncated.bmp", truncated);
    EXPECT_FALSE(loadImage(dir / "truncated.bmp").has_value());
    EXPECT_FALSE(loadImage(dir.path()).has_value());
}

}  // namespace
}  // namespace zarvex

#include "media/image_loader.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "media_fixtures.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::TempDir;

TEST(LoadImage, DecodesIntoOpaqueBgraTopRowFirstNothingFromBrokenFilesOrUrls) {
    TempDir dir;
    // Left half red, right half blue; the top row green so orientation shows.
    testing::writeText(dir / "odd.bmp", testing::bmpFile(6, 4, [](int x, int y) {
                           return y == 0 ? 0x00FF00u : x < 3 ? 0xFF0000u : 0x0000FFu;
                       }));
    const auto image = loadImage(dir / "odd.bmp");
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->format, PixelFormat::bgra);
    EXPECT_EQ(image->width, 6);
    EXPECT_EQ(image->height, 4);
    const auto pixel = [&](int x, int y) {
        const std::uint8_t* p = image->row(0, y) + 4 * x;
        return std::vector<int>{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(pixel(0, 0), (std::vector<int>{0, 255, 0, 255}));
    EXPECT_EQ(pixel(0, 3), (std::vector<int>{0, 0, 255, 255}));
    EXPECT_EQ(pixel(5, 3), (std::vector<int>{255, 0, 0, 255}));

    // Nothing for missing, empty, truncated or garbage files.
    testing::writeText(dir / "empty.png", "");
    testing::writeText(dir / "garbage.png", std::string(4096, '\x5A'));
    // A BMP header that promises more pixels than the file holds.
    testing::writeText(dir / "truncated.bmp",
                       testing::bmpFile(64, 64, [](int, int) { return 0x123456u; }).substr(0, 200));
    for (const auto& path : {dir / "missing.png", dir / "empty.png", dir / "garbage.png",
                             dir / "truncated.bmp", dir.path()}) {
        EXPECT_FALSE(loadImage(path).has_value()) << path;
    }

    // URLs are file names that do not exist: nothing is fetched from the network.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    // Any connection is noted and hung up at once, so a fetch fails fast.
    std::atomic<int> connections{0};
    std::atomic<bool> done{false};
    std::thread server([&] {
        while (!done) {
            pollfd waiting{listener, POLLIN, 0};
            if (::poll(&waiting, 1, 20) > 0) {
                ::close(::accept(listener, nullptr, nullptr));
                ++connections;
            }
        }
    });
    for (const std::string& url :
         {"http://" + host + "/bg.png", "tcp://" + host, "concat:http://" + host + "/a.png"}) {
        EXPECT_FALSE(loadImage(url).has_value()) << url;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    done = true;
    server.join();
    ::close(listener);
    EXPECT_EQ(connections, 0);

    testing::writeText(dir / "a:b.bmp", testing::bmpFile(2, 2, [](int, int) { return 0xFFu; }));
    EXPECT_TRUE(loadImage(dir / "a:b.bmp").has_value());
}

// Image backgrounds are local files: a URL is a file name that does not exist,
// and nothing is fetched from the network.

}  // namespace
}  // namespace zarvex

#include "model/file_io.h"

#include <cerrno>

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using testing::readText;
using testing::TempDir;
using testing::writeText;

std::size_t entryCount(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(AtomicWrite, ReplacesContentOrKeepsTheOldTargetAndLeavesNothingBehind) {
    TempDir dir;
    writeFileAtomically(dir / "a.json", "first, longer");
    writeFileAtomically(dir / "a.json", "2");
    EXPECT_EQ(readText(dir / "a.json"), "2");
    EXPECT_EQ(entryCount(dir.path()), 1u);

    // A non-empty folder at the target: the final rename must fail.
    std::filesystem::create_directory(dir / "target");
    writeText(dir / "target" / "keep", "precious");
    EXPECT_THROW(writeFileAtomically(dir / "target", "new"), FileError);
    EXPECT_EQ(readText(dir / "target" / "keep"), "precious");
    EXPECT_EQ(entryCount(dir.path()), 2u);
    EXPECT_THROW(writeFileAtomically(dir / "no" / "such.json", "x"), FileError);

    // Reading reports the system's reason.
    const auto error = testing::thrown<FileError>([&] { readFile(dir / "missing.json"); });
    EXPECT_EQ(error.value().errorNumber(), ENOENT);
    EXPECT_NE(std::string(error->what()).find("missing.json"), std::string::npos);
    const std::string big(200000, 'x');
    writeText(dir / "big", big);
    EXPECT_EQ(readFile(dir / "big"), big);
}

}  // namespace
}  // namespace zarvex

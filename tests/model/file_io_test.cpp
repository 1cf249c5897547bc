#include "model/file_io.h"

#include <cerrno>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::readText;
using testing::TempDir;
using testing::writeText;

std::size_t entryCount(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(AtomicWrite, ReplacesContentAndLeavesNothingBehind) {
    TempDir dir;
    writeFileAtomically(dir / "a.json", "first");
    writeFileAtomically(dir / "a.json", "second, longer");
    writeFileAtomically(dir / "a.json", "3");
    EXPECT_EQ(readText(dir / "a.json"), "3");
    EXPECT_EQ(entryCount(dir.path()), 1u);
}

TEST(AtomicWrite, FailureKeepsTheOldTargetAndRemovesTheTemporaryFile) {
    TempDir dir;
    // A non-empty folder at the target: the final rename must fail.
    std::filesystem::create_directory(dir / "target");
    writeText(dir / "target" / "keep", "precious");
    EXPECT_THROW(writeFileAtomically(dir / "target", "new"), FileError);
    EXPECT_EQ(readText(dir / "target" / "keep"), "precious");
    EXPECT_EQ(entryCount(dir.path()), 1u);
    // A missing parent folder.
    EXPECT_THROW(writeFileAtomically(dir / "no" / "such.json", "x"), FileError);
}

TEST(ReadFile, ReportsTheSystemReason) {
    TempDir dir;
    try {
        readFile(dir / "missing.json");
        FAIL();
    } catch (const FileError& error) {
        EXPECT_EQ(error.errorNumber(), ENOENT);
        EXPECT_NE(std::string(error.what()).find("missing.json"), std::string::npos);
    }
    std::string big(200000, 'x');
    writeText(dir / "big", big);
    EXPECT_EQ(readFile(dir / "big"), big);
}

TEST(ContainedPath, OnlyRelativeNamesWithoutParentSteps) {
    EXPECT_TRUE(isContainedRelativePath("screen.mov"));
    EXPECT_TRUE(isContainedRelativePath("sub/dir/file.mov"));
    EXPECT_TRUE(isContainedRelativePath("..hidden"));
    EXPECT_FALSE(isContainedRelativePath(""));
    EXPECT_FALSE(isContainedRelativePath("/abs/file.mov"));
    EXPECT_FALSE(isContainedRelativePath(".."));
    EXPECT_FALSE(isContainedRelativePath("sub/../../x"));
    EXPECT_FALSE(isContainedRelativePath("sub/.."));
}

}  // namespace
}  // namespace zarvex

#include "render/export_naming.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>

namespace zarvex {
namespace {

// 14:05:09 local time on 2 March 2025.
std::chrono::system_clock::time_point demoTime() {
    std::tm local{};
    local.tm_year = 2025 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 2;
    local.tm_hour = 14;
    local.tm_min = 5;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

TEST(ExportPattern, AbsentOrEmptyMeansTheNameTokensAreReplacedLiterallyInLocalTime) {
    MemoryKeyValueStore store;
    Preferences preferences(store);
    EXPECT_EQ(storedExportPattern(preferences), "{{name}}");
    preferences.setExportFilenamePattern("");
    EXPECT_EQ(storedExportPattern(preferences), "{{name}}");
    EXPECT_EQ(proposedExportFileName(storedExportPattern(preferences), "Demo"), "Demo.mp4");

    // The date and time are local.
    EXPECT_EQ(expandExportPattern("{{datetime}} {{name}}", "Demo", demoTime(), "U") + ".mp4",
              "2025-03-02 14.05.09 Demo.mp4");
    EXPECT_EQ(formatExportDateTime(demoTime() + std::chrono::milliseconds(999)),
              "2025-03-02 14.05.09");

    // Every occurrence is replaced literally; the rest is kept.
    const auto now = demoTime();
    EXPECT_EQ(expandExportPattern("{{name}}-{{name}}", "a", now, "U"), "a-a");
    EXPECT_EQ(expandExportPattern("{{Name}} {{unknown}} {{uuid}}", "a", now, "U"),
              "{{Name}} {{unknown}} {{uuid}}");
    EXPECT_EQ(expandExportPattern("clips/{{name}}:x", "a", now, "U"), "clips/a:x");
    EXPECT_EQ(expandExportPattern("", "a", now, "U"), "");
    // In order: a name holding a later token gets that token expanded too.
    EXPECT_EQ(expandExportPattern("{{name}}", "{{UUID}}", now, "U"), "U");
    // One upper-case UUID for all occurrences.
    const std::string expanded = expandExportPattern("{{UUID}}/{{UUID}}", "a");
    const std::regex form(
        "([0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12})/\\1");
    EXPECT_TRUE(std::regex_match(expanded, form)) << expanded;
    EXPECT_NE(makeUUIDString(), makeUUIDString());
}

}  // namespace
}  // namespace zarvex

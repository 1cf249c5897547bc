#include "capture/recording_folder.h"

#include <sys/stat.h>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>

#include <cerrno>
#include <ctime>

#include "model/file_io.h"

namespace zarvex {
namespace {

constexpr const char* kFolderPrefix = "Zarvex ";
constexpr const char* kDatePattern = "yyyy-MM-dd 'at' h.mm.ss a";
// Far more than can be started in one second; bounds the search.
constexpr int kMaxSuffix = 100000;

std::filesystem::path candidate(const std::filesystem::path& directory, const std::string& name,
                                int number) {
    return directory / (number == 1 ? name : name + " " + std::to_string(number));
}

// The same pattern in English, should ICU's locale data be missing.
std::string fallbackDate(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char day[32];
    char rest[32];
    std::strftime(day, sizeof day, "%Y-%m-%d at ", &local);
    std::strftime(rest, sizeof rest, ".%M.%S %p", &local);
    const int hour = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    return day + std::to_string(hour) + rest;
}

}  // namespace

std::string recordingFolderName(std::chrono::system_clock::time_point time) {
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat format(icu::UnicodeString::fromUTF8(kDatePattern), status);
    std::string date;
    if (U_SUCCESS(status)) {
        const auto milliseconds =
            std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
        icu::UnicodeString text;
        format.format(static_cast<UDate>(milliseconds.count()), text);
        text.toUTF8String(date);
    } else {
        date = fallbackDate(time);
    }
    // A folder name cannot hold a slash; no locale is expected to put one in
    // its day-period names, but a name must never become a path.
    for (char& c : date) {
        if (c == '/') {
            c = '-';
        }
    }
    return kFolderPrefix + date;
}

std::filesystem::path freeRecordingFolder(const std::filesystem::path& directory,
                                          const std::string& name) {
    for (int number = 1; number < kMaxSuffix; ++number) {
        std::filesystem::path folder = candidate(directory, name, number);
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(folder, error))) {
            return folder;
        }
    }
    return candidate(directory, name, kMaxSuffix);
}

std::filesystem::path createRecordingFolder(const std::filesystem::path& directory,
                                            const std::string& name) {
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    for (int number = 1;; ++number) {
        std::filesystem::path folder = candidate(directory, name, number);
        if (::mkdir(folder.c_str(), 0777) == 0) {
            return folder;
        }
        if (errno != EEXIST || number >= kMaxSuffix) {
            throw FileError(folder, "create", errno);
        }
    }
}

}  // namespace zarvex

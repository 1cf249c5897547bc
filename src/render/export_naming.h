#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "model/preferences.h"

namespace zarvex {

// The export file-name pattern the user stored; "{{name}}" when absent or empty.
std::string storedExportPattern(const Preferences& preferences);

// Replaces, in this order and literally (case-sensitive, every occurrence):
// "{{name}}" by `name`, "{{datetime}}" by `now` as "yyyy-MM-dd HH.mm.ss" in the
// local time zone, "{{UUID}}" by `uuid`. Everything else, unknown tokens and
// slashes included, stays as written.
std::string expandExportPattern(std::string_view pattern, std::string_view name,
                                std::chrono::system_clock::time_point now, std::string_view uuid);
// The same with the current time and one new upper-case UUID.
std::string expandExportPattern(std::string_view pattern, std::string_view name);

// The proposed file name of an export: the expanded pattern and ".mp4".
std::string proposedExportFileName(std::string_view pattern, std::string_view recordingName);

// "yyyy-MM-dd HH.mm.ss" in the default locale and time zone.
std::string formatExportDateTime(std::chrono::system_clock::time_point time);

// A new random (version 4) UUID in its canonical upper-case text form.
std::string makeUUIDString();

}  // namespace zarvex

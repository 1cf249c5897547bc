// Fuzz target for the decoders of user files (project.json, events.json,
// presets.json). Built as a libFuzzer target with clang, and otherwise as a
// short deterministic mutation run that the unit tests execute under the
// sanitizers.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/presets.h"
#include "model/project.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const auto meta = zarvex::decodeProjectFile(text);
        zarvex::encodeProjectFile(meta);
    } catch (const std::exception&) {
    }
    try {
        zarvex::encodeEventsFile(zarvex::decodeEventsFile(text));
    } catch (const std::exception&) {
    }
    try {
        zarvex::encodePresetsFile(zarvex::decodePresetsFile(text));
    } catch (const std::exception&) {
    }
    return 0;
}

// A small stand-in for libFuzzer where it is not available: feeds valid files
// and many deterministic byte-level mutations of them to the fuzz target.

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "model/presets.h"
#include "model/project.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::string> seeds() {
    zarvex::ProjectMeta meta;
    meta.webcamFile = "webcam.mov";
    meta.eventsFile = "events.json";
    meta.style = zarvex::StyleSettings{};
    meta.style->webcam.positionX = 0.5;
    meta.style->webcam.positionY = 0.5;
    meta.trimStart = 1;
    zarvex::RecordedEvents events;
    events.clicks = {{1.25, 0.5, 0.25}, {2, 0, 1}};
    zarvex::StyleSettings solid;
    solid.background = zarvex::BackgroundStyle::solid("#1D1D1F");
    solid.clickRipples = false;
    return {zarvex::encodeProjectFile(meta), zarvex::encodeEventsFile(events),
            zarvex::encodePresetsFile({{"Default", solid}, {"Image", {}}})};
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 20000;
    std::mt19937 random(1234);
    const auto corpus = seeds();
    const std::string alphabet = "{}[]\":,0123456789.-eE truefalsnl\\u#_";
    for (int i = 0; i < iterations; ++i) {
        std::string input = corpus[random() % corpus.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits && !input.empty(); ++e) {
            const std::size_t at = random() % input.size();
            switch (random() % 4) {
                case 0:
                    input[at] = alphabet[random() % alphabet.size()];
                    break;
                case 1:
                    input.erase(at, 1 + random() % 16);
                    break;
                case 2:
                    input.insert(at, 1, static_cast<char>(random() % 256));
                    break;
                default:
                    input.insert(at, input.substr(random() % input.size(), random() % 32));
                    break;
            }
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
    std::printf("%d inputs decoded without a crash\n", iterations);
    return 0;
}

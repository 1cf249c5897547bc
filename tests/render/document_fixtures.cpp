#include "document_fixtures.h"

#include <gtest/gtest.h>

#include "media/movie_writer.h"
#include "media_fixtures.h"

namespace zarvex::testing {

void writeMovieWithoutVideo(const std::filesystem::path& path) {
    MovieWriter writer(path, MovieFileType::quickTimeMovie);
    AudioWriterInput& audio = writer.addAudioInput({});
    writer.startWriting();
    writer.startSession(MediaTime::zero());
    const std::vector<float> tone = toneSamples(440, 4800);
    audio.append({tone.data(), 4800}, MediaTime::zero());
    writer.finishWriting();
}

StyleSettings fallbackStyle() {
    StyleSettings style;
    style.cornerRadius = 5;
    style.background = BackgroundStyle::solid("#123456");
    return style;
}

OpenDocument openDocument(const std::filesystem::path& folder) {
    coreApplication();
    OpenDocument open;
    open.scheduler = std::make_shared<ManualScheduler>();
    auto player = std::make_unique<StillFramePlayer>();
    open.player = player.get();
    ProjectDocument::Services services;
    services.player = std::move(player);
    services.scheduler = open.scheduler;
    services.styleForNewRecording = fallbackStyle;
    open.document = std::make_unique<ProjectDocument>(folder, std::move(services));
    return open;
}

OpenDocument loadDocument(const std::filesystem::path& folder) {
    OpenDocument open = openDocument(folder);
    bool done = false;
    open->load([&] { done = true; });
    EXPECT_TRUE(processEventsUntil([&] { return done; }));
    EXPECT_TRUE(open->isLoaded()) << open->errorMessage().value_or("");
    return open;
}

std::vector<double> exportAndWait(const OpenDocument& open, const std::filesystem::path& to,
                                  const ExportOptions& options,
                                  const std::function<void()>& whileRunning) {
    bool done = false;
    std::vector<double> seen;
    open->exportTo(to, options, [&] { done = true; });
    EXPECT_TRUE(processEventsUntil([&] {
        if (open->exportProgress()) {
            seen.push_back(*open->exportProgress());
            if (whileRunning) {
                whileRunning();
            }
        }
        open.scheduler->advance(std::chrono::milliseconds(200));
        return done;
    }));
    return seen;
}

}  // namespace zarvex::testing

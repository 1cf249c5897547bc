#include "render/qt_playback.h"

#include "render/off_main_thread.h"
#include "render/qt_audio_output.h"
#include "render/qt_main_thread.h"
#include "render/qt_task_scheduler.h"

namespace zarvex {

std::unique_ptr<PlaybackEngine> makeQtPlaybackEngine(std::shared_ptr<TaskScheduler> scheduler) {
    PlaybackEngine::Services services;
    services.scheduler = scheduler ? std::move(scheduler) : std::make_shared<QtTaskScheduler>();
    services.postToMainThread = qtMainThreadPoster();
    services.audioOutput = [] { return makeQtAudioOutput(); };
    services.retire = retireOffMainThread;
    return std::make_unique<PlaybackEngine>(std::move(services));
}

}  // namespace zarvex

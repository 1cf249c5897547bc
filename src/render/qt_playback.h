#pragma once

#include <memory>

#include "render/playback_engine.h"

namespace zarvex {

// The player engine wired to Qt: timers and posted work on the main event
// loop, sound through Qt Multimedia (silent when no device can play). Call on
// the main thread with a QCoreApplication running; `scheduler` empty: Qt timers.
std::unique_ptr<PlaybackEngine> makeQtPlaybackEngine(std::shared_ptr<TaskScheduler> scheduler = {});

}  // namespace zarvex

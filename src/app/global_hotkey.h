#pragma once

#include <functional>

#include "model/preferences.h"

namespace zarvex {

// Port: one system-wide key combination for this program.
//
// Threads: main thread only; onPressed is called there, once per press (a
// key held down does not repeat it).
class GlobalHotkey {
  public:
    virtual ~GlobalHotkey() = default;
    // Lets go of what was held and takes `hotkey`; false when its key is not
    // known or another program holds the combination (then nothing is held).
    virtual bool grab(const Hotkey& hotkey) = 0;
    virtual void release() = 0;

    std::function<void()> onPressed;
};

}  // namespace zarvex

#pragma once

#include <cstdint>
#include <functional>

namespace zarvex {

// A key with modifiers: an X keysym (lower case for letters) and the stored
// modifier bits (command 256, shift 512, option 2048, control 4096).
struct KeyCombination {
    std::uint32_t keysym = 0;
    std::uint32_t modifiers = 0;
    bool operator==(const KeyCombination&) const = default;
};

// Port: one system-wide key combination for this program.
//
// Threads: main thread only; onPressed is called there, once per press (a
// key held down does not repeat it).
class GlobalHotkey {
  public:
    virtual ~GlobalHotkey() = default;
    // Lets go of what was held and takes `keys`; false when the keyboard has
    // no such key or another program holds the combination (then nothing is
    // held).
    virtual bool grab(const KeyCombination& keys) = 0;
    virtual void release() = 0;

    std::function<void()> onPressed;
};

}  // namespace zarvex

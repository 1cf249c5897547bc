#pragma once

#include <functional>

namespace zarvex {

// Runs work on the thread of the QCoreApplication (the main thread) from its
// event loop; the returned function may be called from any thread. Work
// posted once the application is gone is dropped.
std::function<void(std::function<void()>)> qtMainThreadPoster();

}  // namespace zarvex

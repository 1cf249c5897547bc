#pragma once

#include <functional>
#include <string>
#include <thread>

namespace zarvex {

// Starts `body` on a new thread carrying `name`, as shown by top -H, gdb and
// /proc/<pid>/task/*/comm. Each capture queue is one such thread. The kernel
// keeps at most 15 bytes of a name; longer names are cut there.
std::thread startNamedThread(const std::string& name, std::function<void()> body);

// The calling thread's name; empty when it cannot be read.
std::string currentThreadName();

}  // namespace zarvex

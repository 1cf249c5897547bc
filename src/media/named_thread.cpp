#include "media/named_thread.h"

#include <pthread.h>

#include <array>

namespace zarvex {
namespace {

constexpr std::size_t kMaxThreadNameBytes = 15;

}  // namespace

std::thread startNamedThread(const std::string& name, std::function<void()> body) {
    return std::thread([name = name.substr(0, kMaxThreadNameBytes), body = std::move(body)] {
        // Naming is cosmetic: a failure must not keep the thread from working.
        ::pthread_setname_np(::pthread_self(), name.c_str());
        body();
    });
}

std::string currentThreadName() {
    std::array<char, kMaxThreadNameBytes + 1> name{};
    if (::pthread_getname_np(::pthread_self(), name.data(), name.size()) != 0) {
        return {};
    }
    return name.data();
}

}  // namespace zarvex

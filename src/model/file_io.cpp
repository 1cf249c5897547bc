#include "model/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace zarvex {
namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

std::string temporarySibling(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 random{std::random_device{}()};
    // Appended piece by piece: GCC 12 warns falsely on chained string additions here.
    std::string name;
    name.append(".").append(path.filename().string()).append(".tmp-");
    name.append(std::to_string(::getpid())).append("-").append(std::to_string(counter++));
    name.append("-").append(std::to_string(random() % 1000000));
    return (path.parent_path() / name).string();
}

}  // namespace

FileError::FileError(const std::filesystem::path& path, std::string_view action, int errorNumber)
    : std::runtime_error("Could not " + std::string(action) + " " + path.string() + ": " +
                         std::strerror(errorNumber)),
      errorNumber_(errorNumber) {}

std::string readFile(const std::filesystem::path& path) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) {
        throw FileError(path, "read", errno);
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw FileError(path, "read", errno);
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    std::string temp;
    Fd file;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        temp = temporarySibling(path);
        file.fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd < 0 && errno != EEXIST) {
            throw FileError(path, "write", errno);
        }
    }
    if (file.fd < 0) {
        throw FileError(path, "write", EEXIST);
    }
    auto fail = [&](int error) {
        ::close(file.fd);
        file.fd = -1;
        ::unlink(temp.c_str());
        throw FileError(path, "write", error);
    };
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(file.fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(file.fd) != 0) {
        fail(errno);
    }
    if (::close(file.fd) != 0) {
        file.fd = -1;
        const int error = errno;
        ::unlink(temp.c_str());
        throw FileError(path, "write", error);
    }
    file.fd = -1;
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw FileError(path, "write", error);
    }
}

bool isContainedRelativePath(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    const std::filesystem::path path{std::string(name)};
    if (path.is_absolute()) {
        return false;
    }
    for (const auto& component : path) {
        if (component == "..") {
            return false;
        }
    }
    return true;
}

}  // namespace zarvex

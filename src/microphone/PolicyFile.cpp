#include "microphone/PolicyFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <string_view>
#include <utility>

namespace pelunna::microphone {
namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view space = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

}  // namespace

PolicyFile::PolicyFile(std::string path, Log& log, Read read)
    : path_(std::move(path)), log_(log), read_(read) {}

bool PolicyFile::restricts() const {
    // Non-blocking, so that a FIFO put in the file's place cannot hold the client.
    const int descriptor = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        return !missing && unreadable();
    }
    struct stat status {};
    std::array<char, readLimit> contents{};
    std::size_t length = 0;
    bool failed = ::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode);
    while (!failed && length < contents.size()) {
        const ssize_t count = read_(descriptor, contents.data() + length, contents.size() - length);
        if (count == 0) {
            break;
        }
        failed = count < 0 && errno != EINTR;
        length += count > 0 ? static_cast<std::size_t>(count) : 0;
    }
    ::close(descriptor);
    if (failed) {
        return unreadable();
    }
    return trimmed(std::string_view(contents.data(), length)) == "restricted";
}

bool PolicyFile::unreadable() const {
    if (!std::exchange(reported_, true)) {
        log_.print("❌ Microphone policy unreadable, treating as restricted: " + path_);
    }
    return true;
}

}  // namespace pelunna::microphone

#include "platform/glib/LabSettingsFile.hpp"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <optional>

namespace pelunna::platform {
namespace {

using Found = LabSettingsReading::Found;

// The whole file, or nothing when it is not a regular file, is too long or fails to read.
std::optional<std::string> contents(int descriptor, ReadBytes read) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::size_t>(status.st_size) > labSettingsReadLimit) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t length = 0;
    while (length < bytes.size()) {
        const ssize_t count = read(descriptor, bytes.data() + length, bytes.size() - length);
        if (count == 0) {
            break;
        }
        if (count < 0 && errno != EINTR) {
            return std::nullopt;
        }
        length += count > 0 ? static_cast<std::size_t>(count) : 0;
    }
    bytes.resize(length);
    return bytes;
}

LabSettingsReading parsed(const std::string& bytes) {
    const std::unique_ptr<GKeyFile, decltype(&g_key_file_unref)> keyFile(g_key_file_new(),
                                                                         g_key_file_unref);
    if (!g_key_file_load_from_data(keyFile.get(), bytes.data(), bytes.size(), G_KEY_FILE_NONE,
                                   nullptr)) {
        return {Found::unreadable};
    }
    GError* error = nullptr;
    const gint minutes = g_key_file_get_integer(keyFile.get(), "Lab", "IdleResetMinutes", &error);
    if (error == nullptr) {
        return {Found::idleResetMinutes, minutes};
    }
    const bool absent =
        g_error_matches(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_GROUP_NOT_FOUND) ||
        g_error_matches(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_KEY_NOT_FOUND);
    g_error_free(error);
    return {absent ? Found::noIdleReset : Found::idleResetNotANumber};
}

}  // namespace

LabSettingsReading readLabSettingsFile(const std::string& path, ReadBytes read) {
    // Non-blocking, so that a FIFO put in the file's place cannot hold the client.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return {errno == ENOENT || errno == ENOTDIR ? Found::noFile : Found::unreadable};
    }
    const std::optional<std::string> bytes = contents(descriptor, read);
    ::close(descriptor);
    return bytes ? parsed(*bytes) : LabSettingsReading{Found::unreadable};
}

}  // namespace pelunna::platform

#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <string>

#include "ports/LabSettingsReading.hpp"

namespace pelunna::platform {

// Reads like read(2); tests pass one that fails.
using ReadBytes = ssize_t (*)(int descriptor, void* buffer, std::size_t size);
inline constexpr std::size_t labSettingsReadLimit = std::size_t{64} * 1024;

// The administrator's lab settings file, read once as a GLib key file. Never waited on: only a
// regular file of at most `labSettingsReadLimit` bytes is read.
LabSettingsReading readLabSettingsFile(const std::string& path, ReadBytes read = ::read);

}  // namespace pelunna::platform

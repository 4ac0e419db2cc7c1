#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <string>

#include "platform/Log.hpp"

namespace pelunna::desktop {

// The administrator's microphone policy file, read afresh at each query and never waited on: only
// a regular file is read, and only its start. A missing file sets no policy; one that is there but
// cannot be read restricts, since the administrator meant something by it.
class PolicyFile {
public:
    // Reads like read(2); tests pass one that fails.
    using Read = ssize_t (*)(int descriptor, void* buffer, std::size_t size);
    static constexpr std::size_t readLimit = 4096;

    PolicyFile(std::string path, Log& log, Read read = ::read);

    [[nodiscard]] bool restricts() const;

private:
    [[nodiscard]] bool unreadable() const;

    std::string path_;
    Log& log_;
    Read read_;
    mutable bool reported_ = false;
};

}  // namespace pelunna::desktop

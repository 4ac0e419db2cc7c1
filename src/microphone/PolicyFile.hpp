#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <string>

#include "ports/Log.hpp"

namespace pelunna::microphone {

// Whether an administrator forbids the microphone on this computer.
class AdministratorPolicy {
public:
    virtual ~AdministratorPolicy() = default;
    [[nodiscard]] virtual bool restricts() const = 0;
};

// The administrator's microphone policy file, read afresh at each query and never waited on: only
// a regular file is read, and only its start. A missing file sets no policy; one that is there but
// cannot be read restricts, since the administrator meant something by it.
class PolicyFile final : public AdministratorPolicy {
public:
    // Reads like read(2); tests pass one that fails.
    using Read = ssize_t (*)(int descriptor, void* buffer, std::size_t size);
    static constexpr std::size_t readLimit = 4096;

    PolicyFile(std::string path, Log& log, Read read = ::read);

    [[nodiscard]] bool restricts() const override;

private:
    [[nodiscard]] bool unreadable() const;

    std::string path_;
    Log& log_;
    Read read_;
    mutable bool reported_ = false;
};

}  // namespace pelunna::microphone

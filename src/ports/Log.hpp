#pragma once

#include <string_view>

namespace pelunna {

// Where diagnostics go: one call is one line.
class Log {
public:
    virtual ~Log() = default;
    virtual void print(std::string_view line) = 0;
};

}  // namespace pelunna

#pragma once

#include "ports/Log.hpp"

namespace pelunna {

// The process's diagnostic log: each line escaped, written to stdout and flushed, so that a page
// can never forge or split a line and a pipe reader sees lines as they happen.
class StdoutLog final : public Log {
public:
    void print(std::string_view line) override;
};

}  // namespace pelunna

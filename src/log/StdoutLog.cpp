#include "log/StdoutLog.hpp"

#include <cstdio>
#include <string>

#include "log/LogEscape.hpp"

namespace pelunna {

void StdoutLog::print(std::string_view line) {
    const std::string out = escapeLogLine(line);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace pelunna

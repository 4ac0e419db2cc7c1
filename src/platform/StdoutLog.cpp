#include "platform/StdoutLog.hpp"

#include <cstdio>
#include <string>

#include "platform/LogEscape.hpp"

namespace pelunna {

void StdoutLog::print(std::string_view line) {
    std::string out = escapeForLog(line);
    out.push_back('\n');
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace pelunna

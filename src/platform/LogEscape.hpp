#pragma once

#include <string>
#include <string_view>

namespace pelunna {

// Makes text safe for a one-line log entry: control characters (C0, DEL, C1, by code point) are
// escaped, invalid UTF-8 bytes become \xHH, everything else passes unchanged.
std::string escapeForLog(std::string_view text);

}  // namespace pelunna

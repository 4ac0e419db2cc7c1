#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelunna {

// The longest line the log prints, newline excluded. The journal splits longer lines, and the
// split-off tail would read as a line of its own that no page may write.
inline constexpr std::size_t maxLogLineBytes = 16 * 1024 - 1;

// Makes text safe for a one-line log entry: control characters (C0, DEL, C1, by code point) are
// escaped, invalid UTF-8 bytes become \xHH, everything else passes unchanged.
std::string escapeForLog(std::string_view text);

// escapeForLog(line) when that fits in maxLogLineBytes; otherwise as much of it as fits, cut
// between two characters of `line`, followed by " … (N bytes cut)", N counting the bytes of `line`
// left out. The value comes last in a line, so the cut falls on it.
std::string escapeLogLine(std::string_view line);

}  // namespace pelunna

#include "log/LogEscape.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace pelunna {
namespace {

struct CodePoint {
    char32_t value;
    std::size_t length;
};

// Strict UTF-8: rejects overlong forms, surrogates and values past U+10FFFF.
std::optional<CodePoint> decode(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        return CodePoint{lead, 1};
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07u, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - at < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        value = (value << 6) | (byte(i) & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    return CodePoint{value, length};
}

void appendHex(std::string& out, std::string_view prefix, unsigned value) {
    static constexpr std::array<char, 16> digits{'0', '1', '2', '3', '4', '5', '6', '7',
                                                 '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    out += prefix;
    out.push_back(digits[(value >> 4) & 0xF]);
    out.push_back(digits[value & 0xF]);
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Appends the escaped form of the character (or invalid byte) at `at`; returns where the next
// one starts.
std::size_t appendEscaped(std::string& out, std::string_view text, std::size_t at) {
    const auto decoded = decode(text, at);
    if (!decoded) {
        appendHex(out, "\\x", static_cast<std::uint8_t>(text[at]));
        return at + 1;
    }
    const char32_t c = decoded->value;
    if (c == '\n') {
        out += "\\n";
    } else if (c == '\r') {
        out += "\\r";
    } else if (c == '\t') {
        out += "\\t";
    } else if (isControl(c)) {
        appendHex(out, "\\u00", static_cast<unsigned>(c));
    } else {
        out.append(text.data() + at, decoded->length);
    }
    return at + decoded->length;
}

constexpr std::string_view cutOpening = " … (";
constexpr std::string_view cutClosing = " bytes cut)";

bool isPrintableAscii(char c) {
    return c >= 0x20 && c < 0x7F;
}

// Escapes `text`, cut as escapeLogLine describes when the result would exceed `limit` bytes.
std::string escape(std::string_view text, std::size_t limit) {
    // Room kept for the mark when a cut is needed; the count of cut bytes never has more digits
    // than the text's length.
    const std::size_t markLength =
        cutOpening.size() + std::to_string(text.size()).size() + cutClosing.size();
    const std::size_t room = limit - markLength;
    std::string out;
    out.reserve(std::min(text.size(), limit));
    // The last character boundary, in the text and in the output, that leaves room for the mark.
    std::size_t keptInput = 0;
    std::size_t keptOutput = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        // Printable ASCII, most of any line, is copied in runs; a run never passes the limit, so
        // no more of the text is read than can be printed.
        const std::size_t runLimit = at + std::min(text.size() - at, limit - out.size());
        std::size_t runEnd = at;
        while (runEnd < runLimit && isPrintableAscii(text[runEnd])) {
            ++runEnd;
        }
        if (out.size() <= room) {
            keptInput = at + std::min(runEnd - at, room - out.size());
            keptOutput = out.size() + (keptInput - at);
        }
        out.append(text.data() + at, runEnd - at);
        at = runEnd;
        if (at == text.size()) {
            break;
        }
        at = appendEscaped(out, text, at);
        if (out.size() > limit) {
            out.resize(keptOutput);
            out += cutOpening;
            out += std::to_string(text.size() - keptInput);
            out += cutClosing;
            return out;
        }
    }
    return out;
}

}  // namespace

std::string escapeForLog(std::string_view text) {
    return escape(text, std::string::npos);
}

std::string escapeLogLine(std::string_view line) {
    return escape(line, maxLogLineBytes);
}

}  // namespace pelunna

#include "shown_path.h"

#include <cstdio>

namespace {

void append_escape(std::string& out, const char* format, unsigned code) {
    char text[8];
    std::snprintf(text, sizeof text, format, code);
    out += text;
}

} // namespace

std::string shown_path(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        const auto next = i + 1 < path.size() ? static_cast<unsigned char>(path[i + 1]) : 0u;
        const auto third = i + 2 < path.size() ? static_cast<unsigned char>(path[i + 2]) : 0u;
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            append_escape(out, "\\x%02x", c);
        } else if (c == 0xc2 && next >= 0x80 && next <= 0x9f) { // U+0080 to U+009F
            append_escape(out, "\\u%04x", next);
            ++i;
        } else if (c == 0xe2 && next == 0x80 && (third == 0xa8 || third == 0xa9)) {
            append_escape(out, "\\u%04x", 0x2000u + (third - 0x80u));
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

#include "cli/text_escape.h"

#include <fmt/format.h>

namespace tvn::cli {

std::string escapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            out += fmt::format("\\x{:02x}", c);
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // A C1 control in UTF-8 (0x9B is a terminal's one-byte CSI).
            out += fmt::format("\\u00{:02x}", static_cast<unsigned char>(text[i + 1]));
            ++i;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

} // namespace tvn::cli

#pragma once

// The strict JSON reading of description files, over nlohmann-json: RFC 8259 syntax only (no
// comments, no trailing commas), duplicate keys refused rather than the last one kept silently,
// nesting limited to kMaxDepth, finite numbers only. Members keep their file order, so that
// faults are reported in the order a reader of the file meets them. Errors name the line and
// column.

#include <stdexcept>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tvn::tools::json {

using Value = nlohmann::ordered_json;

class ParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kMaxDepth = 64;

// Parses a whole document. Throws ParseError.
Value parse(std::string_view text);

} // namespace tvn::tools::json

#pragma once

// A small, strict JSON reader for description files: RFC 8259 syntax only (no comments,
// no trailing commas), UTF-8 input, nesting limited to kMaxDepth, duplicate keys refused.
// Errors name the line and column.

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::tools::json {

class ParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Member;

struct Value {
    enum class Kind { Null, Bool, Integer, Real, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::int64_t integer = 0;
    double real = 0;
    std::string string;
    std::vector<Value> array;
    // Members in file order; keys are unique.
    std::vector<Member> object;

    bool isNumber() const { return kind == Kind::Integer || kind == Kind::Real; }
    // The member of that key, or nullptr.
    const Value* find(std::string_view key) const;
};

// An object member. A struct of its own rather than a std::pair, which could not hold a Value
// while Value is still incomplete.
struct Member {
    std::string key;
    Value value;
};

inline constexpr int kMaxDepth = 64;

// Parses a whole document. Throws ParseError.
Value parse(std::string_view text);

} // namespace tvn::tools::json

#include "tools/pstwriter/json.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace tvn::tools::json {

namespace {

// Walks the text for the parser and remembers the last character it handed out, so that a
// fault the library reports without a position, or one found in a parser callback (which is
// told nothing of positions), can be placed.
class TrackingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TrackingIterator(const char* at, const char** lastRead) : m_at(at), m_lastRead(lastRead) {}

    const char& operator*() const {
        *m_lastRead = m_at;
        return *m_at;
    }
    TrackingIterator& operator++() {
        ++m_at;
        return *this;
    }
    bool operator==(const TrackingIterator& other) const { return m_at == other.m_at; }

private:
    const char* m_at;
    const char** m_lastRead;
};

// A fault at the character `at`, placed by line and column, both counted from 1 like the
// library's own messages.
[[noreturn]] void fail(std::string_view text, const char* at, const std::string& what) {
    const auto offset = static_cast<std::size_t>(at - text.data());
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    throw ParseError("JSON parse error at line " + std::to_string(line) + ", column " +
                     std::to_string(offset - lineStart + 1) + ": " + what);
}

// The library's message without its "[json.exception.parse_error.101] " prefix.
std::string withoutPrefix(const std::string& what) {
    const auto end = what.find("] ");
    return what.rfind("[json.exception.", 0) == 0 && end != std::string::npos ? what.substr(end + 2)
                                                                              : what;
}

} // namespace

Value parse(std::string_view text) {
    const char* lastRead = text.data();
    // The keys met so far in each open object.
    std::vector<std::set<std::string>> keys;
    const Value::parser_callback_t check = [&](int depth, Value::parse_event_t event,
                                               Value& parsed) {
        using Event = Value::parse_event_t;
        if (depth > kMaxDepth) {
            fail(text, lastRead, "nesting deeper than " + std::to_string(kMaxDepth) + " levels");
        }
        switch (event) {
        case Event::object_start:
            keys.emplace_back();
            break;
        case Event::object_end:
            keys.pop_back();
            break;
        case Event::key:
            if (!keys.back().insert(parsed.get_ref<const std::string&>()).second) {
                fail(text, lastRead, "duplicate member \"" + parsed.get<std::string>() + "\"");
            }
            break;
        case Event::value:
        case Event::array_start:
        case Event::array_end:
            break;
        }
        return true;
    };
    try {
        return Value::parse(TrackingIterator(text.data(), &lastRead),
                            TrackingIterator(text.data() + text.size(), &lastRead), check);
    } catch (const Value::parse_error& e) {
        // Placed here rather than by the library, which puts a fault at a line break at
        // column 0 of the next line. e.byte counts the characters read, the faulty one last.
        const std::string what = e.what();
        const auto reason = what.find(": ", what.find(" column "));
        const std::size_t read = std::min(e.byte, text.size());
        fail(text, text.data() + (read > 0 ? read - 1 : 0),
             reason != std::string::npos ? what.substr(reason + 2) : withoutPrefix(what));
    } catch (const Value::exception& e) {
        // A number beyond the range of a double.
        fail(text, lastRead, withoutPrefix(e.what()));
    }
}

} // namespace tvn::tools::json

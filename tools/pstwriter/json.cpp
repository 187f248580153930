#include "tools/pstwriter/json.h"

#include <cmath>
#include <cstdlib>

#include "store/text/utf.h"

namespace tvn::tools::json {

const Value* Value::find(std::string_view key) const {
    for (const auto& [k, v] : object) {
        if (k == key) {
            return &v;
        }
    }
    return nullptr;
}

namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    Value document() {
        skipSpace();
        Value v = value(0);
        skipSpace();
        if (m_pos != m_text.size()) {
            fail("unexpected text after the document");
        }
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        std::size_t line = 1;
        std::size_t column = 1;
        for (std::size_t i = 0; i < m_pos && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        throw ParseError("JSON line " + std::to_string(line) + ", column " +
                         std::to_string(column) + ": " + what);
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }

    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
            ++m_pos;
        }
    }

    void expect(char c) {
        if (peek() != c || atEnd()) {
            fail(std::string("expected '") + c + "'");
        }
        ++m_pos;
    }

    void literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) {
            fail("invalid literal");
        }
        m_pos += word.size();
    }

    Value value(int depth) {
        if (depth > kMaxDepth) {
            fail("nesting too deep");
        }
        Value v;
        switch (peek()) {
        case '{':
            v.kind = Value::Kind::Object;
            ++m_pos;
            skipSpace();
            if (peek() == '}') {
                ++m_pos;
                return v;
            }
            for (;;) {
                skipSpace();
                if (peek() != '"') {
                    fail("expected a member name");
                }
                std::string key = string();
                if (v.find(key) != nullptr) {
                    fail("duplicate member \"" + key + "\"");
                }
                skipSpace();
                expect(':');
                skipSpace();
                Value member = value(depth + 1);
                v.object.push_back(Member{std::move(key), std::move(member)});
                skipSpace();
                if (peek() == ',') {
                    ++m_pos;
                    continue;
                }
                expect('}');
                return v;
            }
        case '[':
            v.kind = Value::Kind::Array;
            ++m_pos;
            skipSpace();
            if (peek() == ']') {
                ++m_pos;
                return v;
            }
            for (;;) {
                skipSpace();
                v.array.push_back(value(depth + 1));
                skipSpace();
                if (peek() == ',') {
                    ++m_pos;
                    continue;
                }
                expect(']');
                return v;
            }
        case '"':
            v.kind = Value::Kind::String;
            v.string = string();
            return v;
        case 't':
            literal("true");
            v.kind = Value::Kind::Bool;
            v.boolean = true;
            return v;
        case 'f':
            literal("false");
            v.kind = Value::Kind::Bool;
            return v;
        case 'n':
            literal("null");
            return v;
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9')) {
                return number();
            }
            fail(atEnd() ? "unexpected end of text" : "unexpected character");
        }
    }

    Value number() {
        const std::size_t start = m_pos;
        bool real = false;
        if (peek() == '-') {
            ++m_pos;
        }
        if (peek() == '0') {
            ++m_pos;
        } else if (peek() >= '1' && peek() <= '9') {
            while (peek() >= '0' && peek() <= '9' && !atEnd()) {
                ++m_pos;
            }
        } else {
            fail("invalid number");
        }
        if (peek() == '.') {
            real = true;
            ++m_pos;
            if (!(peek() >= '0' && peek() <= '9')) {
                fail("invalid number");
            }
            while (peek() >= '0' && peek() <= '9' && !atEnd()) {
                ++m_pos;
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            real = true;
            ++m_pos;
            if (peek() == '+' || peek() == '-') {
                ++m_pos;
            }
            if (!(peek() >= '0' && peek() <= '9')) {
                fail("invalid number");
            }
            while (peek() >= '0' && peek() <= '9' && !atEnd()) {
                ++m_pos;
            }
        }
        const std::string text(m_text.substr(start, m_pos - start));
        Value v;
        if (!real) {
            errno = 0;
            char* end = nullptr;
            const long long n = std::strtoll(text.c_str(), &end, 10);
            if (errno == 0 && end == text.c_str() + text.size()) {
                v.kind = Value::Kind::Integer;
                v.integer = n;
                v.real = static_cast<double>(n);
                return v;
            }
        }
        v.kind = Value::Kind::Real;
        v.real = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(v.real)) {
            fail("number out of range");
        }
        return v;
    }

    unsigned hex4() {
        if (m_text.size() - m_pos < 4) {
            fail("truncated \\u escape");
        }
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            v <<= 4;
            if (c >= '0' && c <= '9') {
                v |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                v |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                v |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                fail("invalid \\u escape");
            }
        }
        return v;
    }

    std::string string() {
        expect('"');
        std::string out;
        for (;;) {
            if (atEnd()) {
                fail("unterminated string");
            }
            const char c = m_text[m_pos];
            if (c == '"') {
                ++m_pos;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("control character in a string");
            }
            if (c != '\\') {
                char32_t cp = 0;
                const std::size_t length = store::text::decodeUtf8(m_text.substr(m_pos), cp);
                if (length == 0) {
                    fail("invalid UTF-8");
                }
                out.append(m_text.substr(m_pos, length));
                m_pos += length;
                continue;
            }
            ++m_pos;
            if (atEnd()) {
                fail("unterminated escape");
            }
            const char e = m_text[m_pos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out.push_back(e);
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                char32_t cp = hex4();
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (m_text.substr(m_pos, 2) != "\\u") {
                        fail("unpaired surrogate");
                    }
                    m_pos += 2;
                    const char32_t low = hex4();
                    if (low < 0xDC00 || low > 0xDFFF) {
                        fail("unpaired surrogate");
                    }
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    fail("unpaired surrogate");
                }
                store::text::appendUtf8(out, cp);
                break;
            }
            default:
                fail("invalid escape");
            }
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace

Value parse(std::string_view text) {
    return Parser(text).document();
}

} // namespace tvn::tools::json

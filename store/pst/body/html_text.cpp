#include "store/pst/body/html_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include "store/text/code_page.h"
#include "store/text/utf.h"

namespace tvn::store::pst::body {

using store::text::appendUtf8;
using store::text::codePageOfCharsetName;
using store::text::decodeCodePage;

namespace {

// The named references of U+00A0 to U+00FF, in code-point order.
constexpr std::array<std::string_view, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct NamedReference {
    std::string_view name;
    char32_t codePoint;
};

constexpr std::array kOtherNames = {
    NamedReference{"amp", '&'},       NamedReference{"lt", '<'},
    NamedReference{"gt", '>'},        NamedReference{"quot", '"'},
    NamedReference{"apos", '\''},     NamedReference{"AMP", '&'},
    NamedReference{"LT", '<'},        NamedReference{"GT", '>'},
    NamedReference{"QUOT", '"'},      NamedReference{"OElig", 0x152},
    NamedReference{"oelig", 0x153},   NamedReference{"Scaron", 0x160},
    NamedReference{"scaron", 0x161},  NamedReference{"Yuml", 0x178},
    NamedReference{"fnof", 0x192},    NamedReference{"circ", 0x2C6},
    NamedReference{"tilde", 0x2DC},   NamedReference{"ensp", 0x2002},
    NamedReference{"emsp", 0x2003},   NamedReference{"thinsp", 0x2009},
    NamedReference{"zwnj", 0x200C},   NamedReference{"zwj", 0x200D},
    NamedReference{"lrm", 0x200E},    NamedReference{"rlm", 0x200F},
    NamedReference{"ndash", 0x2013},  NamedReference{"mdash", 0x2014},
    NamedReference{"lsquo", 0x2018},  NamedReference{"rsquo", 0x2019},
    NamedReference{"sbquo", 0x201A},  NamedReference{"ldquo", 0x201C},
    NamedReference{"rdquo", 0x201D},  NamedReference{"bdquo", 0x201E},
    NamedReference{"dagger", 0x2020}, NamedReference{"Dagger", 0x2021},
    NamedReference{"bull", 0x2022},   NamedReference{"hellip", 0x2026},
    NamedReference{"permil", 0x2030}, NamedReference{"lsaquo", 0x2039},
    NamedReference{"rsaquo", 0x203A}, NamedReference{"euro", 0x20AC},
    NamedReference{"trade", 0x2122},  NamedReference{"larr", 0x2190},
    NamedReference{"uarr", 0x2191},   NamedReference{"rarr", 0x2192},
    NamedReference{"darr", 0x2193},   NamedReference{"harr", 0x2194},
    NamedReference{"minus", 0x2212},  NamedReference{"infin", 0x221E},
    NamedReference{"ne", 0x2260},     NamedReference{"le", 0x2264},
    NamedReference{"ge", 0x2265},     NamedReference{"hearts", 0x2665},
};

// Elements that start and end a line of their own.
constexpr std::array<std::string_view, 36> kBlockElements = {
    "address", "article", "aside",    "blockquote", "caption", "center", "dd",   "dir",  "div",
    "dl",      "dt",      "fieldset", "figure",     "footer",  "form",   "h1",   "h2",   "h3",
    "h4",      "h5",      "h6",       "header",     "hr",      "li",     "main", "menu", "nav",
    "ol",      "p",       "pre",      "section",    "table",   "tbody",  "tr",   "ul",   "title",
};

// Elements whose content is never shown; each runs to its own end tag.
constexpr std::array<std::string_view, 5> kHiddenElements = {"script", "style", "xml", "template",
                                                             "noscript"};

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& set, std::string_view name) {
    return std::find(set.begin(), set.end(), name) != set.end();
}

bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiAlnum(char c) {
    return isAsciiAlpha(c) || (c >= '0' && c <= '9');
}
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Browsers read the C1 range of a numeric reference as Windows-1252.
char32_t numericReference(std::uint32_t v) {
    if (v >= 0x80 && v <= 0x9F) {
        const std::uint8_t b = static_cast<std::uint8_t>(v);
        std::string s = decodeCodePage(std::span(&b, 1), 1252);
        char32_t cp = 0;
        // s is one UTF-8 character; decode it back.
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        if (s.size() == 2) {
            cp = static_cast<char32_t>((p[0] & 0x1F) << 6 | (p[1] & 0x3F));
        } else if (s.size() == 3) {
            cp = static_cast<char32_t>((p[0] & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F));
        }
        return cp;
    }
    if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
        return 0xFFFD;
    }
    return v;
}

class HtmlReader {
public:
    explicit HtmlReader(std::string_view html) : m_in(html) { m_out.reserve(html.size() / 2); }

    std::string run() {
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos];
            if (c == '<') {
                markup();
            } else if (c == '&') {
                reference();
            } else {
                ++m_pos;
                if (isSpace(c) && m_pre == 0) {
                    m_pendingSpace = true;
                } else if (c == '\n' && m_pre > 0) {
                    newLine();
                } else if (c == '\r' && m_pre > 0) {
                    // CRLF or a lone CR in preformatted text: the LF (or nothing) ends it.
                    if (m_pos >= m_in.size() || m_in[m_pos] != '\n') {
                        newLine();
                    }
                } else {
                    character(std::string_view(&c, 1));
                }
            }
        }
        trimLine();
        return std::move(m_out);
    }

private:
    void character(std::string_view utf8) {
        if (m_hidden) {
            return;
        }
        if (m_pendingSpace && !m_atLineStart && !m_atCellStart) {
            m_out.push_back(' ');
        }
        m_pendingSpace = false;
        m_atCellStart = false;
        m_out += utf8;
        m_atLineStart = false;
    }

    void trimLine() {
        while (!m_out.empty() && (m_out.back() == ' ' || m_out.back() == '\t')) {
            m_out.pop_back();
        }
    }

    void newLine() {
        if (m_hidden) {
            return;
        }
        trimLine();
        m_out += "\r\n";
        m_atLineStart = true;
        m_pendingSpace = false;
    }

    void blockBreak() {
        if (!m_atLineStart) {
            newLine();
        }
        m_pendingSpace = false;
    }

    void reference() {
        // m_in[m_pos] == '&'
        const auto cp = parseReference(m_in, m_pos);
        if (!cp) {
            ++m_pos;
            character("&");
            return;
        }
        std::string utf8;
        appendUtf8(utf8, *cp);
        character(utf8);
    }

    // The character reference at s[pos] ('&'), advancing pos past it; nothing (pos
    // unchanged) when the text there is not one. A no-break space comes out as a space:
    // content that does not collapse, but plain text shows it as a space.
    static std::optional<char32_t> parseReference(std::string_view s, std::size_t& pos) {
        std::size_t p = pos + 1;
        char32_t cp = 0;
        if (p < s.size() && s[p] == '#') {
            ++p;
            const bool hexForm = p < s.size() && (s[p] == 'x' || s[p] == 'X');
            if (hexForm) {
                ++p;
            }
            std::uint32_t v = 0;
            const std::size_t start = p;
            while (p < s.size()) {
                const char c = s[p];
                int d = -1;
                if (c >= '0' && c <= '9') {
                    d = c - '0';
                } else if (hexForm && lower(c) >= 'a' && lower(c) <= 'f') {
                    d = lower(c) - 'a' + 10;
                }
                if (d < 0) {
                    break;
                }
                v = std::min<std::uint32_t>(v * (hexForm ? 16u : 10u) + static_cast<unsigned>(d),
                                            0x110000);
                ++p;
            }
            if (p == start) {
                return std::nullopt;
            }
            cp = numericReference(v);
        } else {
            const std::size_t start = p;
            while (p < s.size() && isAsciiAlnum(s[p]) && p - start < 10) {
                ++p;
            }
            cp = namedReference(s.substr(start, p - start));
            if (cp == 0) {
                return std::nullopt;
            }
        }
        if (p < s.size() && s[p] == ';') {
            ++p;
        }
        pos = p;
        return cp == 0xA0 ? ' ' : cp;
    }

    // The value of attribute `name` in the attribute text of a tag, references decoded;
    // nothing when the tag does not have it.
    static std::optional<std::string> attribute(std::string_view attrs, std::string_view name) {
        std::size_t p = 0;
        while (p < attrs.size()) {
            while (p < attrs.size() && (isSpace(attrs[p]) || attrs[p] == '/')) {
                ++p;
            }
            const std::size_t nameStart = p;
            while (p < attrs.size() && !isSpace(attrs[p]) && attrs[p] != '=' && attrs[p] != '>') {
                ++p;
            }
            const std::string_view attrName = attrs.substr(nameStart, p - nameStart);
            while (p < attrs.size() && isSpace(attrs[p])) {
                ++p;
            }
            std::string_view value;
            if (p < attrs.size() && attrs[p] == '=') {
                ++p;
                while (p < attrs.size() && isSpace(attrs[p])) {
                    ++p;
                }
                if (p < attrs.size() && (attrs[p] == '"' || attrs[p] == '\'')) {
                    const char quote = attrs[p++];
                    const std::size_t end = std::min(attrs.find(quote, p), attrs.size());
                    value = attrs.substr(p, end - p);
                    p = end + 1;
                } else {
                    const std::size_t valueStart = p;
                    while (p < attrs.size() && !isSpace(attrs[p]) && attrs[p] != '>') {
                        ++p;
                    }
                    value = attrs.substr(valueStart, p - valueStart);
                }
            }
            if (attrName.size() == name.size() &&
                std::equal(attrName.begin(), attrName.end(), name.begin(),
                           [](char a, char b) { return lower(a) == b; })) {
                std::string out;
                for (std::size_t i = 0; i < value.size();) {
                    if (value[i] == '&') {
                        if (const auto cp = parseReference(value, i)) {
                            appendUtf8(out, *cp);
                            continue;
                        }
                    }
                    out.push_back(value[i++]);
                }
                return out;
            }
            if (p == nameStart) {
                ++p; // a stray character: step over it
            }
        }
        return std::nullopt;
    }

    // Text that stands for an element (an image's alternative text, a link's target): shown
    // as content, its white space collapsed like the document's.
    void text(std::string_view s) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (isSpace(s[i])) {
                m_pendingSpace = true;
            } else {
                character(s.substr(i, 1));
            }
        }
    }

    static char32_t namedReference(std::string_view name) {
        for (std::size_t i = 0; i < kLatin1Names.size(); ++i) {
            if (kLatin1Names[i] == name) {
                return static_cast<char32_t>(0xA0 + i);
            }
        }
        for (const auto& r : kOtherNames) {
            if (r.name == name) {
                return r.codePoint;
            }
        }
        return 0;
    }

    // Skips to just past the first occurrence of end (or to the end of the input).
    void skipPast(std::string_view end) {
        const std::size_t at = m_in.find(end, m_pos);
        m_pos = at == std::string_view::npos ? m_in.size() : at + end.size();
    }

    void markup() {
        // m_in[m_pos] == '<'
        if (m_in.substr(m_pos, 4) == "<!--") {
            m_pos += 4;
            skipPast("-->");
            return;
        }
        std::size_t p = m_pos + 1;
        const bool closing = p < m_in.size() && m_in[p] == '/';
        if (closing) {
            ++p;
        }
        if (p < m_in.size() && (m_in[p] == '!' || m_in[p] == '?')) {
            m_pos = p;
            skipPast(">");
            return;
        }
        if (p >= m_in.size() || !isAsciiAlpha(m_in[p])) {
            ++m_pos;
            character("<"); // not a tag: a browser shows the character
            return;
        }
        std::string name;
        while (p < m_in.size() && (isAsciiAlnum(m_in[p]) || m_in[p] == ':' || m_in[p] == '-')) {
            if (name.size() < 16) {
                name.push_back(lower(m_in[p]));
            }
            ++p;
        }
        // Attributes run to the first '>' outside quotes.
        const std::size_t attrStart = p;
        char quote = 0;
        bool complete = false;
        while (p < m_in.size() && !complete) {
            const char c = m_in[p++];
            if (quote != 0) {
                if (c == quote) {
                    quote = 0;
                }
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                complete = true;
            }
        }
        m_pos = p;
        if (complete) { // a tag cut off by the end of the input is dropped, as browsers do
            tag(name, closing, m_in.substr(attrStart, p - 1 - attrStart));
        }
    }

    void tag(const std::string& name, bool closing, std::string_view attrs) {
        if (!closing && contains(kHiddenElements, name)) {
            // Raw text up to the matching end tag, compared without regard to case.
            const std::string end = "</" + name;
            std::size_t at = m_pos;
            while (at < m_in.size()) {
                at = m_in.find("</", at);
                if (at == std::string_view::npos) {
                    at = m_in.size();
                    break;
                }
                bool match = m_in.size() - at >= end.size();
                for (std::size_t k = 2; match && k < end.size(); ++k) {
                    match = lower(m_in[at + k]) == end[k];
                }
                if (match) {
                    break;
                }
                at += 2;
            }
            m_pos = at;
            if (m_pos < m_in.size()) {
                skipPast(">");
            }
            return;
        }
        if (name == "head") {
            m_hidden = !closing;
            return;
        }
        if (name == "body") {
            m_hidden = false;
            return;
        }
        if (name == "br") {
            newLine();
            return;
        }
        if (name == "img" && !closing && !m_hidden) {
            // Plain text shows what the picture stands for, as mail programs do.
            if (const auto alt = attribute(attrs, "alt")) {
                text(*alt);
            }
            return;
        }
        if (name == "a") {
            linkTag(closing, attrs);
            return;
        }
        if (name == "hr") {
            blockBreak();
            character("________________________________");
            blockBreak();
            return;
        }
        if (name == "pre") {
            blockBreak();
            m_pre = closing ? std::max(0, m_pre - 1) : m_pre + 1;
            return;
        }
        if (name == "tr") {
            m_cellsInRow = 0;
        }
        if ((name == "td" || name == "th") && !closing) {
            if (m_cellsInRow++ > 0 && !m_hidden) {
                trimLine();
                m_out.push_back('\t');
                m_atLineStart = false;
                m_atCellStart = true;
                m_pendingSpace = false;
            }
            return;
        }
        if (contains(kBlockElements, name)) {
            blockBreak();
        }
    }

    // A link's text is followed by its target in angle brackets, as Outlook writes links in
    // plain text ("Contact us<mailto:a@b.c>"), unless the text already is the target.
    // Page-internal and script targets are left out.
    void linkTag(bool closing, std::string_view attrs) {
        if (!closing) {
            m_href = attribute(attrs, "href").value_or("");
            m_linkStart = m_out.size();
            return;
        }
        if (m_href.empty() || m_hidden || m_href[0] == '#' || m_href.rfind("javascript:", 0) == 0) {
            m_href.clear();
            return;
        }
        std::string_view linkText;
        if (m_linkStart <= m_out.size()) {
            linkText = std::string_view(m_out).substr(m_linkStart);
        }
        while (!linkText.empty() && isSpace(linkText.front())) {
            linkText.remove_prefix(1);
        }
        const std::string href = std::exchange(m_href, {});
        if (linkText == href) {
            return;
        }
        m_pendingSpace = false;
        character("<");
        character(href);
        character(">");
    }

    std::string_view m_in;
    std::size_t m_pos = 0;
    std::string m_out;
    std::string m_href;          // the target of the link being read
    std::size_t m_linkStart = 0; // where its text starts in m_out
    bool m_atLineStart = true;
    bool m_pendingSpace = false;
    bool m_hidden = false;
    bool m_atCellStart = false; // just after a cell's tab: leading white space is dropped
    int m_pre = 0;
    int m_cellsInRow = 0;
};

} // namespace

std::string htmlToText(std::string_view html) {
    return HtmlReader(html).run();
}

std::uint32_t declaredCodePage(std::span<const std::uint8_t> html) {
    const std::size_t n = std::min<std::size_t>(html.size(), 4096);
    std::string head(reinterpret_cast<const char*>(html.data()), n);
    for (char& c : head) {
        c = lower(c);
    }
    for (std::size_t at = head.find("charset"); at != std::string::npos;
         at = head.find("charset", at + 7)) {
        std::size_t p = at + 7;
        while (p < head.size() && isSpace(head[p])) {
            ++p;
        }
        if (p >= head.size() || head[p] != '=') {
            continue;
        }
        ++p;
        while (p < head.size() && (isSpace(head[p]) || head[p] == '"' || head[p] == '\'')) {
            ++p;
        }
        const std::size_t start = p;
        while (p < head.size() && (isAsciiAlnum(head[p]) || head[p] == '-' || head[p] == '_')) {
            ++p;
        }
        const auto name = std::string_view(head).substr(start, p - start);
        if (const auto cp = codePageOfCharsetName(name); cp != 0) {
            return cp;
        }
    }
    return 0;
}

} // namespace tvn::store::pst::body

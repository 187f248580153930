#include "store/pst/body/rtf_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "store/pst/body/html_text.h"
#include "store/text/code_page.h"
#include "store/text/utf.h"

namespace tvn::store::pst::body {

using store::text::appendUtf8;
using store::text::codePageOfCharset;
using store::text::decodeCodePage;
using store::text::kDefaultCodePage;

namespace {

// Deeper groups share the state of the deepest kept one; real documents nest a few dozen.
constexpr std::size_t kMaxGroupDepth = 256;
constexpr std::size_t kMaxWordLength = 32;
constexpr std::size_t kMaxParamDigits = 10;

// Destinations whose content is never shown.
constexpr std::array<std::string_view, 52> kSkippedDestinations = {
    "author",
    "buptim",
    "category",
    "colortbl",
    "colorschememapping",
    "comment",
    "company",
    "creatim",
    "datastore",
    "docvar",
    "doccomm",
    "falt",
    "filetbl",
    "fldinst",
    "footer",
    "footerf",
    "footerl",
    "footerr",
    "footnote",
    "generator",
    "header",
    "headerf",
    "headerl",
    "headerr",
    "info",
    "keywords",
    "latentstyles",
    "listoverridetable",
    "listtable",
    "manager",
    "mhtmltag",
    "nonshppict",
    "objdata",
    "objclass",
    "operator",
    "pgdsctbl",
    "pict",
    "pntxta",
    "pntxtb",
    "printim",
    "revtbl",
    "revtim",
    "rsidtbl",
    "stylesheet",
    "subject",
    "template",
    "themedata",
    "title",
    "userprops",
    "xmlnstbl",
    "bkmkstart",
    "bkmkend",
};

bool isSkippedDestination(std::string_view word) {
    return std::find(kSkippedDestinations.begin(), kSkippedDestinations.end(), word) !=
           kSkippedDestinations.end();
}

struct Group {
    bool skip = false;    // a destination whose text is not shown
    bool htmlrtf = false; // RTF-only content inside encapsulated HTML or text
    bool htmltag = false; // \*\htmltag: its text is HTML
    bool fontTable = false;
    int uc = 1; // bytes of fallback after \uN
    std::uint32_t codePage = kDefaultCodePage;
};

class RtfReader {
public:
    explicit RtfReader(std::string_view rtf) : m_in(rtf) { m_groups.push_back(Group{}); }

    RtfContent run() {
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos++];
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                closeGroup();
                break;
            case '\\':
                control();
                break;
            case '\r':
            case '\n':
            case '\0':
                break;
            default:
                if (m_fallback > 0) {
                    --m_fallback;
                } else {
                    byte(static_cast<std::uint8_t>(c));
                }
                break;
            }
        }
        flush();
        flushSurrogate();
        return {m_origin, std::move(m_out)};
    }

private:
    Group& top() { return m_groups.back(); }

    bool visible() {
        const Group& g = top();
        if (g.skip) {
            return false;
        }
        if (m_origin == RtfOrigin::Html) {
            return g.htmltag || !g.htmlrtf;
        }
        return !g.htmlrtf;
    }

    void openGroup() {
        flush();
        m_fallback = 0;
        m_newGroup = true;
        if (m_groups.size() < kMaxGroupDepth) {
            m_groups.push_back(top());
        } else {
            ++m_flattened;
        }
    }

    void closeGroup() {
        flush();
        m_fallback = 0;
        m_newGroup = false;
        if (m_flattened > 0) {
            --m_flattened;
        } else if (m_groups.size() > 1) {
            const bool leavingFontTable = top().fontTable;
            m_groups.pop_back();
            if (leavingFontTable && !top().fontTable) {
                // After the font table, text starts in the default font.
                top().codePage = fontCodePage(m_defaultFont);
            }
        }
    }

    void byte(std::uint8_t b) {
        if (!visible()) {
            return;
        }
        flushSurrogate();
        if (!m_pending.empty() && m_pendingCodePage != top().codePage) {
            flush();
        }
        m_pendingCodePage = top().codePage;
        m_pending.push_back(static_cast<char>(b));
    }

    void flush() {
        if (!m_pending.empty()) {
            m_out += decodeCodePage(m_pending, m_pendingCodePage);
            m_pending.clear();
        }
    }

    void flushSurrogate() {
        if (m_highSurrogate != 0) {
            appendUtf8(m_out, 0xFFFD);
            m_highSurrogate = 0;
        }
    }

    void emit(char32_t cp) {
        if (!visible()) {
            return;
        }
        flush();
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            flushSurrogate();
            m_highSurrogate = cp;
            return;
        }
        if (cp >= 0xDC00 && cp <= 0xDFFF && m_highSurrogate != 0) {
            cp = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (cp - 0xDC00);
            m_highSurrogate = 0;
        }
        flushSurrogate();
        appendUtf8(m_out, cp);
    }

    void emitText(std::string_view s) {
        if (!visible()) {
            return;
        }
        flush();
        flushSurrogate();
        m_out += s;
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    void control() {
        if (m_pos >= m_in.size()) {
            return;
        }
        const char c = m_in[m_pos];
        if (!isLetter(c)) {
            ++m_pos;
            const bool wasNewGroup = std::exchange(m_newGroup, false);
            symbol(c, wasNewGroup);
            return;
        }
        std::size_t start = m_pos;
        while (m_pos < m_in.size() && isLetter(m_in[m_pos]) && m_pos - start < kMaxWordLength) {
            ++m_pos;
        }
        const std::string_view word = m_in.substr(start, m_pos - start);
        while (m_pos < m_in.size() && isLetter(m_in[m_pos])) {
            ++m_pos; // an over-long word: the rest of its letters are dropped
        }
        bool hasParam = false;
        bool negative = false;
        std::int64_t param = 0;
        if (m_pos < m_in.size() && m_in[m_pos] == '-' && m_pos + 1 < m_in.size() &&
            isDigit(m_in[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        start = m_pos;
        while (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
            if (m_pos - start < kMaxParamDigits) {
                param = param * 10 + (m_in[m_pos] - '0');
            }
            hasParam = true;
            ++m_pos;
        }
        if (negative) {
            param = -param;
        }
        if (m_pos < m_in.size() && m_in[m_pos] == ' ') {
            ++m_pos;
        }
        const bool wasNewGroup = std::exchange(m_newGroup, false);
        const bool ignorable = std::exchange(m_ignorable, false);
        if (word != "u" && word != "bin") {
            m_fallback = 0;
        }
        this->word(word, hasParam, param, wasNewGroup || ignorable, ignorable);
    }

    void symbol(char c, bool atGroupStart) {
        switch (c) {
        case '\'': {
            if (m_in.size() - m_pos < 2) {
                m_pos = m_in.size();
                return;
            }
            const int hi = hexValue(m_in[m_pos]);
            const int lo = hexValue(m_in[m_pos + 1]);
            m_pos += 2;
            if (hi < 0 || lo < 0) {
                return;
            }
            if (m_fallback > 0) {
                --m_fallback;
                return;
            }
            byte(static_cast<std::uint8_t>(hi * 16 + lo));
            return;
        }
        case '*':
            m_ignorable = atGroupStart;
            m_newGroup = atGroupStart;
            return;
        case '\\':
        case '{':
        case '}':
            m_fallback = 0;
            byte(static_cast<std::uint8_t>(c));
            return;
        case '~':
            m_fallback = 0;
            emit(0x00A0);
            return;
        case '_':
            m_fallback = 0;
            emit(0x2011);
            return;
        case '\r':
        case '\n':
            m_fallback = 0;
            emitText("\r\n");
            return;
        case '\t':
            emitText("\t");
            return;
        default:
            m_fallback = 0; // \- optional hyphen, \| \: and unknown symbols show nothing
            return;
        }
    }

    std::uint32_t fontCodePage(std::int64_t font) const {
        const auto it = m_fontCodePages.find(font);
        return it != m_fontCodePages.end() && it->second != 0 ? it->second : m_docCodePage;
    }

    void word(std::string_view w, bool hasParam, std::int64_t param, bool destinationPosition,
              bool ignorable) {
        Group& g = top();
        if (destinationPosition) {
            if (w == "htmltag" && ignorable) {
                g.htmltag = m_origin == RtfOrigin::Html;
                g.skip = g.skip || m_origin != RtfOrigin::Html;
                return;
            }
            if (w == "fonttbl") {
                g.fontTable = true;
                g.skip = true;
                return;
            }
            if (isSkippedDestination(w)) {
                g.skip = true;
                return;
            }
            if (ignorable) {
                // An optional destination this reader does not know: skip it, as RTF says.
                g.skip = true;
                return;
            }
        }
        if (g.fontTable) {
            if (w == "f" && hasParam) {
                m_currentFont = param;
            } else if (w == "fcharset" && hasParam) {
                auto& cp = m_fontCodePages[m_currentFont];
                if (cp == 0) {
                    cp = codePageOfCharset(static_cast<int>(param));
                }
            } else if (w == "cpg" && hasParam && param > 0) {
                m_fontCodePages[m_currentFont] = static_cast<std::uint32_t>(param);
            }
            return;
        }
        if (w == "par" || w == "line" || w == "sect" || w == "page" || w == "row") {
            emitText("\r\n");
        } else if (w == "tab" || w == "cell") {
            emitText("\t");
        } else if (w == "u" && hasParam) {
            const auto unit = static_cast<char32_t>(param < 0 ? param + 65536 : param) & 0xFFFF;
            emit(unit);
            m_fallback = g.uc;
        } else if (w == "uc" && hasParam) {
            g.uc = static_cast<int>(std::clamp<std::int64_t>(param, 0, 16));
        } else if (w == "ansicpg" && hasParam && param > 0) {
            m_docCodePage = static_cast<std::uint32_t>(param);
            g.codePage = m_docCodePage;
        } else if (w == "mac") {
            m_docCodePage = g.codePage = 10000;
        } else if (w == "pc") {
            m_docCodePage = g.codePage = 437;
        } else if (w == "pca") {
            m_docCodePage = g.codePage = 850;
        } else if (w == "deff" && hasParam) {
            m_defaultFont = param;
        } else if (w == "f" && hasParam) {
            g.codePage = fontCodePage(param);
        } else if (w == "fromhtml") {
            m_origin = RtfOrigin::Html;
        } else if (w == "fromtext") {
            m_origin = RtfOrigin::Text;
        } else if (w == "htmlrtf") {
            g.htmlrtf = !hasParam || param != 0;
        } else if (w == "bin" && hasParam && param > 0) {
            const auto n = static_cast<std::uint64_t>(param);
            m_pos += static_cast<std::size_t>(std::min<std::uint64_t>(n, m_in.size() - m_pos));
        } else if (w == "emdash") {
            emit(0x2014);
        } else if (w == "endash") {
            emit(0x2013);
        } else if (w == "emspace") {
            emit(0x2003);
        } else if (w == "enspace") {
            emit(0x2002);
        } else if (w == "qmspace") {
            emit(0x2005);
        } else if (w == "bullet") {
            emit(0x2022);
        } else if (w == "lquote") {
            emit(0x2018);
        } else if (w == "rquote") {
            emit(0x2019);
        } else if (w == "ldblquote") {
            emit(0x201C);
        } else if (w == "rdblquote") {
            emit(0x201D);
        } else if (w == "zwj") {
            emit(0x200D);
        } else if (w == "zwnj") {
            emit(0x200C);
        }
    }

    std::string_view m_in;
    std::size_t m_pos = 0;
    std::vector<Group> m_groups;
    std::size_t m_flattened = 0;
    bool m_newGroup = false;
    bool m_ignorable = false;
    int m_fallback = 0;
    char32_t m_highSurrogate = 0;
    RtfOrigin m_origin = RtfOrigin::Rtf;
    std::uint32_t m_docCodePage = kDefaultCodePage;
    std::int64_t m_defaultFont = 0;
    std::int64_t m_currentFont = 0;
    std::map<std::int64_t, std::uint32_t> m_fontCodePages;
    std::string m_pending;
    std::uint32_t m_pendingCodePage = kDefaultCodePage;
    std::string m_out;
};

} // namespace

RtfContent extractRtf(std::string_view rtf) {
    return RtfReader(rtf).run();
}

std::string rtfToText(std::string_view rtf) {
    RtfContent content = extractRtf(rtf);
    if (content.origin == RtfOrigin::Html) {
        return htmlToText(content.text);
    }
    return std::move(content.text);
}

} // namespace tvn::store::pst::body

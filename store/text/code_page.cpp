#include "store/text/code_page.h"

#include <array>
#include <cerrno>
#include <map>

#include "store/text/code_page_tables.h"
#include "store/text/utf.h"

#if __has_include(<iconv.h>)
#include <iconv.h>
#define TALLYVANE_HAVE_ICONV 1
#endif

namespace tvn::store::text {

namespace {

#ifdef TALLYVANE_HAVE_ICONV
// The C library's name of a code page that has no table here; nullptr when it has none.
const char* iconvName(std::uint32_t codePage) {
    switch (codePage) {
    case 932:
        return "CP932";
    case 936:
        return "CP936";
    case 949:
        return "CP949";
    case 950:
        return "CP950";
    case 54936:
        return "GB18030";
    case 51932:
        return "EUC-JP";
    case 51949:
        return "EUC-KR";
    case 50220:
    case 50221:
    case 50222:
        return "ISO-2022-JP";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    case 437:
        return "CP437";
    case 850:
        return "CP850";
    case 866:
        return "CP866";
    case 10000:
        return "MACINTOSH";
    case 28592:
        return "ISO-8859-2";
    case 28593:
        return "ISO-8859-3";
    case 28594:
        return "ISO-8859-4";
    case 28595:
        return "ISO-8859-5";
    case 28596:
        return "ISO-8859-6";
    case 28597:
        return "ISO-8859-7";
    case 28598:
    case 38598:
        return "ISO-8859-8";
    case 28599:
        return "ISO-8859-9";
    case 28603:
        return "ISO-8859-13";
    case 28605:
        return "ISO-8859-15";
    default:
        return nullptr;
    }
}

// One converter per code page and thread, opened on first use and kept: opening one costs
// far more than converting a short string.
class IconvCache {
public:
    ~IconvCache() {
        for (auto& [cp, cd] : m_open) {
            if (cd != invalid()) {
                iconv_close(cd);
            }
        }
    }
    iconv_t get(std::uint32_t codePage) {
        auto it = m_open.find(codePage);
        if (it == m_open.end()) {
            const char* name = iconvName(codePage);
            iconv_t cd = name != nullptr ? iconv_open("UTF-8", name) : invalid();
            it = m_open.emplace(codePage, cd).first;
        }
        return it->second;
    }
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }

private:
    std::map<std::uint32_t, iconv_t> m_open;
};

iconv_t converterFor(std::uint32_t codePage) {
    thread_local IconvCache cache;
    return cache.get(codePage);
}

void appendIconv(std::string& out, std::span<const std::uint8_t> bytes, iconv_t cd) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    // The C interface takes non-const pointers but does not write through the input one.
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    std::size_t inLeft = bytes.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            continue;
        }
        // An invalid or cut-off sequence: one replacement character, then go on after the
        // offending byte.
        appendUtf8(out, kReplacementCharacter);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        ++in;
        --inLeft;
    }
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
}
#endif

bool isDirectCodePage(std::uint32_t codePage) {
    return codePage == kUtf8CodePage || codePage == 28591 || codePage == 20127 ||
           detail::singleByteTable(codePage) != nullptr;
}

} // namespace

bool isKnownCodePage(std::uint32_t codePage) {
    if (isDirectCodePage(codePage)) {
        return true;
    }
#ifdef TALLYVANE_HAVE_ICONV
    return converterFor(codePage) != IconvCache::invalid();
#else
    return false;
#endif
}

std::string decodeCodePage(std::span<const std::uint8_t> bytes, std::uint32_t codePage) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    if (codePage == kUtf8CodePage) {
        appendValidUtf8(out,
                        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        kReplacementUtf8);
        return out;
    }
    if (codePage == 20127 || codePage == 28591) {
        // US-ASCII is read as ISO-8859-1 so that a stray 8-bit byte keeps a meaning.
        for (std::uint8_t b : bytes) {
            appendUtf8(out, b);
        }
        return out;
    }
    const auto* table = detail::singleByteTable(codePage);
#ifdef TALLYVANE_HAVE_ICONV
    if (table == nullptr) {
        if (iconv_t cd = converterFor(codePage); cd != IconvCache::invalid()) {
            appendIconv(out, bytes, cd);
            return out;
        }
    }
#endif
    if (table == nullptr) {
        table = detail::singleByteTable(kDefaultCodePage);
    }
    for (std::uint8_t b : bytes) {
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
        } else {
            appendUtf8(out, (*table)[b - 0x80u]);
        }
    }
    return out;
}

std::string decodeCodePage(std::string_view bytes, std::uint32_t codePage) {
    return decodeCodePage(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), codePage);
}

namespace {

// The Windows-1252 byte of a code point outside ASCII, or '?' when the code page has none.
char windows1252Byte(char32_t c, const std::array<char16_t, 128>& table) {
    if (c >= 0xA0 && c <= 0xFF) {
        return static_cast<char>(static_cast<unsigned char>(c));
    }
    // Only bytes 0x80-0x9F hold characters other than their own code point.
    for (std::size_t i = 0; i < 0x20; ++i) {
        if (table[i] == c) {
            return static_cast<char>(static_cast<unsigned char>(0x80 + i));
        }
    }
    return '?';
}

} // namespace

void appendWindows1252(std::string& out, std::string_view utf8) {
    const auto& table = *detail::singleByteTable(1252);
    transcodeUtf8(
        out, utf8,
        [&out, &table](char32_t c, std::string_view) { out.push_back(windows1252Byte(c, table)); },
        [&out] { out.push_back('?'); });
}

std::string toWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    appendWindows1252(out, utf8);
    return out;
}

std::uint32_t codePageOfCharsetName(std::string_view name) {
    std::string n;
    for (const char c : name) {
        n.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    struct Entry {
        std::string_view name;
        std::uint32_t codePage;
    };
    static constexpr Entry kNames[] = {
        {"utf-8", 65001},        {"utf8", 65001},
        {"us-ascii", 20127},     {"ascii", 20127},
        {"iso-8859-1", 28591},   {"latin1", 28591},
        {"iso-8859-2", 28592},   {"iso-8859-5", 28595},
        {"iso-8859-7", 28597},   {"iso-8859-8", 28598},
        {"iso-8859-9", 28599},   {"iso-8859-15", 28605},
        {"gb2312", 936},         {"gbk", 936},
        {"gb18030", 54936},      {"big5", 950},
        {"shift_jis", 932},      {"shift-jis", 932},
        {"sjis", 932},           {"euc-jp", 51932},
        {"iso-2022-jp", 50220},  {"euc-kr", 949},
        {"ks_c_5601-1987", 949}, {"koi8-r", 20866},
        {"koi8-u", 21866},       {"tis-620", 874},
        {"windows-874", 874},
    };
    for (const auto& e : kNames) {
        if (n == e.name) {
            return e.codePage;
        }
    }
    // windows-1250 ... windows-1258, cp125x
    for (const std::string_view prefix : {"windows-", "cp"}) {
        if (n.size() == prefix.size() + 4 && n.compare(0, prefix.size(), prefix) == 0) {
            std::uint32_t cp = 0;
            for (std::size_t i = prefix.size(); i < n.size(); ++i) {
                if (n[i] < '0' || n[i] > '9') {
                    return 0;
                }
                cp = cp * 10 + static_cast<std::uint32_t>(n[i] - '0');
            }
            return cp >= 1250 && cp <= 1258 ? cp : 0;
        }
    }
    return 0;
}

std::uint32_t codePageOfCharset(int charset) {
    switch (charset) {
    case 0:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    default:
        return 0;
    }
}

} // namespace tvn::store::text

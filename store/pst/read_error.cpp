#include "store/pst/read_error.h"

#include "store/pst/byte_reader.h"

namespace tvn::store::pst {

std::string hexText(std::uint64_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[value & 0xFU]);
        value >>= 4U;
    } while (value != 0);
    if (digits.size() % 2 != 0) {
        digits.insert(digits.begin(), '0');
    }
    return "0x" + digits;
}

namespace {
std::string withOffset(std::string_view what, std::uint64_t offset) {
    std::string text(what);
    if (offset != kNoOffset) {
        text += " at offset ";
        text += hexText(offset);
    }
    return text;
}
} // namespace

void throwCorrupt(std::string_view what, std::uint64_t offset) {
    throw ReadError(tvn::err::kCorruptData, withOffset(what, offset), offset);
}

void throwCorruptStore(std::string_view what, std::uint64_t offset) {
    throw ReadError(
        tvn::err::kCorruptStore,
        withOffset(std::string("not an Outlook data file: ") + std::string(what), offset), offset);
}

void ByteReader::fail(std::size_t off, std::size_t n) const {
    std::string what = "truncated " + std::string(m_what) + ": " + std::to_string(n) +
                       " bytes at position " + std::to_string(off) + " of " +
                       std::to_string(m_bytes.size());
    throwCorrupt(what, m_fileOffset);
}

} // namespace tvn::store::pst

#pragma once

// A bounds-checked little-endian reader over bytes that came from an untrusted file.
//
// Every read checks its range with the overflow-safe form `n > size - off`; a read past the
// end throws ReadError (err::kCorruptData) naming what was being read and the file offset,
// so a decoder never indexes raw memory itself. The reader does not own the bytes: the span
// it was made from must outlive it and every span it returns.

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "store/pst/read_error.h"

namespace tvn::store::pst {

// The one little-endian decoder of the reader: the unsigned integer of sizeof(T) bytes at
// `off`. It does not check the range; callers pass a span they have already bounds-checked
// (one ByteReader::slice covering a whole record, or a size test), which keeps hot loops free
// of a check per field.
template <std::unsigned_integral T>
constexpr T loadLe(std::span<const std::uint8_t> s, std::size_t off) noexcept {
    T value = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) {
        value = static_cast<T>((value << 8U) | s[off + i]);
    }
    return value;
}

class ByteReader {
public:
    // `fileOffset` is the file offset of bytes[0], used only in error descriptions; pass
    // kNoOffset for bytes that do not sit in the file as they are (decrypted or inflated).
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset = kNoOffset,
                        std::string_view what = "structure")
        : m_bytes(bytes), m_fileOffset(fileOffset), m_what(what) {}

    std::size_t size() const noexcept { return m_bytes.size(); }
    std::size_t position() const noexcept { return m_pos; }
    std::size_t remaining() const noexcept { return m_bytes.size() - m_pos; }
    std::span<const std::uint8_t> bytes() const noexcept { return m_bytes; }

    // The unsigned integer of sizeof(T) bytes at `off`, little-endian.
    template <std::unsigned_integral T> T readAt(std::size_t off) const {
        return loadLe<T>(slice(off, sizeof(T)), 0);
    }

    // Reads at the current position and advances.
    template <std::unsigned_integral T> T read() {
        const T value = readAt<T>(m_pos);
        m_pos += sizeof(T);
        return value;
    }

    // `n` bytes at `off`; throws when they do not all lie inside.
    std::span<const std::uint8_t> slice(std::size_t off, std::size_t n) const {
        if (off > m_bytes.size() || n > m_bytes.size() - off) {
            fail(off, n);
        }
        return m_bytes.subspan(off, n);
    }

    // `n` bytes at the current position, advancing past them.
    std::span<const std::uint8_t> take(std::size_t n) {
        const auto s = slice(m_pos, n);
        m_pos += n;
        return s;
    }

    void seek(std::size_t off) {
        if (off > m_bytes.size()) {
            fail(off, 0);
        }
        m_pos = off;
    }
    void skip(std::size_t n) { (void)take(n); }

private:
    [[noreturn]] void fail(std::size_t off, std::size_t n) const;

    std::span<const std::uint8_t> m_bytes;
    std::uint64_t m_fileOffset;
    std::string_view m_what;
    std::size_t m_pos = 0;
};

} // namespace tvn::store::pst

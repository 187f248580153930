#pragma once

// The byte-to-character tables of the Windows single-byte code pages. Private to the text
// decoder; callers use code_page.h.

#include <array>
#include <cstdint>

namespace tvn::store::text::detail {

// The characters of bytes 0x80-0xFF in the code page, or nullptr when the code page is
// not one of the tabled single-byte ones. The table lives for the whole program.
const std::array<char16_t, 128>* singleByteTable(std::uint32_t codePage);

} // namespace tvn::store::text::detail

// The header and the three on-disk formats of [MS-PST] section 2.2.2 (NDB layer).

#include "store/pst/ndb/file_layout.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tvn::store::pst::ndb {

std::string_view formatName(Format format) noexcept {
    switch (format) {
    case Format::Ansi:
        return "ansi";
    case Format::Unicode:
        return "unicode";
    case Format::Unicode4k:
        return "unicode-4k";
    }
    return "unicode";
}

std::string_view encryptionName(CryptMethod method) noexcept {
    switch (method) {
    case CryptMethod::None:
        return "none";
    case CryptMethod::Compressible:
        return "compressible";
    case CryptMethod::High:
        return "high";
    }
    return "none";
}

Layout Layout::forFormat(Format format) noexcept {
    Layout l;
    l.format = format;
    switch (format) {
    case Format::Ansi:
        l.idSize = 4;
        l.pageSize = 512;
        l.pageEntryArea = 496;
        l.pageTrailerSize = 12;
        l.blockTrailerSize = 12;
        l.blockAlignment = 64;
        l.maxBlockSize = 8192;
        l.nbtEntrySize = 16;
        l.bbtEntrySize = 12;
        l.btEntrySize = 12;
        break;
    case Format::Unicode:
        break; // the defaults
    case Format::Unicode4k:
        l.pageSize = 4096;
        l.pageEntryArea = 4056;
        l.pageTrailerSize = 24;
        l.blockTrailerSize = 24;
        l.blockAlignment = 512;
        l.maxBlockSize = 65536;
        break;
    }
    return l;
}

Header readHeader(FileStorage& storage) {
    // Every header field lies in the first kHeaderBytes bytes.
    constexpr std::size_t kHeaderBytes = 1024;
    const std::uint64_t fileSize = storage.size();
    const BlockBytes head =
        storage.range(0, static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kHeaderBytes)));
    ByteReader r(head.bytes(), 0, "header");
    if (head.size() < 4 || std::memcmp(head.bytes().data(), "!BDN", 4) != 0) {
        throwCorruptStore("no \"!BDN\" signature", 0);
    }
    if (head.size() < 512) {
        throwCorruptStore(
            "file of " + std::to_string(fileSize) + " bytes is too short for a header", 0);
    }
    Header header;
    const auto magic = r.readAt<std::uint16_t>(8);
    if (magic != 0x4D53 && magic != 0x4F53) { // "SM", "SO"
        throwCorruptStore("invalid wMagicClient " + hexText(magic), 8);
    }
    header.offlineClient = magic == 0x4F53;
    header.version = r.readAt<std::uint16_t>(10);
    header.clientVersion = r.readAt<std::uint16_t>(12);
    if (header.version == 14 || header.version == 15) {
        header.format = Format::Ansi;
    } else if (header.version >= 20 && header.version <= 23) {
        header.format = Format::Unicode;
    } else if (header.version == 36) {
        header.format = Format::Unicode4k;
    } else {
        throwCorruptStore("unsupported wVer " + hexText(header.version), 10);
    }

    std::size_t cryptOffset = 0;
    if (header.format == Format::Ansi) {
        header.fileEof = r.readAt<std::uint32_t>(0xA8);
        header.nodeBTreeRoot = {BlockId{r.readAt<std::uint32_t>(0xB8)},
                                r.readAt<std::uint32_t>(0xBC)};
        header.blockBTreeRoot = {BlockId{r.readAt<std::uint32_t>(0xC0)},
                                 r.readAt<std::uint32_t>(0xC4)};
        cryptOffset = 0x1CD;
    } else {
        header.fileEof = r.readAt<std::uint64_t>(0xB8);
        header.nodeBTreeRoot = {BlockId{r.readAt<std::uint64_t>(0xD8)},
                                r.readAt<std::uint64_t>(0xE0)};
        header.blockBTreeRoot = {BlockId{r.readAt<std::uint64_t>(0xE8)},
                                 r.readAt<std::uint64_t>(0xF0)};
        cryptOffset = 0x201;
    }
    const auto crypt = r.readAt<std::uint8_t>(cryptOffset);
    if (crypt > 2) {
        throwCorruptStore("invalid bCryptMethod " + hexText(crypt), cryptOffset);
    }
    header.crypt = static_cast<CryptMethod>(crypt);
    return header;
}

} // namespace tvn::store::pst::ndb

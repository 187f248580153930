#include "store/msg/cfb_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/failure.h"
#include "store/msg/cfb_writer.h"
#include "store/pst/byte_reader.h"
#include "store/read_fully.h"
#include "store/text/utf.h"

namespace tvn::store::msg {

namespace {

using pst::loadLe;

using namespace cfb;

[[noreturn]] void corrupt(const std::string& what) {
    throw Failure(err::kCorruptData, "The compound file is damaged: " + what + ".");
}

class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    ~FileSource() override { ::close(m_fd); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t size() const override { return m_size; }
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        if (offset > m_size || out.size() > m_size - offset) {
            corrupt("a structure lies beyond the end of the file");
        }
        int error = 0;
        if (store::readFully(m_fd, offset, out, error) < out.size()) {
            throw Failure(err::kPathFileAccess, "The file could not be read.");
        }
    }

private:
    int m_fd;
    std::uint64_t m_size;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset) {
            corrupt("a structure lies beyond the end of the file");
        }
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

} // namespace

std::shared_ptr<const ByteSource> openFileSource(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw Failure(errno == ENOENT ? err::kFileNotFound : err::kPathFileAccess,
                      "The file could not be opened.", path.string());
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Failure(err::kPathFileAccess, "The file could not be opened.", path.string());
    }
    return std::make_shared<FileSource>(fd, static_cast<std::uint64_t>(st.st_size));
}

std::shared_ptr<const ByteSource> memorySource(std::vector<std::uint8_t> bytes) {
    return std::make_shared<MemorySource>(std::move(bytes));
}

std::shared_ptr<const CfbReader> tryCompoundFile(std::vector<std::uint8_t> bytes) {
    static constexpr std::uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (bytes.size() < 512 ||
        !std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin())) {
        return nullptr;
    }
    try {
        return std::make_shared<const CfbReader>(memorySource(std::move(bytes)));
    } catch (const Failure&) {
        return nullptr;
    }
}

CfbReader::CfbReader(std::shared_ptr<const ByteSource> source) : m_source(std::move(source)) {
    std::vector<std::uint8_t> h(512);
    if (m_source->size() < h.size()) {
        corrupt("it is shorter than its header");
    }
    m_source->read(0, h);
    static constexpr std::uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (!std::equal(std::begin(kSignature), std::end(kSignature), h.begin())) {
        throw Failure(err::kCorruptData, "The file is not an Outlook message file.");
    }
    const auto major = loadLe<std::uint16_t>(h, 26);
    const auto shift = loadLe<std::uint16_t>(h, 30);
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)) ||
        loadLe<std::uint16_t>(h, 32) != 6) {
        corrupt("its version or sector size is not one of the known ones");
    }
    m_sectorSize = 1U << shift;
    const std::uint32_t perSector = m_sectorSize / 4;
    const std::uint64_t sectors = m_source->size() / m_sectorSize; // an upper bound
    const std::uint32_t fatCount = loadLe<std::uint32_t>(h, 44);
    if (fatCount > sectors) {
        corrupt("its allocation table is larger than the file");
    }

    // The allocation table's sectors: 109 in the header, the rest in a chain of sectors.
    std::vector<std::uint32_t> fatSectors;
    for (std::uint32_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatCount; ++i) {
        fatSectors.push_back(loadLe<std::uint32_t>(h, 76 + 4 * i));
    }
    std::uint32_t difat = loadLe<std::uint32_t>(h, 68);
    for (std::uint64_t steps = 0; fatSectors.size() < fatCount; ++steps) {
        if (difat > kMaxRegularSector || steps > sectors) {
            corrupt("its allocation table is incomplete");
        }
        const auto sector = readSector(difat);
        for (std::uint32_t j = 0; j + 1 < perSector && fatSectors.size() < fatCount; ++j) {
            fatSectors.push_back(loadLe<std::uint32_t>(sector, 4 * j));
        }
        difat = loadLe<std::uint32_t>(sector, 4 * (perSector - 1));
    }
    m_fat.reserve(std::size_t{fatCount} * perSector);
    for (const auto s : fatSectors) {
        const auto sector = readSector(s);
        for (std::uint32_t j = 0; j < perSector; ++j) {
            m_fat.push_back(loadLe<std::uint32_t>(sector, 4 * j));
        }
    }

    // The directory.
    const auto dirChain = chain(loadLe<std::uint32_t>(h, 48), m_fat, sectors);
    for (const auto s : dirChain) {
        const auto sector = readSector(s);
        for (std::uint32_t off = 0; off + kEntrySize <= m_sectorSize; off += kEntrySize) {
            const std::span<const std::uint8_t> e(sector.data() + off, kEntrySize);
            CfbDirEntry entry;
            const std::size_t nameBytes = std::min<std::size_t>(loadLe<std::uint16_t>(e, 64), 64);
            entry.name = text::utf16leToUtf8(e.first(nameBytes >= 2 ? (nameBytes - 2) & ~1U : 0));
            entry.type = e[66];
            entry.left = loadLe<std::uint32_t>(e, 68);
            entry.right = loadLe<std::uint32_t>(e, 72);
            entry.child = loadLe<std::uint32_t>(e, 76);
            std::copy_n(e.begin() + 80, 16, entry.classId.begin());
            entry.start = loadLe<std::uint32_t>(e, 116);
            entry.size = loadLe<std::uint32_t>(e, 120) |
                         (major == 4 ? std::uint64_t{loadLe<std::uint32_t>(e, 124)} << 32 : 0);
            m_entries.push_back(std::move(entry));
        }
    }
    if (m_entries.empty() || m_entries[0].type != kTypeRoot) {
        corrupt("its root entry is missing");
    }

    // The mini stream and its allocation table.
    const auto miniFatChain = chain(loadLe<std::uint32_t>(h, 60), m_fat, sectors);
    for (const auto s : miniFatChain) {
        const auto sector = readSector(s);
        for (std::uint32_t j = 0; j < perSector; ++j) {
            m_miniFat.push_back(loadLe<std::uint32_t>(sector, 4 * j));
        }
    }
    m_miniSize = m_entries[0].size;
    if (m_miniSize > m_source->size()) {
        corrupt("its mini stream is larger than the file");
    }
    m_miniChain = chain(m_entries[0].start, m_fat, sectors);
    indexStorages();
    if (std::uint64_t{m_miniChain.size()} * m_sectorSize < m_miniSize) {
        corrupt("its mini stream is shorter than recorded");
    }
}

std::vector<std::uint8_t> CfbReader::readSector(std::uint32_t sector) const {
    std::vector<std::uint8_t> bytes(m_sectorSize);
    m_source->read((std::uint64_t{sector} + 1) * m_sectorSize, bytes);
    return bytes;
}

std::vector<std::uint32_t> CfbReader::chain(std::uint32_t start,
                                            const std::vector<std::uint32_t>& table,
                                            std::uint64_t maxLength) const {
    std::vector<std::uint32_t> out;
    for (std::uint32_t s = start; s != kEndOfChain;) {
        if (s == kFreeSector && out.empty()) {
            break; // an empty chain some writers mark as free
        }
        if (s >= table.size()) {
            corrupt("a sector chain leaves the allocation table");
        }
        if (out.size() >= maxLength || out.size() >= table.size()) {
            corrupt("a sector chain is longer than it can be");
        }
        out.push_back(s);
        s = table[s];
    }
    return out;
}

void CfbReader::indexStorages() {
    // Every entry belongs to one storage at most: a damaged file whose trees share entries
    // or loop is refused here, so that no walk of the storages can revisit one.
    const auto n = m_entries.size();
    m_children.assign(n, {});
    m_byName.assign(n, {});
    std::vector<bool> claimed(n, false);
    claimed[kRoot] = true;
    std::vector<std::uint32_t> stack;
    for (std::uint32_t id = 0; id < n; ++id) {
        if (!m_entries[id].isStorage()) {
            continue;
        }
        std::uint32_t node = m_entries[id].child;
        while (node != kNoEntry || !stack.empty()) {
            while (node != kNoEntry) {
                if (node >= n || claimed[node]) {
                    corrupt("a storage's entries form a loop or name no entry");
                }
                claimed[node] = true;
                stack.push_back(node);
                node = m_entries[node].left;
            }
            node = stack.back();
            stack.pop_back();
            if (m_entries[node].type != 0) {
                m_children[id].push_back(node);
                std::string key = m_entries[node].name;
                std::transform(key.begin(), key.end(), key.begin(),
                               [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
                m_byName[id].emplace(std::move(key), node);
            }
            node = m_entries[node].right;
        }
    }
}

const std::vector<std::uint32_t>& CfbReader::children(std::uint32_t id) const {
    static const std::vector<std::uint32_t> kNone;
    return id < m_children.size() ? m_children[id] : kNone;
}

std::optional<std::uint32_t> CfbReader::find(std::uint32_t id, std::string_view name) const {
    if (id >= m_byName.size()) {
        return std::nullopt;
    }
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const auto it = m_byName[id].find(key);
    if (it == m_byName[id].end()) {
        return std::nullopt;
    }
    return it->second;
}

std::vector<std::uint8_t> CfbReader::read(std::uint32_t id, std::uint64_t limit) const {
    if (id >= m_entries.size() || !m_entries[id].isStream()) {
        corrupt("a stream is missing");
    }
    if (m_entries[id].size > limit || m_entries[id].size > m_source->size()) {
        corrupt("the stream \"" + m_entries[id].name + "\" is larger than it can be");
    }
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(m_entries[id].size));
    readTo(id, [&](std::span<const std::uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); });
    return out;
}

void CfbReader::readTo(std::uint32_t id,
                       const std::function<void(std::span<const std::uint8_t>)>& sink) const {
    if (id >= m_entries.size() || !m_entries[id].isStream()) {
        corrupt("a stream is missing");
    }
    const auto& e = m_entries[id];
    std::uint64_t left = e.size;
    if (left == 0) {
        return;
    }
    if (left < kMiniStreamCutoff) {
        const auto miniSectors =
            chain(e.start, m_miniFat, (left + kMiniSectorSize - 1) / kMiniSectorSize);
        std::vector<std::uint8_t> buf(kMiniSectorSize);
        for (const auto m : miniSectors) {
            const std::uint64_t at = std::uint64_t{m} * kMiniSectorSize;
            if (at + kMiniSectorSize > m_miniSize) {
                corrupt("a mini sector lies outside the mini stream");
            }
            const auto sector = m_miniChain[static_cast<std::size_t>(at / m_sectorSize)];
            m_source->read((std::uint64_t{sector} + 1) * m_sectorSize + at % m_sectorSize, buf);
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kMiniSectorSize));
            sink(std::span(buf).first(n));
            left -= n;
        }
    } else {
        const auto sectors = chain(e.start, m_fat, (left + m_sectorSize - 1) / m_sectorSize);
        std::vector<std::uint8_t> buf(m_sectorSize);
        for (const auto s : sectors) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, m_sectorSize));
            m_source->read((std::uint64_t{s} + 1) * m_sectorSize, std::span(buf).first(n));
            sink(std::span(buf).first(n));
            left -= n;
        }
    }
    if (left != 0) {
        corrupt("the stream \"" + e.name + "\" is shorter than recorded");
    }
}

} // namespace tvn::store::msg

#include "store/msg/msg_reader.h"

#include <cstdio>

#include "store/failure.h"
#include "store/pst/byte_reader.h"
#include "store/text/code_page.h"
#include "store/text/utf.h"

namespace tvn::store::msg {

namespace {

using pst::loadLe;

// No property value of a message is larger than this, attachment data aside.
constexpr std::uint64_t kMaxValueSize = 64ULL << 20;
// Values of one multi-valued property.
constexpr std::size_t kMaxValues = 65536;

[[noreturn]] void corrupt(const std::string& what) {
    throw Failure(err::kCorruptData, "The message file is damaged: " + what + ".");
}

std::string streamName(std::uint32_t tag) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "__substg1.0_%08X", tag);
    return buf;
}

std::size_t fixedSize(std::uint16_t type) {
    switch (type) {
    case ptype::kInt16:
        return 2;
    case ptype::kInt32:
    case ptype::kFloat:
    case ptype::kError:
        return 4;
    case ptype::kBoolean:
        return 1;
    default:
        return 8;
    }
}

void trimTerminator(std::vector<std::uint8_t>& s, std::size_t unit) {
    while (s.size() >= unit && std::all_of(s.end() - static_cast<std::ptrdiff_t>(unit), s.end(),
                                           [](std::uint8_t b) { return b == 0; })) {
        s.resize(s.size() - unit);
    }
    if (unit == 2 && s.size() % 2 != 0) {
        s.pop_back();
    }
}

class Reader {
public:
    explicit Reader(std::shared_ptr<const CfbReader> cfb) : m_cfb(std::move(cfb)) {}

    MsgDocument read() {
        MsgDocument doc;
        message(doc.message, CfbReader::kRoot, 32, 0);
        names(doc.names);
        return doc;
    }

private:
    void message(MsgMessage& out, std::uint32_t storage, std::size_t headerSize, int depth) {
        if (depth > kMaxNesting) {
            throw Failure(err::kCorruptData, "Attached messages are nested more than " +
                                                 std::to_string(kMaxNesting) + " levels deep.");
        }
        std::vector<std::uint32_t> recips;
        std::vector<std::uint32_t> attachs;
        for (const auto c : m_cfb->children(storage)) {
            const auto& e = m_cfb->entries()[c];
            if (e.isStorage() && e.name.starts_with("__recip_version1.0_#")) {
                recips.push_back(c);
            } else if (e.isStorage() && e.name.starts_with("__attach_version1.0_#")) {
                attachs.push_back(c);
            }
        }
        auto byName = [&](std::uint32_t a, std::uint32_t b) {
            return m_cfb->entries()[a].name < m_cfb->entries()[b].name;
        };
        std::sort(recips.begin(), recips.end(), byName);
        std::sort(attachs.begin(), attachs.end(), byName);

        properties(out.properties, storage, headerSize, nullptr);
        const std::uint32_t codePage = codePageOf(out.properties);
        toUnicode(out.properties, codePage);
        for (const auto r : recips) {
            PropertyList list;
            properties(list, r, 8, nullptr);
            toUnicode(list, codePage);
            out.recipients.push_back(std::move(list));
        }
        for (const auto a : attachs) {
            MsgAttachment attachment;
            bool embedded = false;
            properties(attachment.properties, a, 8, &embedded);
            toUnicode(attachment.properties, codePage);
            if (embedded) {
                const auto inner = m_cfb->find(a, streamName(0x3701000D));
                if (!inner || !m_cfb->entries()[*inner].isStorage()) {
                    corrupt("an attached message is missing");
                }
                const auto* method = findProperty(attachment.properties, 0x3705);
                if (method != nullptr && method->type() == ptype::kInt32 &&
                    loadLe<std::uint32_t>(method->bytes, 0) == 6) {
                    // An OLE object's own storage.
                    attachment.ole = m_cfb;
                    attachment.oleRoot = *inner;
                } else {
                    attachment.embedded = std::make_unique<MsgMessage>();
                    message(*attachment.embedded, *inner, 24, depth + 1);
                }
            }
            out.attachments.push_back(std::move(attachment));
        }
    }

    void properties(PropertyList& out, std::uint32_t storage, std::size_t headerSize,
                    bool* embedded) {
        const auto id = m_cfb->find(storage, "__properties_version1.0");
        if (!id) {
            corrupt("a property stream is missing");
        }
        const auto stream = m_cfb->read(*id, kMaxValueSize);
        for (std::size_t at = headerSize; at + 16 <= stream.size(); at += 16) {
            MsgProperty p;
            p.tag = loadLe<std::uint32_t>(stream, at);
            p.flags = loadLe<std::uint32_t>(stream, at + 4);
            const std::span<const std::uint8_t> value(stream.data() + at + 8, 8);
            const auto type = p.type();
            if (isFixedType(type)) {
                p.bytes.assign(value.begin(),
                               value.begin() + static_cast<std::ptrdiff_t>(fixedSize(type)));
            } else if (type == ptype::kObject) {
                if (p.id() == 0x3701 && embedded != nullptr) {
                    *embedded = true;
                }
                continue;
            } else if (!isStorableType(type) || !variable(p, storage)) {
                continue;
            }
            out.push_back(std::move(p));
        }
    }

    // Reads the stream(s) of a variable-size value; false when it has none.
    bool variable(MsgProperty& p, std::uint32_t storage) {
        const auto name = streamName(p.tag);
        const auto id = m_cfb->find(storage, name);
        if (!id || !m_cfb->entries()[*id].isStream()) {
            return false;
        }
        const auto type = p.type();
        const auto base = static_cast<std::uint16_t>(type & ~ptype::kMultiValue & 0xFFFF);
        if ((type & ptype::kMultiValue) == 0) {
            if (p.id() == 0x3701 && type == ptype::kBinary) {
                // Attachment data stays in the file until it is written out.
                p.size = m_cfb->entries()[*id].size;
                p.producer = [cfb = m_cfb, stream = *id](ByteSink& sink) {
                    cfb->readTo(stream, [&](std::span<const std::uint8_t> b) { sink.write(b); });
                };
                return true;
            }
            p.bytes = m_cfb->read(*id, kMaxValueSize);
            if (type == ptype::kUnicode) {
                trimTerminator(p.bytes, 2);
            } else if (type == ptype::kString8) {
                trimTerminator(p.bytes, 1);
            }
            return true;
        }
        const auto lengths = m_cfb->read(*id, kMaxValueSize);
        if (base != ptype::kUnicode && base != ptype::kString8 && base != ptype::kBinary) {
            p.bytes = lengths; // packed fixed-size values
            return true;
        }
        const std::size_t width = base == ptype::kBinary ? 8 : 4;
        const std::size_t count = lengths.size() / width;
        if (count > kMaxValues) {
            corrupt("a property has too many values");
        }
        for (std::size_t i = 0; i < count; ++i) {
            char suffix[12];
            std::snprintf(suffix, sizeof suffix, "-%08X", static_cast<unsigned>(i));
            const auto item = m_cfb->find(storage, name + suffix);
            std::vector<std::uint8_t> bytes;
            if (item) {
                bytes = m_cfb->read(*item, kMaxValueSize);
            }
            if (base != ptype::kBinary) {
                trimTerminator(bytes, base == ptype::kUnicode ? 2 : 1);
            }
            p.items.push_back(std::move(bytes));
        }
        return true;
    }

    static std::uint32_t codePageOf(const PropertyList& props) {
        for (const std::uint16_t id : {std::uint16_t{0x3FFD}, std::uint16_t{0x3FDE}}) {
            if (const auto* p = findProperty(props, id); p && p->type() == ptype::kInt32) {
                const auto cp = loadLe<std::uint32_t>(p->bytes, 0);
                if (cp > 0 && cp <= 0xFFFF && text::isKnownCodePage(cp)) {
                    return cp;
                }
            }
        }
        return text::kDefaultCodePage;
    }

    static void toUnicode(PropertyList& props, std::uint32_t codePage) {
        for (auto& p : props) {
            if (p.type() == ptype::kString8) {
                p.bytes = text::utf8ToUtf16le(text::decodeCodePage(p.bytes, codePage));
                p.tag = (p.tag & 0xFFFF0000U) | ptype::kUnicode;
            } else if (p.type() == (ptype::kString8 | ptype::kMultiValue)) {
                for (auto& item : p.items) {
                    item = text::utf8ToUtf16le(text::decodeCodePage(item, codePage));
                }
                p.tag = (p.tag & 0xFFFF0000U) | ptype::kUnicode | ptype::kMultiValue;
            }
        }
    }

    void names(std::vector<PropertyName>& out) {
        const auto storage = m_cfb->find(CfbReader::kRoot, "__nameid_version1.0");
        if (!storage) {
            return;
        }
        auto stream = [&](std::uint32_t tag) {
            const auto id = m_cfb->find(*storage, streamName(tag));
            return id ? m_cfb->read(*id, kMaxValueSize) : std::vector<std::uint8_t>{};
        };
        const auto guids = stream(0x00020102);
        const auto entries = stream(0x00030102);
        const auto strings = stream(0x00040102);
        static constexpr std::array<std::uint8_t, 16> kPsMapi = {
            0x28, 0x03, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
        static constexpr std::array<std::uint8_t, 16> kPsPublicStrings = {
            0x29, 0x03, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
        for (std::size_t at = 0; at + 8 <= entries.size(); at += 8) {
            const auto key = loadLe<std::uint32_t>(entries, at);
            const auto indexAndKind = loadLe<std::uint32_t>(entries, at + 4);
            const std::size_t index = indexAndKind >> 16;
            const std::uint32_t guid = (indexAndKind >> 1) & 0x7FFF;
            PropertyName name;
            if (guid == 1) {
                name.set = kPsMapi;
            } else if (guid == 2) {
                name.set = kPsPublicStrings;
            } else if (guid >= 3 && (guid - 3) * 16ULL + 16 <= guids.size()) {
                std::copy_n(guids.begin() + (guid - 3) * 16, 16, name.set.begin());
            } else {
                continue;
            }
            if ((indexAndKind & 1) == 0) {
                name.lid = key;
            } else {
                if (key > strings.size() || strings.size() - key < 4) {
                    continue;
                }
                const auto length = loadLe<std::uint32_t>(strings, key);
                if (length > strings.size() - key - 4) {
                    continue;
                }
                name.name = text::utf16leToUtf8(std::span(strings).subspan(key + 4, length));
            }
            if (index >= out.size()) {
                out.resize(index + 1);
            }
            out[index] = std::move(name);
        }
    }

    std::shared_ptr<const CfbReader> m_cfb;
};

} // namespace

MsgDocument readMsg(std::shared_ptr<const CfbReader> cfb) {
    return Reader(std::move(cfb)).read();
}

} // namespace tvn::store::msg

#include "store/msg/msg_objects.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "store/failure.h"
#include "store/msg/cfb_reader.h"
#include "store/msg/msg_reader.h"
#include "store/msg/msg_writer.h"
#include "store/property_names.h"
#include "store/pst/backend/date_time.h"
#include "store/pst/backend/item_properties.h"
#include "store/pst/body/html_text.h"
#include "store/pst/body/lzfu.h"
#include "store/pst/body/rtf_text.h"
#include "store/pst/messaging/message.h"
#include "store/text/code_page.h"
#include "store/text/utf.h"

namespace tvn::store::msg {

namespace {

namespace fs = std::filesystem;

std::int32_t countOf(std::size_t n) {
    return static_cast<std::int32_t>(std::min<std::size_t>(n, INT32_MAX));
}

std::int64_t leValue(const std::vector<std::uint8_t>& b) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < b.size() && i < 8; ++i) {
        v |= std::uint64_t{b[i]} << (8 * i);
    }
    return static_cast<std::int64_t>(v);
}

std::optional<std::string> textOf(const PropertyList& props, std::uint16_t id) {
    const auto* p = findProperty(props, id);
    if (p == nullptr || p->type() != ptype::kUnicode) {
        return std::nullopt;
    }
    return text::utf16leToUtf8(p->bytes);
}

std::optional<std::int64_t> integerOf(const PropertyList& props, std::uint16_t id) {
    const auto* p = findProperty(props, id);
    if (p == nullptr) {
        return std::nullopt;
    }
    switch (p->type()) {
    case ptype::kInt16:
        return static_cast<std::int16_t>(leValue(p->bytes));
    case ptype::kInt32:
        return static_cast<std::int32_t>(leValue(p->bytes));
    case ptype::kBoolean:
        return leValue(p->bytes) != 0 ? 1 : 0;
    case ptype::kInt64:
        return leValue(p->bytes);
    default:
        return std::nullopt;
    }
}

std::optional<std::int64_t> fileTimeOf(const PropertyList& props, std::uint16_t id) {
    const auto* p = findProperty(props, id);
    if (p == nullptr || p->type() != ptype::kSysTime) {
        return std::nullopt;
    }
    return leValue(p->bytes);
}

std::optional<std::uint32_t> knownCodePage(const PropertyList& props, std::uint16_t id) {
    if (const auto cp = integerOf(props, id);
        cp && *cp > 0 && *cp <= 0xFFFF && text::isKnownCodePage(static_cast<std::uint32_t>(*cp))) {
        return static_cast<std::uint32_t>(*cp);
    }
    return std::nullopt;
}

std::optional<std::string> htmlBody(const PropertyList& props) {
    const auto* html = findProperty(props, 0x1013);
    if (html == nullptr) {
        return std::nullopt;
    }
    if (html->type() == ptype::kUnicode) {
        return pst::body::htmlToText(text::utf16leToUtf8(html->bytes));
    }
    if (html->type() != ptype::kBinary) {
        return std::nullopt;
    }
    // In the internet code page; failing that, in what the HTML declares; failing that, in
    // the message's code page.
    auto cp = knownCodePage(props, 0x3FDE);
    if (!cp) {
        if (const auto declared = pst::body::declaredCodePage(html->bytes);
            declared != 0 && text::isKnownCodePage(declared)) {
            cp = declared;
        }
    }
    if (!cp) {
        cp = knownCodePage(props, 0x3FFD);
    }
    return pst::body::htmlToText(
        text::decodeCodePage(html->bytes, cp.value_or(text::kDefaultCodePage)));
}

std::optional<std::string> rtfBody(const PropertyList& props) {
    const auto* rtf = findProperty(props, 0x1009);
    if (rtf == nullptr || rtf->type() != ptype::kBinary) {
        return std::nullopt;
    }
    const auto decoded = pst::body::decompressRtf(rtf->bytes);
    if (!decoded.ok()) {
        throw Failure(err::kCorruptData, "The message's RTF body is damaged: " + decoded.error);
    }
    return pst::body::rtfToText(decoded.rtf);
}

// The plain-text body: the text body; without one, the HTML or the RTF body, the one the
// message says it was written in first.
std::string bodyOf(const PropertyList& props) {
    if (auto plain = textOf(props, 0x1000)) {
        return *plain;
    }
    const bool rtfFirst = integerOf(props, 0x1016).value_or(0) == 2;
    if (rtfFirst) {
        if (auto text = rtfBody(props)) {
            return *text;
        }
    }
    if (auto text = htmlBody(props)) {
        return *text;
    }
    if (!rtfFirst) {
        if (auto text = rtfBody(props)) {
            return *text;
        }
    }
    return {};
}

class MsgRecipient final : public Recipient {
public:
    explicit MsgRecipient(const PropertyList& props) : m_props(props) {}
    std::string name() const override { return textOf(m_props, 0x3001).value_or(""); }
    std::string address() const override {
        auto a = textOf(m_props, 0x3003).value_or("");
        return a.empty() ? textOf(m_props, 0x39FE).value_or("") : a;
    }
    RecipientType type() const override {
        return static_cast<RecipientType>(integerOf(m_props, 0x0C15).value_or(0) & 0x0F);
    }

private:
    const PropertyList& m_props; // kept alive by the document the collection holds
};

class MsgItem;

class MsgRecipients final : public Recipients {
public:
    MsgRecipients(std::shared_ptr<const MsgDocument> doc, const MsgMessage* m)
        : m_doc(std::move(doc)), m_message(m) {}
    std::int32_t count() const override { return countOf(m_message->recipients.size()); }
    std::shared_ptr<Recipient> item(std::int32_t i) const override {
        const auto& props =
            m_message->recipients[collectionPosition(i, m_message->recipients.size())];
        return std::make_shared<HeldRecipient>(m_doc, props);
    }

private:
    struct HeldRecipient final : Recipient {
        HeldRecipient(std::shared_ptr<const MsgDocument> d, const PropertyList& p)
            : doc(std::move(d)), inner(p) {}
        std::string name() const override { return inner.name(); }
        std::string address() const override { return inner.address(); }
        RecipientType type() const override { return inner.type(); }
        std::shared_ptr<const MsgDocument> doc;
        MsgRecipient inner;
    };
    std::shared_ptr<const MsgDocument> m_doc;
    const MsgMessage* m_message;
};

class MsgAttachmentObject final : public Attachment {
public:
    MsgAttachmentObject(std::shared_ptr<const MsgDocument> doc, const MsgAttachment* a)
        : m_doc(std::move(doc)), m_attachment(a) {}

    std::string fileName() const override {
        const auto& props = m_attachment->properties;
        if (!m_attachment->embedded) {
            auto name = textOf(props, 0x3707).value_or("");
            return name.empty() ? textOf(props, 0x3704).value_or("") : name;
        }
        // An attached message is named by its title as a .msg file.
        std::string title = textOf(props, 0x3001).value_or("");
        if (title.empty()) {
            title = pst::messaging::stripSubjectMarker(
                textOf(m_attachment->embedded->properties, 0x0037).value_or(""));
        }
        return (title.empty() ? std::string("Untitled") : title) + ".msg";
    }
    std::string displayName() const override {
        auto name = textOf(m_attachment->properties, 0x3001).value_or("");
        return name.empty() ? fileName() : name;
    }
    AttachmentType type() const override {
        if (m_attachment->embedded) {
            return AttachmentType::EmbeddedItem;
        }
        switch (integerOf(m_attachment->properties, 0x3705).value_or(1)) {
        case 2:
        case 3:
        case 4:
        case 7:
            return AttachmentType::ByReference;
        case 6:
            return AttachmentType::Ole;
        default:
            return AttachmentType::ByValue;
        }
    }
    void writeTo(ByteSink& sink) const override {
        if (m_attachment->embedded) {
            writeMsg(*m_attachment->embedded, m_doc->names, sink);
            return;
        }
        if (type() == AttachmentType::ByReference) {
            throw Failure(err::kInvalidProcedureCall,
                          "The attachment is a link to a file outside the message file.");
        }
        if (m_attachment->ole) {
            // The object's storage as a compound file of its own.
            CfbStorage root;
            copyStorage(root, m_attachment->ole, m_attachment->oleRoot);
            writeCompoundFile(root, sink);
            return;
        }
        if (const auto* data = findProperty(m_attachment->properties, 0x3701)) {
            if (data->producer) {
                data->producer(sink);
            } else if (!data->bytes.empty()) {
                sink.write(data->bytes);
            }
        }
    }
    std::shared_ptr<Item> embeddedItem() const override {
        if (!m_attachment->embedded) {
            return nullptr;
        }
        return makeMsgItem(m_doc, m_attachment->embedded.get());
    }

private:
    std::shared_ptr<const MsgDocument> m_doc;
    const MsgAttachment* m_attachment;
};

class MsgAttachments final : public Attachments {
public:
    MsgAttachments(std::shared_ptr<const MsgDocument> doc, const MsgMessage* m)
        : m_doc(std::move(doc)), m_message(m) {}
    std::int32_t count() const override { return countOf(m_message->attachments.size()); }
    std::shared_ptr<Attachment> item(std::int32_t i) const override {
        const auto& a =
            m_message->attachments[collectionPosition(i, m_message->attachments.size())];
        return std::make_shared<MsgAttachmentObject>(m_doc, &a);
    }

private:
    std::shared_ptr<const MsgDocument> m_doc;
    const MsgMessage* m_message;
};

// A message of a .msg file as the item properties read it.
class MsgSource final : public pst::backend::ItemSource {
public:
    MsgSource(const MsgDocument& doc, const MsgMessage& m)
        : m_doc(doc), m_props(m.properties), m_message(m) {}

    std::optional<std::string> string(std::uint16_t id) const override {
        return textOf(m_props, id);
    }
    std::optional<std::int64_t> integer(std::uint16_t id) const override {
        return integerOf(m_props, id);
    }
    std::optional<bool> boolean(std::uint16_t id) const override {
        const auto n = integerOf(m_props, id);
        return n ? std::optional<bool>(*n != 0) : std::nullopt;
    }
    std::optional<double> real(std::uint16_t id) const override {
        const auto* p = findProperty(m_props, id);
        if (p != nullptr && p->type() == ptype::kDouble && p->bytes.size() >= 8) {
            const auto raw = static_cast<std::uint64_t>(leValue(p->bytes));
            double d = 0;
            std::memcpy(&d, &raw, sizeof d);
            return d;
        }
        if (p != nullptr && p->type() == ptype::kFloat && p->bytes.size() >= 4) {
            const auto raw = static_cast<std::uint32_t>(leValue(p->bytes));
            float f = 0;
            std::memcpy(&f, &raw, sizeof f);
            return static_cast<double>(f);
        }
        if (const auto n = integerOf(m_props, id)) {
            return static_cast<double>(*n);
        }
        return std::nullopt;
    }
    std::optional<std::int64_t> fileTime(std::uint16_t id) const override {
        return fileTimeOf(m_props, id);
    }
    std::optional<std::vector<std::string>> strings(std::uint16_t id) const override {
        const auto* p = findProperty(m_props, id);
        if (p == nullptr) {
            return std::nullopt;
        }
        if (p->type() == ptype::kUnicode) {
            return std::vector<std::string>{text::utf16leToUtf8(p->bytes)};
        }
        if (p->type() != (ptype::kUnicode | ptype::kMultiValue)) {
            return std::nullopt;
        }
        std::vector<std::string> out;
        for (const auto& item : p->items) {
            out.push_back(text::utf16leToUtf8(item));
        }
        return out;
    }
    std::optional<std::vector<std::uint8_t>> binary(std::uint16_t id) const override {
        const auto* p = findProperty(m_props, id);
        if (p == nullptr || p->type() != ptype::kBinary) {
            return std::nullopt;
        }
        if (!p->producer) {
            return p->bytes;
        }
        StringSink sink; // attachment data: never read as an item property
        p->producer(sink);
        return std::vector<std::uint8_t>(sink.bytes().begin(), sink.bytes().end());
    }
    std::optional<std::uint16_t> namedId(const pst::messaging::Guid& set,
                                         std::uint32_t lid) const override {
        return find([&](const PropertyName& n) { return n.set == set.bytes && n.lid == lid; });
    }
    std::optional<std::uint16_t> namedId(const pst::messaging::Guid& set,
                                         std::string_view name) const override {
        return find(
            [&](const PropertyName& n) { return n.set == set.bytes && !n.lid && n.name == name; });
    }
    std::string messageClass() const override { return textOf(m_props, 0x001A).value_or(""); }
    std::string body() const override { return bodyOf(m_props); }
    std::vector<std::string> recipientNames(std::int32_t type) const override {
        std::vector<std::string> names;
        for (const auto& r : m_message.recipients) {
            const MsgRecipient recipient(r);
            if (static_cast<std::int32_t>(recipient.type()) == type) {
                names.push_back(recipient.name());
            }
        }
        return names;
    }

private:
    template <typename F> std::optional<std::uint16_t> find(F&& matches) const {
        for (std::size_t i = 0; i < m_doc.names.size() && i < 0x7FFF; ++i) {
            if (matches(m_doc.names[i])) {
                return static_cast<std::uint16_t>(0x8000 + i);
            }
        }
        return std::nullopt;
    }

    const MsgDocument& m_doc;
    const PropertyList& m_props;
    const MsgMessage& m_message;
};

class MsgItem final : public Item {
public:
    MsgItem(std::shared_ptr<const MsgDocument> doc, const MsgMessage* m)
        : m_doc(std::move(doc)), m_message(m) {}

    Variant get(std::string_view name) const override {
        try {
            return m_properties.get(MsgSource(*m_doc, *m_message), name);
        } catch (const Failure&) {
            throw;
        } catch (const std::exception& e) {
            throw Failure(err::kCorruptData, "property " + std::string(name) + ": " + e.what());
        }
    }

    std::string messageClass() const override {
        return textOf(m_message->properties, 0x001A).value_or("");
    }
    std::shared_ptr<Attachments> attachments() const override {
        return std::make_shared<MsgAttachments>(m_doc, m_message);
    }
    std::shared_ptr<Recipients> recipients() const override {
        return std::make_shared<MsgRecipients>(m_doc, m_message);
    }

private:
    std::shared_ptr<const MsgDocument> m_doc;
    const MsgMessage* m_message;
    pst::backend::ItemPropertyReader m_properties;
};

std::shared_ptr<Item> openItem(const fs::path& file) {
    try {
        auto cfb = std::make_shared<const CfbReader>(openFileSource(file));
        auto doc = std::make_shared<const MsgDocument>(readMsg(std::move(cfb)));
        return makeMsgItem(doc, &doc->message);
    } catch (const Failure& f) {
        throw Failure(f.number(), f.description(), file.string());
    } catch (const std::exception& e) {
        throw Failure(err::kCorruptData, std::string("The message file is damaged: ") + e.what(),
                      file.string());
    }
}

bool isMsgFile(const fs::directory_entry& e) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".msg" && e.is_regular_file();
}

class FileItems final : public Items {
public:
    explicit FileItems(std::vector<fs::path> files) : m_files(std::move(files)) {}
    std::int32_t count() const override { return countOf(m_files.size()); }
    std::shared_ptr<Item> item(std::int32_t i) const override {
        return openItem(m_files[collectionPosition(i, m_files.size())]);
    }

private:
    std::vector<fs::path> m_files;
};

class MsgFolder;

class DirFolders final : public Folders {
public:
    explicit DirFolders(std::vector<fs::path> dirs, int depth)
        : m_dirs(std::move(dirs)), m_depth(depth) {}
    std::int32_t count() const override { return countOf(m_dirs.size()); }
    std::shared_ptr<Folder> item(std::int32_t i) const override;
    using Folders::item;

private:
    std::vector<fs::path> m_dirs;
    int m_depth;
};

// Deeper directory trees are not followed (a link loop would otherwise never end).
constexpr int kMaxDirectoryDepth = 64;

class MsgFolder final : public Folder {
public:
    MsgFolder(fs::path path, int depth) : m_path(std::move(path)), m_depth(depth) {
        std::error_code ec;
        if (fs::is_directory(m_path, ec)) {
            m_directory = true;
            for (const auto& e : fs::directory_iterator(m_path, ec)) {
                if (isMsgFile(e)) {
                    m_files.push_back(e.path());
                } else if (e.is_directory() && m_depth < kMaxDirectoryDepth) {
                    m_dirs.push_back(e.path());
                }
            }
            std::sort(m_files.begin(), m_files.end());
            std::sort(m_dirs.begin(), m_dirs.end());
        } else {
            m_files.push_back(m_path);
        }
    }
    std::string name() const override {
        return (m_directory ? m_path.filename() : m_path.stem()).string();
    }
    ItemType defaultItemType() const override { return ItemType::Mail; }
    std::shared_ptr<Folders> folders() const override {
        return std::make_shared<DirFolders>(m_dirs, m_depth + 1);
    }
    std::shared_ptr<Items> items() const override { return std::make_shared<FileItems>(m_files); }

private:
    fs::path m_path;
    int m_depth;
    bool m_directory = false;
    std::vector<fs::path> m_files;
    std::vector<fs::path> m_dirs;
};

// A store over loose messages, shaped like a data file: its top folder holds no items of
// its own and one folder, the file or directory given, so that every way of choosing a data
// file's folders chooses that one.
class StoreTop final : public Folder {
public:
    explicit StoreTop(std::shared_ptr<Folder> only) : m_only(std::move(only)) {}
    std::string name() const override { return m_only->name(); }
    ItemType defaultItemType() const override { return ItemType::Mail; }
    std::shared_ptr<Folders> folders() const override {
        class One final : public Folders {
        public:
            explicit One(std::shared_ptr<Folder> folder) : m_folder(std::move(folder)) {}
            std::int32_t count() const override { return 1; }
            std::shared_ptr<Folder> item(std::int32_t i) const override {
                (void)collectionPosition(i, 1);
                return m_folder;
            }
            using Folders::item;

        private:
            std::shared_ptr<Folder> m_folder;
        };
        return std::make_shared<One>(m_only);
    }
    std::shared_ptr<Items> items() const override {
        return std::make_shared<FileItems>(std::vector<fs::path>{});
    }

private:
    std::shared_ptr<Folder> m_only;
};

std::shared_ptr<Folder> DirFolders::item(std::int32_t i) const {
    return std::make_shared<MsgFolder>(m_dirs[collectionPosition(i, m_dirs.size())], m_depth);
}

} // namespace

std::shared_ptr<Item> makeMsgItem(std::shared_ptr<const MsgDocument> document,
                                  const MsgMessage* message) {
    return std::make_shared<MsgItem>(std::move(document), message);
}

std::shared_ptr<Folder> openMsgFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        throw Failure(err::kFileNotFound, "The file or folder does not exist.", path.string());
    }
    if (!fs::is_directory(path, ec)) {
        (void)openItem(path); // a single file given must be a readable message
    }
    return std::make_shared<MsgFolder>(path, 0);
}

std::shared_ptr<Folder> openMsgStore(const fs::path& path) {
    return std::make_shared<StoreTop>(openMsgFile(path));
}

} // namespace tvn::store::msg

// The .pst reader's object model over the real Outlook files of the test corpus, checked
// against the facts of its MANIFEST.md (folder trees, item counts and classes, sample items)
// and against pffexport's export of the same files where the tool is installed.
//
// The corpus lives outside the repository; TALLYVANE_CORPUS names its folder. Every test
// skips when it is absent.

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/fixed_password_prompt.h"
#include "store/property_names.h"
#include "store/pst/backend/pst_objects.h"
#include "store/pst/body/html_text.h"
#include "store/pst/body/lzfu.h"
#include "store/pst/body/rtf_text.h"
#include "store/pst/messaging/folder.h"
#include "store/pst/messaging/message_store.h"
#include "store/pst/pst_file.h"
#include "store/text/code_page.h"
#include "store/walk.h"
#include "tests/store/pst_reader_support.h"
#include "tests/support/corpus.h"
#include "tests/support/expect_failure.h"
#include "tests/support/temp_folder.h"
#include "tests/support/utc_zone.h"

namespace tvn::store::pst {
namespace {

namespace fs = std::filesystem;
using tvn::test_support::expectFailure;

// --- MANIFEST.md -------------------------------------------------------------------------

struct ManifestFolder {
    std::string path; // below the top, "/"-separated; "" for the top itself
    std::string containerClass;
    std::int64_t items = 0;
    std::int64_t subfolders = 0;
    std::map<std::string, std::int64_t> classes;
    friend bool operator==(const ManifestFolder&, const ManifestFolder&) = default;
};

std::ostream& operator<<(std::ostream& os, const ManifestFolder& f) {
    os << "{'" << f.path << "' [" << f.containerClass << "] items " << f.items << " subfolders "
       << f.subfolders << " {";
    for (const auto& [c, n] : f.classes) {
        os << c << ":" << n << " ";
    }
    return os << "}}";
}

struct ManifestAttachment {
    std::string name;
    std::int64_t bytes = 0;
};

struct ManifestItem {
    std::string folder;
    std::string messageClass;
    std::optional<std::string> subject;
    std::optional<std::string> sender;
    std::optional<std::string> to;
    std::optional<std::string> cc;
    std::optional<std::string> submit; // "YYYY-MM-DD HH:MM:SS", or "" when absent
    std::optional<std::int64_t> bodyChars;
    std::vector<ManifestAttachment> attachments; // by value only
    int embedded = 0;
    // Named and contact properties: object-model name to expected text.
    std::map<std::string, std::string> values;
};

struct ManifestFile {
    std::string format;
    std::string encryption;
    std::optional<std::string> storeName;
    std::vector<ManifestFolder> folders;
    std::vector<ManifestItem> items;
};

std::string between(const std::string& s, char open, char close, std::size_t from = 0) {
    const auto a = s.find(open, from);
    if (a == std::string::npos) {
        return {};
    }
    const auto b = s.find(close, a + 1);
    return b == std::string::npos ? std::string{} : s.substr(a + 1, b - a - 1);
}

// The quoted value after "key: "; nothing when it is "(absent)" or described rather than
// quoted ("6090 chars, 200 names ...").
std::optional<std::string> quotedOrAbsent(const std::string& line) {
    const auto colon = line.find(": ");
    if (colon == std::string::npos || colon + 2 >= line.size() || line[colon + 2] != '"') {
        return std::nullopt;
    }
    return between(line, '"', '"', colon);
}

std::map<std::string, std::int64_t> parseClasses(const std::string& cell) {
    std::map<std::string, std::int64_t> out;
    static const std::regex entry(R"(([A-Za-z0-9_.{}\-]+) ×(\d+))");
    for (std::sregex_iterator it(cell.begin(), cell.end(), entry), end; it != end; ++it) {
        out[(*it)[1]] = std::stoll((*it)[2]);
    }
    return out;
}

std::vector<std::string> splitCells(const std::string& row) {
    std::vector<std::string> cells;
    std::string cell;
    for (std::size_t i = 1; i < row.size(); ++i) {
        if (row[i] == '|') {
            const auto a = cell.find_first_not_of(' ');
            const auto b = cell.find_last_not_of(' ');
            cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
            cell.clear();
        } else {
            cell.push_back(row[i]);
        }
    }
    return cells;
}

std::map<std::string, ManifestFile> parseManifest(const fs::path& file) {
    std::map<std::string, ManifestFile> out;
    std::ifstream in(file);
    std::string line;
    ManifestFile* current = nullptr;
    ManifestItem* item = nullptr;
    bool inTree = false;
    bool inAttachments = false;
    while (std::getline(in, line)) {
        if (line.rfind("### `", 0) == 0) {
            current = &out[between(line, '`', '`')];
            item = nullptr;
            inTree = false;
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        if (line.rfind("- Format:", 0) == 0) {
            current->format = line.find("ANSI") != std::string::npos    ? "ansi"
                              : line.find("4 KiB") != std::string::npos ? "unicode-4k"
                                                                        : "unicode";
        } else if (line.rfind("- Encryption:", 0) == 0) {
            current->encryption = line.find("compressible") != std::string::npos ? "compressible"
                                  : line.find("high") != std::string::npos       ? "high"
                                                                                 : "none";
        } else if (line.rfind("- Message-store display name:", 0) == 0) {
            current->storeName =
                line.find("empty") != std::string::npos ? std::string{} : between(line, '"', '"');
        } else if (line.rfind("| Folder (path under the top)", 0) == 0) {
            inTree = true;
        } else if (inTree && line.rfind("|", 0) == 0) {
            const auto cells = splitCells(line);
            if (cells.size() < 5 || cells[0].rfind("---", 0) == 0) {
                continue;
            }
            ManifestFolder f;
            f.path = cells[0].rfind("(top)", 0) == 0 ? "" : between(cells[0], '`', '`');
            f.containerClass = cells[1] == "(none)" ? "" : between(cells[1], '`', '`');
            f.items = std::stoll(cells[2]);
            f.subfolders = std::stoll(cells[3]);
            f.classes = parseClasses(cells[4]);
            current->folders.push_back(f);
        } else if (inTree && line.empty() && !current->folders.empty()) {
            inTree = false;
        } else if (line.rfind("- Folder:", 0) == 0) {
            current->items.emplace_back();
            item = &current->items.back();
            inAttachments = false;
            const auto cls = line.find("; class `");
            item->folder = line.rfind("- Folder: (top", 0) == 0 ? "" : between(line, '`', '`');
            item->messageClass = between(line, '`', '`', cls);
        } else if (item != nullptr && line.rfind("  - Subject:", 0) == 0) {
            item->subject = quotedOrAbsent(line);
        } else if (item != nullptr && line.rfind("  - Sender name:", 0) == 0) {
            item->sender = quotedOrAbsent(line);
        } else if (item != nullptr && line.rfind("  - Display-To:", 0) == 0) {
            item->to = quotedOrAbsent(line);
        } else if (item != nullptr && line.rfind("  - Display-Cc:", 0) == 0) {
            item->cc = quotedOrAbsent(line);
        } else if (item != nullptr && line.rfind("  - Client submit time:", 0) == 0) {
            static const std::regex time(R"(submit time: (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) UTC)");
            std::smatch m;
            item->submit = std::regex_search(line, m, time) ? std::string(m[1]) : std::string{};
        } else if (item != nullptr && line.rfind("  - Body:", 0) == 0) {
            static const std::regex chars(R"(plain-text body (\d+) chars)");
            std::smatch m;
            if (std::regex_search(line, m, chars)) {
                item->bodyChars = std::stoll(m[1]);
            }
        } else if (item != nullptr && line.rfind("  - Appointment:", 0) == 0) {
            static const std::regex appointment(
                R"re(start (\S+ \S+) UTC, end (\S+ \S+) UTC, location "([^"]*)", recurring (\w+), all-day (\w+))re");
            std::smatch m;
            if (std::regex_search(line, m, appointment)) {
                item->values["Start"] = m[1];
                item->values["End"] = m[2];
                item->values["Location"] = m[3];
                item->values["IsRecurring"] = m[4] == "True" ? "true" : "false";
                item->values["AllDayEvent"] = m[5] == "True" ? "true" : "false";
            }
        } else if (item != nullptr && line.rfind("  - Contact:", 0) == 0) {
            static const std::regex name(R"re(display name "([^"]*)")re");
            static const std::regex mail(R"re(e-mail 1 "([^"]*)")re");
            static const std::regex company(R"re(company "([^"]*)")re");
            std::smatch m;
            if (std::regex_search(line, m, name)) {
                item->values["FullName"] = m[1];
            }
            if (std::regex_search(line, m, mail)) {
                item->values["Email1Address"] = m[1];
            }
            if (std::regex_search(line, m, company)) {
                item->values["CompanyName"] = m[1];
            }
        } else if (item != nullptr && line.rfind("  - Attachments (", 0) == 0) {
            inAttachments = true;
        } else if (item != nullptr && inAttachments && line.rfind("    - ", 0) == 0) {
            static const std::regex value(R"re(^    - "(.*)", by value, data (\d+) bytes)re");
            std::smatch m;
            if (std::regex_search(line, m, value)) {
                item->attachments.push_back({m[1], std::stoll(m[2])});
            } else if (line.rfind("    - embedded message", 0) == 0) {
                ++item->embedded;
            }
        } else if (line.rfind("  - ", 0) != 0 && line.rfind("    ", 0) != 0) {
            inAttachments = false;
            if (line.rfind("- ", 0) != 0) {
                item = nullptr;
            }
        }
    }
    return out;
}

const std::map<std::string, ManifestFile>& manifest(const fs::path& dir) {
    static const auto parsed = parseManifest(dir / "MANIFEST.md");
    return parsed;
}

// --- walking the object model -------------------------------------------------------------

// Passwords of the protected corpus files that are known.
std::optional<std::string> knownPassword(const std::string& file) {
    if (file == "aspose-password.pst") {
        return "Password1";
    }
    if (file == "test-ansi.pst" || file == "test-unicode.pst") {
        return "test";
    }
    return std::nullopt;
}

std::shared_ptr<Folder> openCorpusFile(const fs::path& dir, const std::string& file) {
    FixedPasswordPrompt answer(knownPassword(file));
    return openDataFile(dir / file, &answer);
}

void collectTree(const Folder& folder, const std::string& path, std::vector<ManifestFolder>& out) {
    ManifestFolder f;
    f.path = path;
    f.containerClass = containerClass(folder).value_or("?");
    f.items = folder.items()->count();
    f.classes = messageClassCounts(folder);
    const auto subs = folder.folders();
    f.subfolders = subs->count();
    out.push_back(f);
    for (std::int32_t i = 1; i <= subs->count(); ++i) {
        const auto child = subs->item(i);
        collectTree(*child, path.empty() ? child->name() : path + "/" + child->name(), out);
    }
}

// The same walk through the messaging layer, which does not ask for passwords.
void collectTree(const messaging::FolderObject& folder, const std::string& path,
                 std::vector<ManifestFolder>& out) {
    ManifestFolder f;
    f.path = path;
    f.containerClass = folder.containerClass();
    f.items = static_cast<std::int64_t>(folder.itemCount());
    for (std::size_t i = 0; i < folder.itemCount(); ++i) {
        ++f.classes[folder.itemClass(i).value_or("")];
    }
    const auto subs = folder.subfolders();
    f.subfolders = static_cast<std::int64_t>(subs.size());
    out.push_back(f);
    for (const auto nid : subs) {
        const messaging::FolderObject child(folder.store(), nid);
        collectTree(child, path.empty() ? child.displayName() : path + "/" + child.displayName(),
                    out);
    }
}

// Calls f(path, item) for every item of the tree, depth first.
template <typename F> void forEachItem(const Folder& folder, const std::string& path, F&& f) {
    const auto items = folder.items();
    for (std::int32_t i = 1; i <= items->count(); ++i) {
        f(path, *items->item(i));
    }
    const auto subs = folder.folders();
    for (std::int32_t i = 1; i <= subs->count(); ++i) {
        const auto child = subs->item(i);
        forEachItem(*child, path.empty() ? child->name() : path + "/" + child->name(), f);
    }
}

std::string dateText(const DateTime& d) {
    if (d.isNone()) {
        return "";
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                  d.minute, d.second);
    return buf;
}

std::int64_t codePoints(const std::string& utf8) {
    std::int64_t n = 0;
    for (const char c : utf8) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

std::string readAll(const Attachment& a) {
    std::string bytes;
    dynamic_cast<const backend::PstAttachment&>(a).readData(
        [&](std::span<const std::uint8_t> b) { bytes.append(b.begin(), b.end()); });
    return bytes;
}

const std::vector<std::string> kCorpusFiles = {
    "sample1.pst",         "sample2-ansi.pst", "submessage.pst",      "test-ansi.pst",
    "test-unicode.pst",    "dist-list.pst",    "passworded.pst",      "attach-and-inline.pst",
    "200-recipients.pst",  "msg-in-msg.pst",   "enron.pst",           "outlookcom-2013.ost",
    "aspose-outlook.pst",  "aspose-chunk.pst", "aspose-contacts.pst", "aspose-contacts.ost",
    "aspose-password.pst",
};

// Guards the parser above: a fact it stops finding would silently stop being checked.
TEST(CorpusManifest, FactsAreFoundForEveryFile) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto& all = manifest(dir);
    for (const auto& file : kCorpusFiles) {
        ASSERT_TRUE(all.contains(file)) << file;
        EXPECT_FALSE(all.at(file).folders.empty()) << file;
        EXPECT_FALSE(all.at(file).format.empty()) << file;
    }
    const auto& calendar = all.at("dist-list.pst").items.at(0);
    EXPECT_EQ(calendar.values.at("Start"), "2016-08-02 15:00:00");
    EXPECT_EQ(calendar.values.at("IsRecurring"), "true");
    EXPECT_EQ(calendar.embedded, 2);
    const auto& sample = all.at("sample1.pst").items.at(0);
    EXPECT_EQ(sample.subject, "Here is a sample message");
    EXPECT_EQ(sample.submit, "2010-03-15 17:12:05");
    EXPECT_EQ(sample.bodyChars, 79);
    ASSERT_EQ(sample.attachments.size(), 1u);
    EXPECT_EQ(sample.attachments[0].bytes, 93142);
    EXPECT_EQ(all.at("enron.pst").items.at(0).attachments.size(), 11u);
}

class CorpusFile : public ::testing::TestWithParam<std::string> {};

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusFile, ::testing::ValuesIn(kCorpusFiles), testName);

TEST_P(CorpusFile, FolderTreeCountsAndClassesMatchTheManifest) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto& file = GetParam();
    const auto it = manifest(dir).find(file);
    ASSERT_NE(it, manifest(dir).end()) << "MANIFEST.md has no section for " << file;
    const ManifestFile& facts = it->second;

    std::vector<ManifestFolder> tree;
    if (knownPassword(file) || file != "passworded.pst") {
        const auto top = openCorpusFile(dir, file);
        collectTree(*top, "", tree);
        const auto fileFacts = dataFileFacts(*top);
        ASSERT_TRUE(fileFacts);
        EXPECT_EQ(fileFacts->format, facts.format);
        EXPECT_EQ(fileFacts->encryption, facts.encryption);
        ASSERT_TRUE(facts.storeName);
        EXPECT_EQ(fileFacts->storeName, *facts.storeName);
        if (!facts.storeName->empty()) {
            EXPECT_EQ(top->name(), *facts.storeName) << "the top folder shows the store's name";
        }
    } else {
        // The password is unknown: read the tree below the object model's gate.
        const auto store = messaging::MessageStore::open(dir / file);
        const messaging::FolderObject top(store, store->ipmSubtree());
        collectTree(top, "", tree);
    }
    // The top folder's class is not in the table for every file; compare the rest whole.
    ASSERT_EQ(tree.size(), facts.folders.size());
    for (std::size_t i = 0; i < tree.size(); ++i) {
        EXPECT_EQ(tree[i], facts.folders[i]) << "folder " << i;
    }
}

TEST_P(CorpusFile, SampleItemsMatchTheManifest) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto& file = GetParam();
    const ManifestFile& facts = manifest(dir).at(file);
    if (file == "passworded.pst") {
        GTEST_SKIP() << "the password of " << file << " is unknown";
    }
    const auto top = openCorpusFile(dir, file);
    // Every item with its folder's path below the top ("" for the top itself).
    class Collect final : public FolderVisitor {
    public:
        bool enterFolder(const std::shared_ptr<Folder>& folder, std::size_t depth) override {
            m_paths.resize(depth + 1);
            m_paths[depth] = depth == 0 ? std::string()
                             : m_paths[depth - 1].empty()
                                 ? folder->name()
                                 : m_paths[depth - 1] + "/" + folder->name();
            return true;
        }
        void visitItem(const std::shared_ptr<Item>& item, std::int32_t) override {
            items.emplace_back(m_paths.back(), item);
        }
        void leaveFolder(const std::shared_ptr<Folder>&) override { m_paths.pop_back(); }
        void failed(const Failure& f, WalkStep, std::int32_t) override {
            ADD_FAILURE() << f.description();
        }
        std::vector<std::pair<std::string, std::shared_ptr<Item>>> items;

    private:
        std::vector<std::string> m_paths;
    } collect;
    walkFolderTree(top, collect);
    const auto& items = collect.items;

    for (const ManifestItem& want : facts.items) {
        SCOPED_TRACE("item in '" + want.folder + "' class " + want.messageClass + " subject '" +
                     want.subject.value_or("(absent)") + "'");
        bool found = false;
        std::string why = "no item of that folder, class and subject";
        for (const auto& [path, item] : items) {
            if (path != want.folder || item->messageClass() != want.messageClass) {
                continue;
            }
            if (want.subject && item->get("Subject").text() != *want.subject) {
                continue;
            }
            std::ostringstream mismatch;
            if (want.sender && item->get("SenderName").text() != *want.sender) {
                mismatch << "sender '" << item->get("SenderName").text() << "'; ";
            }
            if (want.to && item->get("To").text() != *want.to) {
                mismatch << "to '" << item->get("To").text() << "'; ";
            }
            if (want.cc && item->get("CC").text() != *want.cc) {
                mismatch << "cc '" << item->get("CC").text() << "'; ";
            }
            if (want.submit && dateText(item->get("SentOn").date()) != *want.submit) {
                mismatch << "sent '" << dateText(item->get("SentOn").date()) << "'; ";
            }
            if (want.bodyChars && codePoints(item->get("Body").text()) != *want.bodyChars) {
                mismatch << "body of " << codePoints(item->get("Body").text()) << " chars; ";
            }
            for (const auto& [name, text] : want.values) {
                const Variant v = item->get(name);
                const std::string got = v.kind() == Variant::Kind::Date ? dateText(v.date())
                                        : v.kind() == Variant::Kind::Boolean
                                            ? (v.boolean() ? "true" : "false")
                                            : v.text();
                if (got != text) {
                    mismatch << name << " '" << got << "'; ";
                }
            }
            const auto atts = item->attachments();
            std::vector<ManifestAttachment> byValue;
            int embedded = 0;
            for (std::int32_t i = 1; i <= atts->count(); ++i) {
                const auto a = atts->item(i);
                if (a->type() == AttachmentType::EmbeddedItem) {
                    ++embedded;
                    EXPECT_NE(a->embeddedItem(), nullptr);
                } else {
                    byValue.push_back(
                        {a->fileName(), static_cast<std::int64_t>(readAll(*a).size())});
                }
            }
            if (embedded != want.embedded) {
                mismatch << embedded << " embedded messages; ";
            }
            if (byValue.size() != want.attachments.size()) {
                mismatch << byValue.size() << " attachments; ";
            } else {
                for (std::size_t i = 0; i < byValue.size(); ++i) {
                    // Names the sender's client cut short ("...") are compared up to the cut.
                    const auto& name = want.attachments[i].name;
                    const auto cut = name.find("....");
                    const bool nameOk = cut == std::string::npos
                                            ? byValue[i].name == name
                                            : byValue[i].name.rfind(name.substr(0, cut), 0) == 0;
                    if (!nameOk || byValue[i].bytes != want.attachments[i].bytes) {
                        mismatch << "attachment " << i << " '" << byValue[i].name << "' "
                                 << byValue[i].bytes << " bytes; ";
                    }
                }
            }
            if (mismatch.str().empty()) {
                found = true;
                break;
            }
            why = mismatch.str();
        }
        EXPECT_TRUE(found) << why;
    }
}

// Every item of every readable file: every object-model property reads without failing and
// is of its kind, and each recipient, attachment and embedded item opens.
TEST_P(CorpusFile, EveryPropertyOfEveryItemReads) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto& file = GetParam();
    if (file == "passworded.pst") {
        GTEST_SKIP() << "the password of " << file << " is unknown";
    }
    const auto counts = test_support::walkModel(openCorpusFile(dir, file));
    EXPECT_EQ(counts.failures, 0U);
    EXPECT_EQ(counts.wrongKinds, 0U);
    EXPECT_GT(counts.items, 0U);
}

// --- the same content in both string formats ---------------------------------------------

TEST(CorpusFormats, AnsiAndUnicodeFilesReadAlike) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const std::pair<const char*, const char*> pairs[] = {
        {"sample1.pst", "sample2-ansi.pst"},
        {"test-unicode.pst", "test-ansi.pst"},
    };
    const char* names[] = {"Subject",      "SenderName", "To",         "CC",
                           "MessageClass", "Importance", "Sensitivity"};
    for (const auto& [unicode, ansi] : pairs) {
        SCOPED_TRACE(std::string(unicode) + " / " + ansi);
        const auto u = openCorpusFile(dir, unicode)->folders();
        const auto a = openCorpusFile(dir, ansi)->folders();
        // The last folder of each holds the message.
        const auto uItem = u->item(u->count())->items()->item(1);
        const auto aItem = a->item(a->count())->items()->item(1);
        for (const char* name : names) {
            EXPECT_EQ(uItem->get(name), aItem->get(name)) << name;
        }
        // The ANSI copy of the body has plain apostrophes where the Unicode one has U+2019.
        std::string body = uItem->get("Body").text();
        for (auto at = body.find("\u2019"); at != std::string::npos; at = body.find("\u2019")) {
            body.replace(at, 3, "'");
        }
        EXPECT_EQ(body, aItem->get("Body").text());
    }
    // The two sample files carry byte-identical attachments.
    const auto one = openCorpusFile(dir, "sample1.pst")->folders()->item("Sample1");
    const auto two = openCorpusFile(dir, "sample2-ansi.pst")->folders()->item("Sample2");
    const auto a1 = one->items()->item(1)->attachments()->item(1);
    const auto a2 = two->items()->item(1)->attachments()->item(1);
    EXPECT_EQ(a1->fileName(), a2->fileName());
    EXPECT_EQ(readAll(*a1), readAll(*a2));
}

// --- passwords and open failures ---------------------------------------------------------

TEST(CorpusPassword, ProtectedFileOpensOnlyWithItsPassword) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto file = dir / "aspose-password.pst";
    const auto refused = [&](PasswordPrompt* prompt) {
        expectFailure(err::kAccessRefused, [&] { openDataFile(file, prompt); });
    };
    refused(nullptr);
    FixedPasswordPrompt declined(std::nullopt);
    refused(&declined);
    EXPECT_EQ(declined.asked(), 1);
    FixedPasswordPrompt wrong("password1"); // the wrong case
    refused(&wrong);
    FixedPasswordPrompt right("Password1");
    const auto top = openDataFile(file, &right);
    EXPECT_EQ(right.asked(), 1);
    EXPECT_EQ(top->name(), "Personal folders");

    FixedPasswordPrompt none(std::nullopt);
    openDataFile(dir / "sample1.pst", &none);
    EXPECT_EQ(none.asked(), 0) << "an unprotected file asks nothing";
    FixedPasswordPrompt guess("Password1");
    EXPECT_THROW(openDataFile(dir / "passworded.pst", &guess), Failure);
}

// --- attachments -------------------------------------------------------------------------

std::string fileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(CorpusAttachments, WriteToHandsOverTheBytes) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto item =
        openCorpusFile(dir, "sample1.pst")->folders()->item("Sample1")->items()->item(1);
    const auto a = item->attachments()->item(1);
    EXPECT_EQ(a->type(), AttachmentType::ByValue);
    StringSink sink;
    a->writeTo(sink);
    EXPECT_EQ(sink.bytes(), readAll(*a));
    EXPECT_EQ(sink.bytes().size(), 93142u);
}

TEST(CorpusAttachments, EmbeddedMessagesReadAsItems) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto outer =
        openCorpusFile(dir, "submessage.pst")->folders()->item("submessage")->items()->item(1);
    ASSERT_EQ(outer->attachments()->count(), 1);
    const auto a = outer->attachments()->item(1);
    EXPECT_EQ(a->type(), AttachmentType::EmbeddedItem);
    const auto inner = a->embeddedItem();
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->get("Subject").text(), "This is an embedded message");
    EXPECT_EQ(inner->get("SenderName").text(), "Terry Mahaffey");
    EXPECT_EQ(dateText(inner->get("SentOn").date()), "2010-03-17 23:01:46");
    EXPECT_EQ(inner->get("Body").text(), "This is the body of an embedded message\r\n\r\n");
    EXPECT_EQ(inner->attachments()->count(), 0);
    // Saved, it is an Outlook message file (a compound file).
    StringSink sink;
    a->writeTo(sink);
    EXPECT_EQ(sink.bytes().substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    // By-value attachments have no embedded item.
    const auto plain = openCorpusFile(dir, "sample1.pst")->folders()->item("Sample1");
    EXPECT_EQ(plain->items()->item(1)->attachments()->item(1)->embeddedItem(), nullptr);
}

TEST(CorpusBodies, BodiesComeFromHtmlOrRtfWhenThereIsNoPlainText) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto top = openCorpusFile(dir, "outlookcom-2013.ost");
    // HTML only: Word's paragraphs become lines, the link its text and target.
    const auto inbox = top->folders()->item("Inbox")->items();
    bool sawHtml = false;
    for (std::int32_t i = 1; i <= inbox->count(); ++i) {
        const auto item = inbox->item(i);
        if (item->get("Subject").text() == "test, no attachment") {
            EXPECT_EQ(item->get("Body").text(),
                      "\r\n\r\nSent from Mail<https://go.microsoft.com/fwlink/?LinkId=550986> "
                      "for Windows\r\n\r\n");
            sawHtml = true;
        }
    }
    EXPECT_TRUE(sawHtml);
    // RTF only (\fromtext), as the holiday appointments are stored: text or nothing, never
    // RTF markup.
    const auto holidays =
        top->folders()->item("Calendar")->folders()->item("United States holidays")->items();
    for (std::int32_t i = 1; i <= holidays->count(); ++i) {
        EXPECT_EQ(holidays->item(i)->get("Body").text().find("\\rtf"), std::string::npos);
    }
}

// Words of a text with all white space between them reduced to one space: Outlook's
// line breaks around paragraphs differ between its versions, the words do not.
std::string words(const std::string& text) {
    std::string out;
    bool space = false;
    for (const char c : text) {
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t') {
            space = true;
            continue;
        }
        if (space && !out.empty()) {
            out += ' ';
        }
        space = false;
        out += c;
    }
    return out;
}

// Where a message stores its plain text beside RTF or HTML, the text derived from those
// must say the same. Every RTF body of the corpus is checked, and the HTML bodies of the
// file whose plain text Outlook derived from HTML.
TEST(CorpusBodies, DerivedTextMatchesTheStoredPlainText) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    int rtfChecked = 0;
    int htmlChecked = 0;
    for (const char* file :
         {"aspose-password.pst", "aspose-outlook.pst", "dist-list.pst", "attach-and-inline.pst",
          "msg-in-msg.pst", "200-recipients.pst", "submessage.pst", "sample1.pst"}) {
        SCOPED_TRACE(file);
        std::function<void(const Item&)> check = [&](const Item& item) {
            const auto& m = dynamic_cast<const backend::PstItem&>(item).object();
            const auto props = m.properties();
            const auto plain = props.string(messaging::tag::kBody);
            if (plain) {
                if (const auto rtf = props.binary(messaging::tag::kRtfCompressed)) {
                    const auto decompressed = body::decompressRtf(*rtf);
                    ASSERT_TRUE(decompressed.ok()) << decompressed.error;
                    EXPECT_EQ(words(body::rtfToText(decompressed.rtf)), words(*plain))
                        << m.subject();
                    ++rtfChecked;
                }
                const auto html = props.binary(messaging::tag::kHtml);
                if (html && std::string(file) == "aspose-password.pst") {
                    const auto cp = props.integer(messaging::tag::kInternetCodepage).value_or(1252);
                    EXPECT_EQ(words(body::htmlToText(store::text::decodeCodePage(
                                  *html, static_cast<std::uint32_t>(cp)))),
                              words(*plain))
                        << m.subject();
                    ++htmlChecked;
                }
            }
            const auto atts = item.attachments();
            for (std::int32_t i = 1; i <= atts->count(); ++i) {
                if (const auto inner = atts->item(i)->embeddedItem()) {
                    check(*inner);
                }
            }
        };
        forEachItem(*openCorpusFile(dir, file), "",
                    [&](const std::string&, const Item& item) { check(item); });
    }
    EXPECT_GE(rtfChecked, 15);
    EXPECT_GE(htmlChecked, 8);
}

TEST(CorpusItems, ItemsOpenInAnyOrderAndOutOfRangeIsSubscriptError) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const auto personal = openCorpusFile(dir, "enron.pst")
                              ->folders()
                              ->item("lokay-m")
                              ->folders()
                              ->item(1)
                              ->folders()
                              ->item("Personal")
                              ->items();
    ASSERT_EQ(personal->count(), 47);
    const auto last = personal->item(47)->get("Subject");
    const auto first = personal->item(1)->get("Subject");
    EXPECT_EQ(personal->item(47)->get("Subject"), last);
    EXPECT_EQ(personal->item(1)->get("Subject"), first);
    for (const std::int32_t bad : {0, 48, -1}) {
        expectFailure(err::kSubscriptOutOfRange, [&] { personal->item(bad); });
    }
}

// --- pffexport as an independent oracle ----------------------------------------------------

// "Mar 15, 2010 17:12:05.000000000 UTC" -> "2010-03-15 17:12:05"
std::string pffTime(const std::string& text) {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const std::regex re(R"(([A-Z][a-z]{2}) (\d\d), (\d{4}) (\d\d:\d\d:\d\d))");
    std::smatch m;
    if (!std::regex_search(text, m, re)) {
        return "";
    }
    int month = 0;
    for (int i = 0; i < 12; ++i) {
        if (m[1] == months[i]) {
            month = i + 1;
        }
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s-%02d-%s %s", m[3].str().c_str(), month, m[2].str().c_str(),
                  m[4].str().c_str());
    return buf;
}

std::map<std::string, std::string> pffHeaders(const fs::path& file) {
    std::map<std::string, std::string> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const auto value = line.find_first_not_of('\t', colon + 1);
        out.emplace(line.substr(0, colon),
                    value == std::string::npos ? std::string{} : line.substr(value));
    }
    return out;
}

TEST(CorpusOracle, ItemsMatchPffexportsExport) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    if (std::system("command -v pffexport > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "pffexport is not installed";
    }
    for (const char* file : {"enron.pst", "aspose-outlook.pst", "sample1.pst"}) {
        SCOPED_TRACE(file);
        tvn::test_support::TempFolder tmp;
        const auto target = tmp.path() / "out";
        const std::string command = "pffexport -m items -f text -t '" + target.string() + "' '" +
                                    (dir / file).string() + "' > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        // pffexport names the top folder by its own display name: find it by its content.
        fs::path exportTop;
        const auto top = openCorpusFile(dir, file);
        for (const auto& entry : fs::directory_iterator(tmp.path() / "out.export")) {
            if (entry.path().filename().string().rfind("Top of", 0) == 0) {
                exportTop = entry.path();
            }
        }
        ASSERT_FALSE(exportTop.empty());

        int compared = 0;
        int attachmentsCompared = 0;
        forEachItem(*top, "", [&](const std::string& path, const Item& item) {
            // Items are numbered in contents-table order; find ours by subject and time.
            const auto folder = path.empty() ? exportTop : exportTop / path;
            if (!fs::exists(folder)) {
                return;
            }
            for (const auto& entry : fs::directory_iterator(folder)) {
                if (entry.path().filename().string().rfind("Message", 0) != 0) {
                    continue;
                }
                auto headers = pffHeaders(entry.path() / "OutlookHeaders.txt");
                if (headers["Subject"] != item.get("Subject").text() ||
                    pffTime(headers["Client submit time"]) != dateText(item.get("SentOn").date())) {
                    continue;
                }
                ++compared;
                EXPECT_EQ(headers["Sender name"], item.get("SenderName").text());
                if (fs::exists(entry.path() / "Message.txt")) {
                    EXPECT_EQ(fileBytes(entry.path() / "Message.txt"), item.get("Body").text())
                        << item.get("Subject").text();
                }
                // pffexport numbers each exported attachment ("1_name", "01_name" past 9)
                // and changes characters in the name; match by number.
                const auto atts = item.attachments();
                if (!fs::exists(entry.path() / "Attachments")) {
                    break;
                }
                for (const auto& exported : fs::directory_iterator(entry.path() / "Attachments")) {
                    const auto name = exported.path().filename().string();
                    if (!exported.is_regular_file() || !std::isdigit(name[0])) {
                        continue; // an attached message, exported as a folder of its own
                    }
                    const auto index = std::atoi(name.substr(0, name.find('_')).c_str());
                    ASSERT_GE(index, 1) << name;
                    ASSERT_LE(index, atts->count()) << name;
                    const auto a = atts->item(index);
                    ASSERT_EQ(a->type(), AttachmentType::ByValue) << name;
                    EXPECT_EQ(fileBytes(exported.path()), readAll(*a)) << name;
                    ++attachmentsCompared;
                }
                break;
            }
        });
        EXPECT_GT(compared, 0);
        if (std::string(file) == "enron.pst") {
            EXPECT_EQ(compared, 71);
            EXPECT_EQ(attachmentsCompared, 70);
        }
    }
}

} // namespace
} // namespace tvn::store::pst

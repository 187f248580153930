// Files written by the writer, read back through our own reader (store/pst): the same
// folder tree, item counts, classes, subjects, bodies, fields and attachment bytes.

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "store/failure.h"
#include "store/fixed_password_prompt.h"
#include "store/pst/pst_file.h"
#include "tests/support/corpus.h"
#include "tests/tools/test_files.h"
#include "tools/pstwriter/fields.h"

namespace tvn::tools::test {
namespace {

using tvn::store::Folder;
using tvn::store::Item;

std::shared_ptr<Folder> child(const Folder& parent, const std::string& name) {
    const auto folders = parent.folders();
    for (std::int32_t i = 1; i <= folders->count(); ++i) {
        auto f = folders->item(i);
        if (f->name() == name) {
            return f;
        }
    }
    return nullptr;
}

std::vector<std::uint8_t> saved(const tvn::store::Attachment& a) {
    tvn::store::StringSink sink;
    a.writeTo(sink);
    return {sink.bytes().begin(), sink.bytes().end()};
}

// String-valued fields the description set, compared with what the reader returns.
void expectTextFields(const Message& m, const Item& item) {
    for (const auto& f : allFields()) {
        if (f.type != prop_type::kUnicode || f.name == "Subject" || f.name == "Body" ||
            f.name == "MessageClass") {
            continue;
        }
        const PropValue* v =
            f.set == nullptr
                ? m.find(static_cast<std::uint16_t>(f.id))
                : m.find(NamedKey{*f.set, !f.stringName.empty(), f.stringName.empty() ? f.id : 0,
                                  std::string(f.stringName)});
        if (v == nullptr) {
            continue;
        }
        try {
            const auto got = item.get(f.name);
            if (got.kind() == tvn::store::Variant::Kind::Text) {
                EXPECT_EQ(got.text(), v->text) << f.name;
            }
        } catch (const tvn::Failure&) {
            // A field the object model does not offer for this kind of item.
        }
    }
}

void compareFolder(const FolderDescription& want, const Folder& folder) {
    SCOPED_TRACE("folder " + want.name);
    EXPECT_EQ(folder.name(), want.name);
    const auto items = folder.items();
    ASSERT_EQ(items->count(), static_cast<std::int32_t>(want.items.size()));
    for (std::size_t i = 0; i < want.items.size(); ++i) {
        const Message& m = want.items[i];
        const auto item = items->item(static_cast<std::int32_t>(i + 1));
        ASSERT_TRUE(item);
        EXPECT_EQ(item->messageClass(), classOf(m));
        EXPECT_EQ(item->get("Subject").text(), subjectOf(m));
        EXPECT_EQ(item->get("Body").text(), bodyOf(m));
        expectTextFields(m, *item);
        const auto atts = item->attachments();
        ASSERT_EQ(atts->count(), static_cast<std::int32_t>(m.attachments.size()));
        for (std::size_t k = 0; k < m.attachments.size(); ++k) {
            const auto a = atts->item(static_cast<std::int32_t>(k + 1));
            if (m.attachments[k].embedded) {
                const auto inner = a->embeddedItem();
                ASSERT_TRUE(inner);
                EXPECT_EQ(inner->get("Subject").text(), subjectOf(*m.attachments[k].embedded));
            } else {
                EXPECT_TRUE(saved(*a) == m.attachments[k].data) << "attachment " << k;
            }
        }
        EXPECT_EQ(item->recipients()->count(), static_cast<std::int32_t>(m.recipients.size()));
    }
    const auto sub = folder.folders();
    ASSERT_EQ(sub->count(), static_cast<std::int32_t>(want.folders.size()));
    for (std::size_t k = 0; k < want.folders.size(); ++k) {
        compareFolder(want.folders[k], *sub->item(static_cast<std::int32_t>(k + 1)));
    }
}

class ReadByOurReader : public ::testing::TestWithParam<std::pair<FileFormat, CryptMethod>> {};

TEST_P(ReadByOurReader, SeesTheDescription) {
    TempFolder tmp;
    const auto [format, crypt] = GetParam();
    const Description d = everyKind(format, crypt);
    writeDescription(d, tmp / "f.pst");
    const auto top = tvn::store::pst::openDataFile(tmp / "f.pst", nullptr);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->name(), d.store.displayName);
    // The description's folders follow "Deleted Items", which the writer puts first.
    const auto folders = top->folders();
    ASSERT_EQ(folders->count(), static_cast<std::int32_t>(d.folders.size() + 1));
    EXPECT_EQ(folders->item(1)->name(), "Deleted Items");
    for (std::size_t k = 0; k < d.folders.size(); ++k) {
        compareFolder(d.folders[k], *folders->item(static_cast<std::int32_t>(k + 2)));
    }
    const auto facts = tvn::store::pst::dataFileFacts(*top);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->format, format == FileFormat::Unicode ? "unicode" : "ansi");
    EXPECT_EQ(facts->encryption, crypt == CryptMethod::None           ? "none"
                                 : crypt == CryptMethod::Compressible ? "compressible"
                                                                      : "high");
}

INSTANTIATE_TEST_SUITE_P(FormatsAndEncodings, ReadByOurReader,
                         ::testing::Values(std::pair{FileFormat::Unicode,
                                                     CryptMethod::Compressible},
                                           std::pair{FileFormat::Unicode, CryptMethod::None},
                                           std::pair{FileFormat::Unicode, CryptMethod::High},
                                           std::pair{FileFormat::Ansi, CryptMethod::Compressible},
                                           std::pair{FileFormat::Ansi, CryptMethod::None},
                                           std::pair{FileFormat::Ansi, CryptMethod::High}));

// Names that are unsafe as file names reach the reader unchanged.
TEST(ReadByOurReader, KeepsUnsafeNamesAsWritten) {
    TempFolder tmp;
    Description d;
    const std::vector<std::string> names = {
        "..",
        ".",
        "a/b",
        "back\\slash",
        "\xC3\x9Cn\xC3\xAF \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
        "con",
        "trailing. ",
        ""};
    for (const auto& n : names) {
        Message m("IPM.Note");
        m.subject(n).body(n);
        m.addAttachment(n, {'x'});
        d.folder(n, "IPF.Note").add(std::move(m));
    }
    writeDescription(d, tmp / "u.pst");
    const auto top = tvn::store::pst::openDataFile(tmp / "u.pst", nullptr);
    const auto folders = top->folders();
    ASSERT_EQ(folders->count(), static_cast<std::int32_t>(names.size() + 1));
    for (std::size_t k = 0; k < names.size(); ++k) {
        const auto f = folders->item(static_cast<std::int32_t>(k + 2));
        EXPECT_EQ(f->name(), names[k]);
        const auto item = f->items()->item(1);
        EXPECT_EQ(item->get("Subject").text(), names[k]);
        EXPECT_EQ(item->attachments()->item(1)->fileName(), names[k]);
    }
}

TEST(ReadByOurReader, PasswordGatesTheFile) {
    TempFolder tmp;
    Description d;
    d.store.password = "Secret";
    d.folder("Inbox", "IPF.Note");
    writeDescription(d, tmp / "p.pst");
    try {
        tvn::store::pst::openDataFile(tmp / "p.pst", nullptr);
        FAIL() << "opened without a password";
    } catch (const tvn::Failure& f) {
        EXPECT_EQ(f.number(), tvn::err::kAccessRefused);
    }
    tvn::store::FixedPasswordPrompt wrong("secret");
    EXPECT_THROW(tvn::store::pst::openDataFile(tmp / "p.pst", &wrong), tvn::Failure);
    tvn::store::FixedPasswordPrompt right("Secret");
    const auto top = tvn::store::pst::openDataFile(tmp / "p.pst", &right);
    ASSERT_TRUE(top);
    EXPECT_EQ(right.asked(), 1);
    EXPECT_NE(child(*top, "Inbox"), nullptr);
}

// The bundled sample opens and holds a folder of every kind.
TEST(ReadByOurReader, BundledSampleOpens) {
    TempFolder tmp;
    const std::filesystem::path json = TALLYVANE_SAMPLE_DESCRIPTION;
    writeDescription(loadDescription(json), tmp / "sample.pst");
    const auto top = tvn::store::pst::openDataFile(tmp / "sample.pst", nullptr);
    for (const char* name : {"Inbox", "Calendar", "Tasks", "Notes", "Contacts", "Journal"}) {
        const auto f = child(*top, name);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_GT(f->items()->count(), 0) << name;
    }
    EXPECT_EQ(child(*top, "Calendar")->items()->item(1)->get("IsRecurring").boolean(), true);
}

} // namespace
} // namespace tvn::tools::test

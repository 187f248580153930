// Files written by the writer, read back by two independent readers (libpff's pffexport
// and libpst's readpst): the same folder tree, item counts, subjects, bodies and attachment
// bytes as the description, in both formats and all three encodings.

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/corpus.h"
#include "tests/tools/test_files.h"

namespace tvn::tools::test {
namespace {

namespace fs = std::filesystem;
using test_support::readFileBytes;
using test_support::readFileText;

struct ExportedItem {
    std::string subject;
    std::string text; // every text file of the item, joined
    std::map<std::string, std::vector<std::uint8_t>> attachments;
};
using Export = std::map<std::string, std::vector<ExportedItem>>; // folder path -> items

// --- pffexport ----------------------------------------------------------------------------

bool isPffItemDir(const fs::path& p) {
    static const std::regex kItem("^(Message|Appointment|Contact|Task|Note|Meeting|Activity|"
                                  "DistributionList|Document|Item)[0-9]{5}$");
    return std::regex_match(p.filename().string(), kItem);
}

void walkPff(const fs::path& dir, const std::string& path, Export& out) {
    out[path];
    for (const auto& e : fs::directory_iterator(dir)) {
        if (!e.is_directory()) {
            continue;
        }
        if (!isPffItemDir(e.path())) {
            walkPff(e.path(),
                    path.empty() ? e.path().filename().string()
                                 : path + "/" + e.path().filename().string(),
                    out);
            continue;
        }
        ExportedItem item;
        for (const auto& f : fs::directory_iterator(e.path())) {
            if (f.is_regular_file() && f.path().extension() == ".txt") {
                const std::string t = readFileText(f.path());
                item.text += t;
                std::smatch m;
                static const std::regex kSubject("(^|\n)Subject:\t+([^\n]*)");
                if (item.subject.empty() && std::regex_search(t, m, kSubject)) {
                    item.subject = m[2];
                }
            }
        }
        const fs::path att = e.path() / "Attachments";
        if (fs::is_directory(att)) {
            for (const auto& f : fs::directory_iterator(att)) {
                if (f.is_regular_file()) {
                    const std::string n = f.path().filename().string();
                    item.attachments[n.substr(n.find('_') + 1)] = readFileBytes(f.path());
                }
            }
        }
        out[path].push_back(std::move(item));
    }
}

Export readWithPffexport(const fs::path& pst, const TempFolder& tmp) {
    const fs::path target = tmp / "pff";
    EXPECT_TRUE(
        run("pffexport -q -t '" + target.string() + "' '" + pst.string() + "' > /dev/null 2>&1"));
    Export out;
    const fs::path top = fs::path(target.string() + ".export") / "Top of Personal Folders";
    if (fs::is_directory(top)) {
        walkPff(top, "", out);
    }
    return out;
}

// --- readpst ------------------------------------------------------------------------------

void walkReadpst(const fs::path& dir, const std::string& path, Export& out) {
    std::map<std::string, ExportedItem> items;
    out[path];
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (e.is_directory()) {
            walkReadpst(e.path(), path.empty() ? name : path + "/" + name, out);
            continue;
        }
        const auto dash = name.find('-');
        if (dash == std::string::npos) {
            ExportedItem& item = items[name];
            item.text = readFileText(e.path());
            std::smatch m;
            static const std::regex kSubject("(^|\n)(Subject: |SUMMARY:)([^\r\n]*)");
            if (std::regex_search(item.text, m, kSubject)) {
                item.subject = m[3];
            }
        } else {
            items[name.substr(0, dash)].attachments[name.substr(dash + 1)] =
                readFileBytes(e.path());
        }
    }
    for (auto& [n, item] : items) {
        (void)n;
        out[path].push_back(std::move(item));
    }
}

Export readWithReadpst(const fs::path& pst, const std::string& storeName, const TempFolder& tmp) {
    const fs::path target = tmp / "readpst";
    fs::create_directories(target);
    EXPECT_TRUE(run("readpst -q -D -S -j 0 -o '" + target.string() + "' '" + pst.string() +
                    "' > /dev/null 2>&1"));
    Export out;
    if (fs::is_directory(target / storeName)) {
        walkReadpst(target / storeName, "", out);
    }
    return out;
}

// Message classes readpst exports (it skips tasks, notes, posts and distribution lists).
// Every attachment of the description but embedded messages, found by its long file name in
// what the reader exported, with the same bytes.
void expectAttachments(const Message& m, const ExportedItem& exported) {
    for (const auto& a : m.attachments) {
        if (a.embedded) {
            continue;
        }
        std::string name;
        for (const auto& p : a.props) {
            if (!p.named && p.id == tag::kAttachLongFilename) {
                name = p.value.text;
            }
        }
        ASSERT_EQ(exported.attachments.count(name), 1u) << name << " of " << subjectOf(m);
        EXPECT_TRUE(exported.attachments.at(name) == a.data) << name << " bytes differ";
    }
}

bool readpstExports(const std::string& cls) {
    return cls.rfind("IPM.Note", 0) == 0 || cls.rfind("REPORT.", 0) == 0 ||
           cls.rfind("IPM.Schedule", 0) == 0 || cls == "IPM.Appointment" || cls == "IPM.Contact" ||
           cls == "IPM.Activity";
}

// Classes pffexport exports (it skips posts), and those whose body it writes out
// (appointments get a property summary without the body).
bool pffexportExports(const std::string& cls) {
    return cls.rfind("IPM.Post", 0) != 0;
}
bool pffexportWritesBody(const std::string& cls) {
    return cls != "IPM.Appointment";
}

struct Case {
    const char* name;
    FileFormat format;
    CryptMethod crypt;
    bool large;
};

class ReadByIndependentReaders : public ::testing::TestWithParam<Case> {};

TEST_P(ReadByIndependentReaders, PffexportSeesTheDescription) {
    if (!haveProgram("pffexport")) {
        GTEST_SKIP() << "pffexport (Debian package pff-tools) is not installed";
    }
    const Case c = GetParam();
    TempFolder tmp;
    const Description d = everyKind(c.format, c.crypt, c.large);
    writeDescription(d, tmp / "file.pst");
    const Export got = readWithPffexport(tmp / "file.pst", tmp);

    auto expected = folderItems(d);
    expected[""] = nullptr;
    expected["Deleted Items"] = nullptr;
    std::set<std::string> gotFolders;
    for (const auto& [path, items] : got) {
        (void)items;
        gotFolders.insert(path);
    }
    std::set<std::string> wantFolders;
    for (const auto& [path, items] : expected) {
        (void)items;
        wantFolders.insert(path);
    }
    EXPECT_EQ(gotFolders, wantFolders);

    for (const auto& [path, items] : expected) {
        if (items == nullptr || got.count(path) == 0) {
            continue;
        }
        const auto& exported = got.at(path);
        std::multiset<std::string> want;
        std::multiset<std::string> have;
        for (const auto& m : *items) {
            if (pffexportExports(classOf(m))) {
                want.insert(subjectOf(m));
            }
        }
        ASSERT_EQ(exported.size(), want.size()) << "items in " << path;
        for (const auto& e : exported) {
            have.insert(e.subject);
        }
        EXPECT_EQ(have, want) << "subjects in " << path;
        // Bodies and attachment bytes, matched by subject.
        for (const auto& m : *items) {
            for (const auto& e : exported) {
                if (e.subject != subjectOf(m)) {
                    continue;
                }
                if (pffexportWritesBody(classOf(m))) {
                    EXPECT_NE(e.text.find(bodyOf(m)), std::string::npos)
                        << "body of \"" << subjectOf(m) << "\" in " << path;
                }
                expectAttachments(m, e);
            }
        }
    }
}

TEST_P(ReadByIndependentReaders, ReadpstSeesTheDescription) {
    if (!haveProgram("readpst")) {
        GTEST_SKIP() << "readpst (Debian package pst-utils) is not installed";
    }
    const Case c = GetParam();
    TempFolder tmp;
    const Description d = everyKind(c.format, c.crypt, false);
    writeDescription(d, tmp / "file.pst");
    const Export got = readWithReadpst(tmp / "file.pst", d.store.displayName, tmp);

    for (const auto& [path, items] : folderItems(d)) {
        std::vector<const Message*> exported;
        for (const auto& m : *items) {
            if (readpstExports(classOf(m))) {
                exported.push_back(&m);
            }
        }
        if (exported.empty()) {
            continue; // readpst makes no directory for a folder it writes nothing into
        }
        ASSERT_EQ(got.count(path), 1u) << "folder " << path;
        const auto& have = got.at(path);
        ASSERT_EQ(have.size(), exported.size()) << "items in " << path;
        for (const Message* m : exported) {
            const auto it = std::find_if(have.begin(), have.end(), [&](const ExportedItem& e) {
                // Contacts become vCards without a subject line: match them by their notes.
                return e.subject == subjectOf(*m) || (e.subject.empty() && !bodyOf(*m).empty() &&
                                                      e.text.find(bodyOf(*m)) != std::string::npos);
            });
            ASSERT_NE(it, have.end()) << "\"" << subjectOf(*m) << "\" in " << path;
            if (classOf(*m) == "IPM.Appointment") {
                continue; // readpst keeps an appointment's attachments inside its calendar file
            }
            expectAttachments(*m, *it);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    FormatsAndEncodings, ReadByIndependentReaders,
    ::testing::Values(Case{"UnicodeCompressible", FileFormat::Unicode, CryptMethod::Compressible,
                           true},
                      Case{"UnicodeNone", FileFormat::Unicode, CryptMethod::None, false},
                      Case{"UnicodeHigh", FileFormat::Unicode, CryptMethod::High, false},
                      Case{"AnsiCompressible", FileFormat::Ansi, CryptMethod::Compressible, false},
                      Case{"AnsiNone", FileFormat::Ansi, CryptMethod::None, false},
                      Case{"AnsiHigh", FileFormat::Ansi, CryptMethod::High, false}),
    [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

TEST(ReadByIndependentReaders, PffinfoReportsPasswordChecksumAndEncryption) {
    if (!haveProgram("pffinfo")) {
        GTEST_SKIP() << "pffinfo (Debian package pff-tools) is not installed";
    }
    TempFolder tmp;
    Description d;
    d.store.password = "Password1";
    d.store.crypt = CryptMethod::High;
    d.folder("Inbox", "IPF.Note");
    writeDescription(d, tmp / "p.pst");
    ASSERT_TRUE(run("pffinfo '" + (tmp / "p.pst").string() + "' > '" + (tmp / "info.txt").string() +
                    "' 2>&1"));
    const std::string info = readFileText(tmp / "info.txt");
    // The checksum Outlook stores for "Password1" (seen in a file Outlook wrote).
    EXPECT_NE(info.find("0x11a89da7"), std::string::npos) << info;
    EXPECT_NE(info.find("Encryption type:\thigh"), std::string::npos) << info;
}

} // namespace
} // namespace tvn::tools::test

// The mail writer end to end on the real Outlook files of the corpus: every mail becomes
// one item file and every named attachment a file beside it, and the files say what
// Debian's pffexport shows for the same items (sender, subject, sent time, body, recipients
// and attachment bytes).
//
// The corpus lives outside the repository (TALLYVANE_CORPUS names it); the tests skip when
// it or pffexport is absent.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/names.h"
#include "store/fixed_password_prompt.h"
#include "store/pst/pst_file.h"
#include "store/text/code_page.h"
#include "store/text/utf.h"
#include "tests/support/corpus.h"
#include "tests/support/utc_zone.h"
#include "tests/writers/writer_test_support.h"
#include "writers/mail_item_file.h"

namespace tvn::writers {
namespace {

namespace fs = std::filesystem;
using test_support::readFileText;
using testing::WriterRun;

// --- pffexport's export --------------------------------------------------------------------

struct ExportedMail {
    fs::path folder; // relative to the exported top folder
    std::string messageClass;
    std::string subject;
    std::string sender;
    store::DateTime sent;
    std::string body;
    // Whether pffexport wrote the body as text (not for HTML-only items).
    bool hasText = false;
    // PidTagDisplayTo and PidTagDisplayCc where the item stores them, else the names of
    // the To and Cc recipients.
    std::string to;
    std::string cc;
    // Attachment names and bytes, in the item's attachment order.
    std::vector<std::pair<std::string, std::string>> attachments;
};

// "Mar 15, 2010 17:12:05.000000000 UTC"
store::DateTime exportedTime(const std::string& text) {
    static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    static const std::regex re(R"(([A-Z][a-z]{2}) (\d\d), (\d{4}) (\d\d):(\d\d):(\d\d))");
    std::smatch m;
    if (!std::regex_search(text, m, re)) {
        return store::DateTime::none();
    }
    return store::DateTime{std::stoi(m[3]), static_cast<int>(kMonths.find(m[1].str()) / 3 + 1),
                           std::stoi(m[2]), std::stoi(m[4]),
                           std::stoi(m[5]), std::stoi(m[6])};
}

// "Label:<tabs>value" lines; a label seen twice (one per recipient) keeps every value.
std::multimap<std::string, std::string> labelledLines(const fs::path& file) {
    std::multimap<std::string, std::string> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto colon = line.find(":\t");
        if (colon == std::string::npos) {
            continue;
        }
        const auto value = line.find_first_not_of('\t', colon + 1);
        out.emplace(line.substr(0, colon),
                    value == std::string::npos ? std::string{} : line.substr(value));
    }
    return out;
}

std::string first(const std::multimap<std::string, std::string>& lines, const std::string& key) {
    const auto found = lines.find(key);
    return found == lines.end() ? std::string{} : found->second;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names) {
        out += (out.empty() ? "" : "; ") + name;
    }
    return out;
}

// The string properties of an item from pffexport's value dump (ItemValues.txt):
// blocks of "Entry type:", "Value type:" and a hex dump of 16 bytes a line.
std::map<std::uint32_t, std::string> dumpedStrings(const fs::path& file) {
    std::map<std::uint32_t, std::string> out;
    std::ifstream in(file);
    std::uint32_t tag = 0;
    std::string type;
    std::string bytes;
    const auto finish = [&] {
        // A string may end with a NUL of its width.
        const std::size_t width = type == "0x0000001f" ? 2 : 1;
        while (bytes.size() >= width &&
               bytes.find_first_not_of('\0', bytes.size() - width) == std::string::npos) {
            bytes.resize(bytes.size() - width);
        }
        if (type == "0x0000001f") {
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
            out.emplace(tag, store::text::utf16leToUtf8({data, bytes.size()}));
        } else if (type == "0x0000001e") {
            out.emplace(tag, store::text::decodeCodePage(bytes, 1252));
        }
        type.clear();
        bytes.clear();
    };
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Entry type:", 0) == 0) {
            finish();
            tag = static_cast<std::uint32_t>(std::stoul(line.substr(line.find("0x")), nullptr, 16));
        } else if (line.rfind("Value type:", 0) == 0) {
            type = line.substr(line.find("0x"));
        } else if (line.rfind("0x", 0) == 0 && line.size() > 12) {
            // "0x00000000: 68 00 61 00 ...  ...   h.a." : the hex area is 49 characters.
            const auto hex = line.substr(12, 49);
            for (std::size_t at = 0; at + 1 < hex.size(); ++at) {
                if (std::isxdigit(static_cast<unsigned char>(hex[at])) &&
                    std::isxdigit(static_cast<unsigned char>(hex[at + 1]))) {
                    bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
                    ++at;
                }
            }
        }
    }
    finish();
    return out;
}

ExportedMail readExportedMail(const fs::path& dir, const fs::path& top) {
    ExportedMail mail;
    mail.folder = dir.parent_path().lexically_relative(top);
    const auto headers = labelledLines(dir / "OutlookHeaders.txt");
    mail.subject = first(headers, "Subject");
    mail.sender = first(headers, "Sender name");
    mail.sent = exportedTime(first(headers, "Client submit time"));
    mail.hasText = fs::exists(dir / "Message.txt");
    mail.body = readFileText(dir / "Message.txt");
    // Recipients come as blocks of name, address, address type and recipient type.
    std::vector<std::string> names;
    std::vector<std::string> types;
    std::ifstream in(dir / "Recipients.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Display name:", 0) == 0) {
            names.push_back(line.substr(line.find_first_not_of('\t', 13)));
        } else if (line.rfind("Recipient type:", 0) == 0) {
            types.push_back(line.substr(line.find_first_not_of('\t', 15)));
        }
    }
    std::vector<std::string> to;
    std::vector<std::string> cc;
    for (std::size_t i = 0; i < names.size() && i < types.size(); ++i) {
        (types[i] == "To" ? to : types[i] == "CC" ? cc : names).push_back(names[i]);
    }
    const auto values = dumpedStrings(dir / "ItemValues.txt");
    mail.to = values.contains(0x0E04) ? values.at(0x0E04) : joined(to);
    mail.cc = values.contains(0x0E03) ? values.at(0x0E03) : joined(cc);
    mail.messageClass = values.contains(0x001A) ? values.at(0x001A) : std::string{};
    if (fs::is_directory(dir / "Attachments")) {
        std::map<int, std::pair<std::string, std::string>> numbered;
        for (const auto& entry : fs::directory_iterator(dir / "Attachments")) {
            const auto name = entry.path().filename().string();
            const auto underscore = name.find('_');
            if (!entry.is_regular_file() || underscore == std::string::npos) {
                continue;
            }
            numbered[std::stoi(name.substr(0, underscore))] = {name.substr(underscore + 1),
                                                               readFileText(entry.path())};
        }
        for (auto& [number, attachment] : numbered) {
            mail.attachments.push_back(std::move(attachment));
        }
    }
    return mail;
}

bool isMessageDirectory(const fs::path& dir) {
    return dir.filename().string().rfind("Message", 0) == 0 &&
           fs::exists(dir / "OutlookHeaders.txt");
}

// The directory of pffexport's export that stands for the data file's top folder (its
// name differs by file and language): the first one, breadth first, that holds a
// directory for each folder directly under the archived top.
fs::path exportedTop(const fs::path& exportRoot, const fs::path& archivedTop) {
    std::set<std::string> ours;
    for (const auto& entry : fs::directory_iterator(archivedTop)) {
        if (entry.is_directory()) {
            ours.insert(entry.path().filename().string());
        }
    }
    std::vector<fs::path> level{exportRoot};
    for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
        std::vector<fs::path> next;
        for (const auto& dir : level) {
            std::set<std::string> theirs;
            for (const auto& entry : fs::directory_iterator(dir)) {
                if (entry.is_directory() && !isMessageDirectory(entry.path())) {
                    theirs.insert(entry.path().filename().string());
                    next.push_back(entry.path());
                }
            }
            if (depth > 0 &&
                std::includes(theirs.begin(), theirs.end(), ours.begin(), ours.end())) {
                return dir;
            }
        }
        level = std::move(next);
    }
    return {};
}

// Every mail of a data file as pffexport exports it (the items in folders, not recovered
// fragments nor the messages attached to others).
std::vector<ExportedMail> exportedMails(const fs::path& file, const fs::path& archivedTop,
                                        const fs::path& scratch) {
    const auto target = scratch / "pff";
    const std::string command = "pffexport -d -m items -f text -t '" + target.string() + "' '" +
                                file.string() + "' > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    const auto top = exportedTop(scratch / "pff.export", archivedTop);
    if (top.empty()) {
        ADD_FAILURE() << "no top folder found in pffexport's export of " << file;
        return {};
    }
    std::vector<ExportedMail> mails;
    for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator();
         ++it) {
        if (it->is_directory() && it->path().filename() == "Attachments") {
            it.disable_recursion_pending();
        } else if (it->is_directory() && isMessageDirectory(it->path())) {
            mails.push_back(readExportedMail(it->path(), top));
        }
    }
    return mails;
}

// Whether our attachment name is pffexport's, read with "_" as any one character, after a
// number that set apart two attachments of one name (" (2)" before the extension).
bool sameName(std::string ours, const std::string& exported) {
    static const std::regex numbered(R"( \(\d+\)(\.[^.]*)?$)");
    ours = std::regex_replace(ours, numbered, "$1");
    if (ours.size() != exported.size()) {
        return false;
    }
    for (std::size_t i = 0; i < ours.size(); ++i) {
        if (exported[i] != '_' && exported[i] != ours[i]) {
            return false;
        }
    }
    return true;
}

// IPM.Note and its kinds (IPM.Note.SMIME, ...): the items the mail writer writes.
bool isMail(const std::string& messageClass) {
    std::string lower;
    for (const char c : messageClass) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == "ipm.note" || lower.rfind("ipm.note.", 0) == 0;
}

bool havePffexport() {
    return std::system("command -v pffexport > /dev/null 2>&1") == 0;
}

// Archives the whole data file into root/Top, as a run of every folder would.
fs::path archiveDataFile(WriterRun& w, const fs::path& file, const char* password) {
    store::FixedPasswordPrompt prompt(password != nullptr ? std::optional<std::string>(password)
                                                          : std::nullopt);
    const auto top = store::pst::openDataFile(file, &prompt);
    const auto target = w.root.path() / "Top";
    SaveText(w.run, "Top", target, top);
    return target;
}

// --- the tests -----------------------------------------------------------------------------

// How many mails and attachments of a data file were found as pffexport shows them.
struct Compared {
    int mails = 0;
    int attachments = 0;
};

// Checks every mail that pffexport exports from file against the archive written into top.
Compared compareWithPffexport(const fs::path& file, const fs::path& top, const fs::path& scratch) {
    Compared compared;
    for (const auto& mail : exportedMails(file, top, scratch)) {
        if (!isMail(mail.messageClass)) {
            continue;
        }
        SCOPED_TRACE(mail.folder.string() + ": " + mail.subject);
        const auto stamp = archive::mailStamp(mail.sent);
        const auto subjectName = archive::cleanSubject(mail.subject);
        auto sender = archive::CleanName(mail.sender);
        if (sender.empty()) {
            sender = archive::kUnknownSender;
        }
        const auto path = top / mail.folder / mailFileName(stamp, subjectName, sender);
        if (!fs::exists(path)) {
            ADD_FAILURE() << "no item file " << path;
            continue;
        }
        ++compared.mails;
        auto to = archive::CleanName(mail.to);
        if (to.empty()) {
            to = kUnknownRecipient;
        }
        const MailText expected{sender,       to,       mail.cc, archive::generalDate(mail.sent),
                                mail.subject, mail.body};
        const auto text = readFileText(path);
        if (mail.hasText) {
            EXPECT_EQ(text, mailItemText(expected) + "\r\n\r\n");
        } else {
            // pffexport gives no text of an HTML-only body to compare with.
            const auto head =
                mailItemText(MailText{expected.sender, expected.recipients, expected.cc,
                                      expected.sent, expected.subject, "x"});
            EXPECT_EQ(text.substr(0, head.size() - 3), head.substr(0, head.size() - 3));
        }

        // pffexport writes "_" for characters it avoids in names ("~~DLNK0.URL" becomes
        // "__DLNK0.URL"), so a "_" of its name stands for any character of ours.
        const auto prefix = mailAttachmentName(stamp, subjectName, "");
        std::set<fs::path> used;
        for (const auto& [name, bytes] : mail.attachments) {
            const auto pattern = archive::CleanName(name);
            fs::path match;
            for (const auto& entry : fs::directory_iterator(top / mail.folder)) {
                const auto ours = entry.path().filename().string();
                if (used.contains(entry.path()) || ours.rfind(prefix, 0) != 0 ||
                    !sameName(ours.substr(prefix.size()), pattern) ||
                    readFileText(entry.path()) != bytes) {
                    continue;
                }
                match = entry.path();
                break;
            }
            EXPECT_FALSE(match.empty()) << "no attachment " << prefix << pattern;
            used.insert(match);
            ++compared.attachments;
        }
    }
    return compared;
}

// The files of an archive by kind: item files and everything else.
std::pair<int, int> countFiles(const fs::path& top) {
    std::pair<int, int> counts;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        if (entry.is_regular_file()) {
            ++(entry.path().extension() == ".rtf" ? counts.first : counts.second);
        }
    }
    return counts;
}

struct CorpusCase {
    const char* file;
    const char* password;
    // Mails written, file attachments saved, and embedded messages (saved as .msg files).
    std::int64_t mails;
    std::int64_t attachments;
    std::int64_t embedded;
};

void PrintTo(const CorpusCase& c, std::ostream* out) {
    *out << c.file;
}

class MailCorpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(MailCorpus, EveryMailAndNamedAttachmentIsWrittenAsPffexportShowsIt) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    if (!havePffexport()) {
        GTEST_SKIP() << "pffexport is not installed";
    }
    const auto& c = GetParam();
    WriterRun w;
    archive::testing::TempFolder scratch;
    const auto top = archiveDataFile(w, dir / c.file, c.password);

    archive::FolderAccount total;
    for (const auto& account : w.run.accounts()) {
        EXPECT_EQ(account->found, account->written + account->skippedCount() + account->failed)
            << account->path;
        total.written += account->written;
        total.failed += account->failed;
        total.attachmentsSaved += account->attachmentsSaved;
        total.attachmentsFailed += account->attachmentsFailed;
    }
    EXPECT_EQ(total.written, c.mails);
    EXPECT_EQ(total.failed, 0);
    EXPECT_EQ(total.attachmentsSaved, c.attachments + c.embedded);
    EXPECT_EQ(total.attachmentsFailed, 0);
    EXPECT_EQ(countFiles(top).first, c.mails);

    const auto compared = compareWithPffexport(dir / c.file, top, scratch.path());
    EXPECT_EQ(compared.mails, c.mails);
    EXPECT_EQ(compared.attachments, c.attachments);

    // Nothing is logged: attached messages are saved as .msg files like any attachment.
    EXPECT_EQ(w.log(), "");
}

INSTANTIATE_TEST_SUITE_P(Corpus, MailCorpus,
                         ::testing::Values(CorpusCase{"enron.pst", nullptr, 71, 70, 0},
                                           CorpusCase{"aspose-chunk.pst", nullptr, 31, 33, 10},
                                           CorpusCase{"aspose-outlook.pst", nullptr, 14, 30, 4},
                                           CorpusCase{"aspose-password.pst", "Password1", 11, 5, 1},
                                           CorpusCase{"outlookcom-2013.ost", nullptr, 8, 17, 0},
                                           CorpusCase{"200-recipients.pst", nullptr, 1, 0, 0},
                                           CorpusCase{"attach-and-inline.pst", nullptr, 1, 2, 0},
                                           CorpusCase{"msg-in-msg.pst", nullptr, 1, 1, 1},
                                           CorpusCase{"sample1.pst", nullptr, 1, 1, 0},
                                           CorpusCase{"sample2-ansi.pst", nullptr, 1, 1, 0},
                                           CorpusCase{"submessage.pst", nullptr, 1, 0, 1},
                                           CorpusCase{"aspose-contacts.pst", nullptr, 0, 0, 0},
                                           CorpusCase{"aspose-contacts.ost", nullptr, 0, 0, 0},
                                           CorpusCase{"dist-list.pst", nullptr, 0, 0, 0}),
                         [](const ::testing::TestParamInfo<CorpusCase>& param) {
                             std::string name;
                             for (const char ch : std::string_view(param.param.file)) {
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

} // namespace
} // namespace tvn::writers

// `tallyvane-cli tree`: the folder tree of data files as JSON and as text, and the exit
// status and message when a file cannot be read.

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/tree_command.h"
#include "tests/archive/temp_folder.h"
#include "tests/support/corpus.h"
#include "tools/pstwriter/description.h"

namespace tvn::cli {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json; // at() and get<>() throw on a missing member or another kind

struct Outcome {
    int status = 0;
    std::string out;
    std::string err;
};

Outcome tree(const fs::path& file, bool json, std::optional<fs::path> passwordFile = {}) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runTreeCommand({file, json, std::move(passwordFile)}, out, err);
    return {status, out.str(), err.str()};
}

TEST(Tree, JsonDescribesTheFileAndEveryFolderDepthFirst) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    struct Case {
        const char* file;
        std::string format, encryption, store;
        std::size_t folders;
        // One folder: index, depth and last name of its path, items, a class and its count.
        std::size_t index, depth;
        std::string name;
        int items;
        std::string messageClass;
        int classCount;
    };
    const Case cases[] = {
        {"dist-list.pst", "unicode", "compressible", "Personal Folders", 13, 6, 2, "Contacts", 2,
         "IPM.DistList", 1},
        {"enron.pst", "unicode", "compressible", "Personal folders", 8, 7, 4, "Personal", 47,
         "IPM.Note", 47},
        // A store without a name shows its file's name as its top folder's.
        {"outlookcom-2013.ost", "unicode-4k", "none", "", 37, 0, 1, "outlookcom-2013", 0, "", 0},
        {"sample2-ansi.pst", "ansi", "compressible", "", 0, 0, 0, "", 0, "", 0},
        // Names beyond ASCII pass through as UTF-8, not escaped.
        {"msg-in-msg.pst", "unicode", "compressible", "", 0, 1, 2,
         "\u524A\u9664\u6E08\u307F\u30A2\u30A4\u30C6\u30E0", 0, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Outcome r = tree(dir / c.file, true);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const Json doc = Json::parse(r.out);
        EXPECT_EQ(doc.at("format").get<std::string>(), c.format);
        EXPECT_EQ(doc.at("encryption").get<std::string>(), c.encryption);
        if (c.name.empty()) {
            continue;
        }
        const Json& folders = doc.at("folders");
        if (c.folders > 0) {
            EXPECT_EQ(doc.at("store").get<std::string>(), c.store);
            EXPECT_EQ(folders.size(), c.folders);
        }
        for (const auto& f : folders) {
            EXPECT_EQ(f.size(), 5u);
            EXPECT_EQ(f.at("path").at(0), folders.at(0).at("path").at(0));
        }
        const Json& f = folders.at(c.index);
        EXPECT_EQ(f.at("path").size(), c.depth);
        EXPECT_EQ(f.at("path").back().get<std::string>(), c.name);
        EXPECT_NE(r.out.find(c.name), std::string::npos);
        EXPECT_TRUE(f.at("message_classes").is_object());
        EXPECT_EQ(f.at("items").get<int>(), c.items);
        if (!c.messageClass.empty()) {
            EXPECT_EQ(f.at("message_classes").at(c.messageClass).get<int>(), c.classCount);
        }
    }
}

// Names are stored text: quotes, backslashes, control characters and DEL come back exactly,
// from output that is still one valid JSON text.
TEST(Tree, AnyNameComesBackExactlyInJson) {
    const std::string odd = "q\"b\\s/t\tn\nr\re\x1b[2J\x7f caf\xC3\xA9";
    tools::Description d;
    d.store.displayName = odd;
    d.folder(odd, "IPF.Note");
    archive::testing::TempFolder dir;
    tools::writeDescription(d, dir / "odd.pst");
    const Outcome r = tree(dir / "odd.pst", true);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    const Json doc = Json::parse(r.out);
    EXPECT_EQ(doc.at("store").get<std::string>(), odd);
    const auto& folders = doc.at("folders");
    EXPECT_TRUE(std::any_of(folders.begin(), folders.end(), [&](const Json& f) {
        return f.at("path").back().get<std::string>() == odd;
    })) << r.out;
}

TEST(Tree, UnreadableFilesExitTwoWithOneLine) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    archive::testing::TempFolder temp;
    archive::testing::writeBytes(temp / "right", "Password1\r\nsecond line\r\n");
    archive::testing::writeBytes(temp / "wrong", "password1\n");
    const auto locked = dir / "aspose-password.pst";
    const std::string refused = ": its password was not given or is wrong";
    const std::tuple<fs::path, std::optional<fs::path>, std::string> cases[] = {
        {dir / "nothing-here.pst", std::nullopt,
         "tree: " + (dir / "nothing-here.pst").string() + ": the file does not exist"},
        {dir / "MANIFEST.md", std::nullopt, ": not an Outlook data file"},
        {locked, std::nullopt, refused},
        {locked, temp / "wrong", refused},
        {locked, temp / "missing",
         "tree: " + (temp / "missing").string() + ": the file does not exist"},
    };
    for (const auto& [file, passwordFile, mention] : cases) {
        const Outcome r = tree(file, true, passwordFile);
        EXPECT_EQ(r.status, 2) << mention;
        EXPECT_EQ(r.out, "") << mention;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(mention), std::string::npos) << r.err;
    }
    const Outcome opened = tree(locked, true, temp / "right");
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_EQ(Json::parse(opened.out).at("folders").size(), 3u);
}

} // namespace
} // namespace tvn::cli

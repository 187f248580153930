// `tallyvane-cli tree`: the folder tree of the corpus files as text and as JSON, and the
// exit status and message when a file cannot be read.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/tree_command.h"
#include "tests/support/corpus.h"
#include "tools/pstwriter/description.h"

namespace tvn::cli {
namespace {

namespace fs = std::filesystem;

// Typed access to parsed output. A missing member or index, or a value of another kind,
// throws, which fails the test.
class Json {
public:
    explicit Json(nlohmann::json value) : m_value(std::move(value)) {}

    Json operator[](const std::string& key) const { return Json(m_value.at(key)); }
    Json operator[](std::size_t i) const { return Json(m_value.at(i)); }
    std::string str() const { return m_value.get<std::string>(); }
    double num() const { return m_value.get<double>(); }
    // Members of an object, elements of an array.
    std::size_t size() const {
        if (!m_value.is_object() && !m_value.is_array()) {
            throw std::runtime_error("not an object or array: " + m_value.dump());
        }
        return m_value.size();
    }
    bool isObject() const { return m_value.is_object(); }

private:
    nlohmann::json m_value;
};

Json parse(const std::string& text) {
    return Json(nlohmann::json::parse(text));
}

struct Outcome {
    int status = 0;
    std::string out;
    std::string err;
};

Outcome tree(const fs::path& file, bool json, std::optional<fs::path> passwordFile = std::nullopt) {
    TreeOptions options;
    options.file = file;
    options.json = json;
    options.passwordFile = std::move(passwordFile);
    std::ostringstream out;
    std::ostringstream err;
    Outcome r;
    r.status = runTreeCommand(options, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

class TempFile {
public:
    explicit TempFile(const std::string& content) {
        std::random_device rd;
        m_path = fs::temp_directory_path() / ("tallyvane-cli-" + std::to_string(rd()));
        std::ofstream(m_path, std::ios::binary) << content;
    }
    ~TempFile() {
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

TEST(TreeJson, DescribesTheFileAndEveryFolderDepthFirst) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const Outcome r = tree(dir / "dist-list.pst", true);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Json doc = parse(r.out);
    EXPECT_EQ(doc.size(), 4u);
    EXPECT_EQ(doc["store"].str(), "Personal Folders");
    EXPECT_EQ(doc["format"].str(), "unicode");
    EXPECT_EQ(doc["encryption"].str(), "compressible");
    ASSERT_EQ(doc["folders"].size(), 13u);
    for (std::size_t i = 0; i < doc["folders"].size(); ++i) {
        const Json f = doc["folders"][i];
        EXPECT_EQ(f.size(), 5u);
        EXPECT_EQ(f["path"][0].str(), "Personal Folders") << "paths start at the top folder";
    }
    const Json folders = doc["folders"];
    EXPECT_EQ(folders[0]["path"].size(), 1u);
    EXPECT_EQ(folders[0]["subfolders"].num(), 12);
    EXPECT_EQ(folders[0]["class"].str(), "");
    const Json contacts = folders[6];
    EXPECT_EQ(contacts["path"][1].str(), "Contacts");
    EXPECT_EQ(contacts["class"].str(), "IPF.Contact");
    EXPECT_EQ(contacts["items"].num(), 2);
    EXPECT_EQ(contacts["message_classes"]["IPM.Contact"].num(), 1);
    EXPECT_EQ(contacts["message_classes"]["IPM.DistList"].num(), 1);
    EXPECT_TRUE(folders[1]["message_classes"].isObject());
    EXPECT_EQ(folders[1]["message_classes"].size(), 0u);
}

TEST(TreeJson, NestedFoldersAndOtherFormats) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const Outcome enron = tree(dir / "enron.pst", true);
    ASSERT_EQ(enron.status, 0) << enron.err;
    const Json folders = parse(enron.out)["folders"];
    ASSERT_EQ(folders.size(), 8u);
    const Json personal = folders[7];
    ASSERT_EQ(personal["path"].size(), 4u);
    EXPECT_EQ(personal["path"][3].str(), "Personal");
    EXPECT_EQ(personal["path"][2].str(), "MLOKAY (Non-Privileged)");
    EXPECT_EQ(personal["items"].num(), 47);

    const Outcome ost = tree(dir / "outlookcom-2013.ost", true);
    ASSERT_EQ(ost.status, 0) << ost.err;
    const Json doc = parse(ost.out);
    EXPECT_EQ(doc["format"].str(), "unicode-4k");
    EXPECT_EQ(doc["encryption"].str(), "none");
    EXPECT_EQ(doc["store"].str(), "") << "the store's name exactly as stored";
    EXPECT_EQ(doc["folders"][0]["path"][0].str(), "outlookcom-2013")
        << "a store without a name shows its file's";
    EXPECT_EQ(doc["folders"].size(), 37u);

    const Outcome ansi = tree(dir / "sample2-ansi.pst", true);
    EXPECT_EQ(parse(ansi.out)["format"].str(), "ansi");
}

TEST(TreeJson, NamesBeyondAsciiPassThroughAsUtf8) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const Outcome r = tree(dir / "msg-in-msg.pst", true);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\u524A\u9664"), std::string::npos) << "written as UTF-8, not escaped";
    const Json doc = parse(r.out);
    EXPECT_EQ(doc["folders"][1]["path"][1].str(),
              "\u524A\u9664\u6E08\u307F\u30A2\u30A4\u30C6\u30E0");
    EXPECT_EQ(doc["folders"][0]["message_classes"]["IPM.Note"].num(), 1);
}

// Names are stored text: quotes, backslashes, control characters and DEL come back exactly,
// from output that is still one valid JSON text.
TEST(TreeJson, AnyNameComesBackExactly) {
    const std::string odd = "q\"b\\s/t\tn\nr\re\x1b[2J\x7f caf\xC3\xA9";
    tools::Description d;
    d.store.displayName = odd;
    d.folder(odd, "IPF.Note");
    const TempFile file("");
    tools::writeDescription(d, file.path());
    const Outcome r = tree(file.path(), true);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    const Json doc = parse(r.out);
    EXPECT_EQ(doc["store"].str(), odd);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < doc["folders"].size(); ++i) {
        names.push_back(doc["folders"][i]["path"][doc["folders"][i]["path"].size() - 1].str());
    }
    EXPECT_NE(std::find(names.begin(), names.end(), odd), names.end()) << r.out;
}

TEST(TreeText, OneIndentedLineAFolder) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const Outcome r = tree(dir / "enron.pst", false);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "Personal folders  [-]  items 0  subfolders 2");
    EXPECT_EQ(lines[7], "      Personal  [IPF.Note]  items 47 (IPM.Note x47)  subfolders 0");
}

TEST(TreeErrors, UnreadableFilesExitTwoWithOneLine) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const TempFile right("Password1\r\nsecond line\r\n");
    const TempFile wrong("password1\n");
    struct Case {
        const char* name;
        fs::path file;
        std::optional<fs::path> passwordFile;
        std::string mention;
    };
    const Case cases[] = {
        {"missing file", dir / "nothing-here.pst", std::nullopt,
         "tree: " + (dir / "nothing-here.pst").string() + ": the file does not exist"},
        {"not a data file", dir / "MANIFEST.md", std::nullopt, ": not an Outlook data file"},
        {"no password", dir / "aspose-password.pst", std::nullopt,
         ": its password was not given or is wrong"},
        {"wrong password", dir / "aspose-password.pst", wrong.path(),
         ": its password was not given or is wrong"},
        {"missing password file", dir / "aspose-password.pst", dir / "no-password-file",
         "tree: " + (dir / "no-password-file").string() + ": the file does not exist"},
    };
    for (const auto& c : cases) {
        const Outcome r = tree(c.file, true, c.passwordFile);
        EXPECT_EQ(r.status, 2) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find(c.mention), std::string::npos) << c.name << ": " << r.err;
    }
    const Outcome opened = tree(dir / "aspose-password.pst", true, right.path());
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_EQ(parse(opened.out)["folders"].size(), 3u);
}

} // namespace
} // namespace tvn::cli

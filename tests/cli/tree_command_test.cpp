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

#include "cli/tree_command.h"
#include "tests/support/corpus.h"
#include "tools/pstwriter/json.h"

namespace tvn::cli {
namespace {

namespace fs = std::filesystem;

// Typed access to parsed output. A missing member or index, or a value of another kind,
// throws, which fails the test. The viewed value must outlive the view.
class Json {
public:
    explicit Json(const tools::json::Value& value) : m_value(&value) {}

    Json operator[](std::string_view key) const {
        const tools::json::Value* member = of(Kind::Object).find(key);
        if (member == nullptr) {
            throw std::out_of_range("no member " + std::string(key));
        }
        return Json(*member);
    }
    Json operator[](std::size_t i) const { return Json(of(Kind::Array).array.at(i)); }
    const std::string& str() const { return of(Kind::String).string; }
    double num() const {
        if (m_value->kind == Kind::Integer) {
            return static_cast<double>(m_value->integer);
        }
        return of(Kind::Real).real;
    }
    const std::vector<tools::json::Value>& arr() const { return of(Kind::Array).array; }
    const auto& obj() const { return of(Kind::Object).object; }

private:
    using Kind = tools::json::Value::Kind;

    const tools::json::Value& of(Kind kind) const {
        if (m_value->kind != kind) {
            throw std::runtime_error("unexpected kind of JSON value");
        }
        return *m_value;
    }

    const tools::json::Value* m_value;
};

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
    const auto root = tools::json::parse(r.out);
    const Json doc(root);
    EXPECT_EQ(doc.obj().size(), 4u);
    EXPECT_EQ(doc["store"].str(), "Personal Folders");
    EXPECT_EQ(doc["format"].str(), "unicode");
    EXPECT_EQ(doc["encryption"].str(), "compressible");
    ASSERT_EQ(doc["folders"].arr().size(), 13u);
    for (const auto& folder : doc["folders"].arr()) {
        const Json f(folder);
        EXPECT_EQ(f.obj().size(), 5u);
        EXPECT_EQ(f["path"][0].str(), "Personal Folders") << "paths start at the top folder";
    }
    const Json folders = doc["folders"];
    EXPECT_EQ(folders[0]["path"].arr().size(), 1u);
    EXPECT_EQ(folders[0]["subfolders"].num(), 12);
    EXPECT_EQ(folders[0]["class"].str(), "");
    const Json contacts = folders[6];
    EXPECT_EQ(contacts["path"][1].str(), "Contacts");
    EXPECT_EQ(contacts["class"].str(), "IPF.Contact");
    EXPECT_EQ(contacts["items"].num(), 2);
    EXPECT_EQ(contacts["message_classes"]["IPM.Contact"].num(), 1);
    EXPECT_EQ(contacts["message_classes"]["IPM.DistList"].num(), 1);
    EXPECT_TRUE(folders[1]["message_classes"].obj().empty());
}

TEST(TreeJson, NestedFoldersAndOtherFormats) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const Outcome enron = tree(dir / "enron.pst", true);
    ASSERT_EQ(enron.status, 0) << enron.err;
    const auto enronRoot = tools::json::parse(enron.out);
    const Json folders = Json(enronRoot)["folders"];
    ASSERT_EQ(folders.arr().size(), 8u);
    const Json personal = folders[7];
    ASSERT_EQ(personal["path"].arr().size(), 4u);
    EXPECT_EQ(personal["path"][3].str(), "Personal");
    EXPECT_EQ(personal["path"][2].str(), "MLOKAY (Non-Privileged)");
    EXPECT_EQ(personal["items"].num(), 47);

    const Outcome ost = tree(dir / "outlookcom-2013.ost", true);
    ASSERT_EQ(ost.status, 0) << ost.err;
    const auto ostRoot = tools::json::parse(ost.out);
    const Json doc(ostRoot);
    EXPECT_EQ(doc["format"].str(), "unicode-4k");
    EXPECT_EQ(doc["encryption"].str(), "none");
    EXPECT_EQ(doc["store"].str(), "") << "the store's name exactly as stored";
    EXPECT_EQ(doc["folders"][0]["path"][0].str(), "outlookcom-2013")
        << "a store without a name shows its file's";
    EXPECT_EQ(doc["folders"].arr().size(), 37u);

    const Outcome ansi = tree(dir / "sample2-ansi.pst", true);
    const auto ansiRoot = tools::json::parse(ansi.out);
    EXPECT_EQ(Json(ansiRoot)["format"].str(), "ansi");
}

TEST(TreeJson, NamesBeyondAsciiPassThroughAsUtf8) {
    TALLYVANE_REQUIRE_CORPUS(dir);
    const Outcome r = tree(dir / "msg-in-msg.pst", true);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto root = tools::json::parse(r.out);
    const Json doc(root);
    EXPECT_EQ(doc["folders"][1]["path"][1].str(),
              "\u524A\u9664\u6E08\u307F\u30A2\u30A4\u30C6\u30E0");
    EXPECT_EQ(doc["folders"][0]["message_classes"]["IPM.Note"].num(), 1);
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
        const char* mention;
    };
    const Case cases[] = {
        {"missing file", dir / "nothing-here.pst", std::nullopt, "[error 53]"},
        {"not a data file", dir / "MANIFEST.md", std::nullopt, "[error -2147219968]"},
        {"no password", dir / "aspose-password.pst", std::nullopt, "[error 287]"},
        {"wrong password", dir / "aspose-password.pst", wrong.path(), "[error 287]"},
        {"missing password file", dir / "aspose-password.pst", dir / "no-password-file",
         "password file"},
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
    const auto openedRoot = tools::json::parse(opened.out);
    EXPECT_EQ(Json(openedRoot)["folders"].arr().size(), 3u);
}

} // namespace
} // namespace tvn::cli

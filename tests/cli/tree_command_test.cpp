// `tallyvane-cli tree`: the folder tree of the corpus files as text and as JSON, and the
// exit status and message when a file cannot be read.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "cli/tree_command.h"

namespace tvn::cli {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> corpusDir() {
    const char* dir = std::getenv("TALLYVANE_CORPUS");
    if (dir == nullptr || !fs::exists(fs::path(dir) / "MANIFEST.md")) {
        return std::nullopt;
    }
    return fs::path(dir);
}

#define REQUIRE_CORPUS(dir)                                                                        \
    const auto dir##Opt = corpusDir();                                                             \
    if (!dir##Opt) {                                                                               \
        GTEST_SKIP() << "corpus not found: set TALLYVANE_CORPUS to the folder of MANIFEST.md";     \
    }                                                                                              \
    const fs::path& dir = *dir##Opt

// A JSON value, parsed strictly enough to reject malformed output.
struct Json {
    using Object = std::map<std::string, Json>;
    using Array = std::vector<Json>;
    std::variant<std::nullptr_t, double, std::string, Array, Object> value;

    const Json& operator[](const std::string& key) const { return std::get<Object>(value).at(key); }
    const Json& operator[](std::size_t i) const { return std::get<Array>(value).at(i); }
    const std::string& str() const { return std::get<std::string>(value); }
    double num() const { return std::get<double>(value); }
    const Array& arr() const { return std::get<Array>(value); }
    const Object& obj() const { return std::get<Object>(value); }
};

class JsonParser {
public:
    explicit JsonParser(std::string_view text) : m_s(text) {}

    Json parseDocument() {
        Json v = parse();
        ws();
        if (m_i != m_s.size()) {
            throw std::runtime_error("trailing text at " + std::to_string(m_i));
        }
        return v;
    }

private:
    void ws() {
        while (m_i < m_s.size() && std::isspace(static_cast<unsigned char>(m_s[m_i]))) {
            ++m_i;
        }
    }
    char peek() {
        ws();
        if (m_i >= m_s.size()) {
            throw std::runtime_error("unexpected end");
        }
        return m_s[m_i];
    }
    void expect(char c) {
        if (peek() != c) {
            throw std::runtime_error(std::string("expected ") + c + " at " + std::to_string(m_i));
        }
        ++m_i;
    }
    Json parse() {
        const char c = peek();
        if (c == '{') {
            ++m_i;
            Json::Object o;
            if (peek() == '}') {
                ++m_i;
                return {o};
            }
            while (true) {
                std::string key = string();
                expect(':');
                if (!o.emplace(key, parse()).second) {
                    throw std::runtime_error("duplicate key " + key);
                }
                if (peek() == ',') {
                    ++m_i;
                    continue;
                }
                expect('}');
                return {o};
            }
        }
        if (c == '[') {
            ++m_i;
            Json::Array a;
            if (peek() == ']') {
                ++m_i;
                return {a};
            }
            while (true) {
                a.push_back(parse());
                if (peek() == ',') {
                    ++m_i;
                    continue;
                }
                expect(']');
                return {a};
            }
        }
        if (c == '"') {
            return {string()};
        }
        std::size_t used = 0;
        const double d = std::stod(std::string(m_s.substr(m_i)), &used);
        m_i += used;
        return {d};
    }
    std::string string() {
        expect('"');
        std::string out;
        while (m_i < m_s.size() && m_s[m_i] != '"') {
            const auto c = static_cast<unsigned char>(m_s[m_i++]);
            if (c < 0x20) {
                throw std::runtime_error("raw control character in a string");
            }
            if (c != '\\') {
                out.push_back(static_cast<char>(c));
                continue;
            }
            const char e = m_s.at(m_i++);
            switch (e) {
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'u':
                out.push_back(
                    static_cast<char>(std::stoi(std::string(m_s.substr(m_i, 4)), nullptr, 16)));
                m_i += 4;
                break;
            case '"':
            case '\\':
            case '/':
                out.push_back(e);
                break;
            default:
                throw std::runtime_error("bad escape");
            }
        }
        expect('"');
        return out;
    }

    std::string_view m_s;
    std::size_t m_i = 0;
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
    REQUIRE_CORPUS(dir);
    const Outcome r = tree(dir / "dist-list.pst", true);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Json doc = JsonParser(r.out).parseDocument();
    EXPECT_EQ(doc.obj().size(), 4u);
    EXPECT_EQ(doc["store"].str(), "Personal Folders");
    EXPECT_EQ(doc["format"].str(), "unicode");
    EXPECT_EQ(doc["encryption"].str(), "compressible");
    const auto& folders = doc["folders"].arr();
    ASSERT_EQ(folders.size(), 13u);
    for (const auto& f : folders) {
        EXPECT_EQ(f.obj().size(), 5u);
        EXPECT_EQ(f["path"][0].str(), "Personal Folders") << "paths start at the top folder";
    }
    EXPECT_EQ(folders[0]["path"].arr().size(), 1u);
    EXPECT_EQ(folders[0]["subfolders"].num(), 12);
    EXPECT_EQ(folders[0]["class"].str(), "");
    const auto& contacts = folders[6];
    EXPECT_EQ(contacts["path"][1].str(), "Contacts");
    EXPECT_EQ(contacts["class"].str(), "IPF.Contact");
    EXPECT_EQ(contacts["items"].num(), 2);
    EXPECT_EQ(contacts["message_classes"]["IPM.Contact"].num(), 1);
    EXPECT_EQ(contacts["message_classes"]["IPM.DistList"].num(), 1);
    EXPECT_TRUE(folders[1]["message_classes"].obj().empty());
}

TEST(TreeJson, NestedFoldersAndOtherFormats) {
    REQUIRE_CORPUS(dir);
    const Outcome enron = tree(dir / "enron.pst", true);
    ASSERT_EQ(enron.status, 0) << enron.err;
    const Json enronDoc = JsonParser(enron.out).parseDocument();
    const auto& folders = enronDoc["folders"].arr();
    ASSERT_EQ(folders.size(), 8u);
    const auto& personal = folders[7];
    ASSERT_EQ(personal["path"].arr().size(), 4u);
    EXPECT_EQ(personal["path"][3].str(), "Personal");
    EXPECT_EQ(personal["path"][2].str(), "MLOKAY (Non-Privileged)");
    EXPECT_EQ(personal["items"].num(), 47);

    const Outcome ost = tree(dir / "outlookcom-2013.ost", true);
    ASSERT_EQ(ost.status, 0) << ost.err;
    const Json doc = JsonParser(ost.out).parseDocument();
    EXPECT_EQ(doc["format"].str(), "unicode-4k");
    EXPECT_EQ(doc["encryption"].str(), "none");
    EXPECT_EQ(doc["store"].str(), "") << "the store's name exactly as stored";
    EXPECT_EQ(doc["folders"][0]["path"][0].str(), "outlookcom-2013")
        << "a store without a name shows its file's";
    EXPECT_EQ(doc["folders"].arr().size(), 37u);

    const Outcome ansi = tree(dir / "sample2-ansi.pst", true);
    EXPECT_EQ(JsonParser(ansi.out).parseDocument()["format"].str(), "ansi");
}

TEST(TreeJson, NamesBeyondAsciiPassThroughAsUtf8) {
    REQUIRE_CORPUS(dir);
    const Outcome r = tree(dir / "msg-in-msg.pst", true);
    ASSERT_EQ(r.status, 0) << r.err;
    const Json doc = JsonParser(r.out).parseDocument();
    EXPECT_EQ(doc["folders"][1]["path"][1].str(),
              "\u524A\u9664\u6E08\u307F\u30A2\u30A4\u30C6\u30E0");
    EXPECT_EQ(doc["folders"][0]["message_classes"]["IPM.Note"].num(), 1);
}

TEST(TreeText, OneIndentedLineAFolder) {
    REQUIRE_CORPUS(dir);
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
    REQUIRE_CORPUS(dir);
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
    EXPECT_EQ(JsonParser(opened.out).parseDocument()["folders"].arr().size(), 3u);
}

} // namespace
} // namespace tvn::cli

#pragma once

// Stand-ins for the user interface in the app tests, an in-memory log, and a model over
// in-memory data files.

#include <map>
#include <regex>

#include <gtest/gtest.h>

#include "app/frm_main.h"
#include "store/memory/memory_store.h"
#include "tests/support/expect_failure.h"

namespace tvn::app::testing {

using tvn::test_support::expectFailure;

class RecordingView final : public MainWindowView {
public:
    void showWindow() override {
        calls.push_back("show");
        if (failShow) {
            throw Failure(err::kInvalidProcedureCall, "The window cannot be shown");
        }
    }
    void restoreNormal() override {}
    void activate() override { calls.push_back("activate"); }
    void setCaption(std::string_view text) override { caption = text; }
    void setCountTexts(std::string_view listedText, std::string_view selectedText) override {
        listed = listedText;
        selected = selectedText;
    }
    // Unloads the other windows, as the Qt close event does.
    void closeWindow() override {
        calls.push_back("close");
        model->Form_Unload();
    }
    void resetMousePointer() override {}
    void setHourglass(bool on) override { calls.push_back(on ? "hourglass" : "pointer"); }
    void setCommandEnabled(std::string_view control, bool on) override {
        calls.push_back((on ? "enable " : "disable ") + std::string(control));
    }
    void repaint() override {}
    void showArchiveLocation(std::string_view path) override { location = path; }
    void showDataFile(std::string_view path) override { dataFile = path; }

    FrmMain* model = nullptr;
    bool failShow = false;
    std::vector<std::string> calls;
    std::string caption, listed, selected, location, dataFile;
};

struct ShownMessage {
    std::string text;
    archive::MessageIcon icon;
    std::string title = "Tallyvane";
    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};
using Shown = std::vector<ShownMessage>;

class RecordingBoxes final : public archive::MessageBoxes {
public:
    void show(std::string_view text, archive::MessageIcon icon, std::string_view title) override {
        shown.push_back(ShownMessage{std::string(text), icon, std::string(title)});
    }
    Shown shown;
};

// The folder picker and the password prompt, with fixed answers.
class FixedAnswers final : public store::FolderPicker, public store::PasswordPrompt {
public:
    std::shared_ptr<store::Folder> pickFolder() override {
        return failPick ? throw Failure(err::kUnspecified, "The picker failed") : folder;
    }
    std::optional<std::string> askPassword(const std::filesystem::path& file) override {
        asked.push_back(file);
        return password;
    }
    std::shared_ptr<store::Folder> folder;
    bool failPick = false;
    std::optional<std::string> password;
    std::vector<std::filesystem::path> asked;
};

// A logged entry's number, information text and subject.
struct Logged {
    std::int32_t number;
    std::string info;
    std::string subject = "N/A.";
    friend bool operator==(const Logged&, const Logged&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Logged& e) {
        return out << e.number << " | " << e.info << " | " << e.subject;
    }
};

// A log that keeps its entries in memory, shared with the test; Close adds kClosed.
class MemoryLog final : public archive::TextStream {
public:
    using Entries = std::shared_ptr<std::vector<Logged>>;
    static inline const Logged kClosed{0, "closed"};
    explicit MemoryLog(Entries entries) : m_entries(std::move(entries)) {}
    void WriteLine(std::string_view text) override {
        static const std::regex entry("Error Description: [^]*\r\nError Nbr: (-?[0-9]+)\r\n"
                                      "Error Info: (.*)\r\nError Subject: ([^]*)");
        std::cmatch m;
        ASSERT_TRUE(std::regex_match(text.begin(), text.end(), m, entry)) << text;
        m_entries->push_back({std::stoi(m[1].str()), m[2].str(), m[3].str()});
    }
    void WriteBlankLines(std::int32_t) override { ADD_FAILURE() << "blank line in the log"; }
    void Close() override { m_entries->push_back(kClosed); }

private:
    Entries m_entries;
};

inline MemoryLog::Entries attachMemoryLogTo(archive::ErrorReporter& reporter) {
    auto entries = std::make_shared<std::vector<Logged>>();
    reporter.log() = std::make_unique<MemoryLog>(entries);
    return entries;
}

// A model over in-memory data files: each "file" is a top folder the opener hands out by
// path (nullptr: not a data file; a password in protectedFiles: asked for first). The
// settings remember the personal file, which holds one folder of every kind.
class ModelTest : public ::testing::Test {
protected:
    ModelTest() {
        inbox = personal->addFolder("Inbox");
        inbox->addFolder("Sub");
        personal->addFolder("Calendar", store::ItemType::Appointment);
        personal->addFolder("Journal", store::ItemType::Journal);
        personal->addFolder("Contacts", store::ItemType::Contact);
        personal->addFolder("Tasks", store::ItemType::Task);
        personal->addFolder("Notes", store::ItemType::Note);
        files["/data/personal.pst"] = personal;
        settings.set("DataFiles", "Count", "1");
        settings.set("DataFiles", "File1", "/data/personal.pst");
        makeModel("/nonexistent-tallyvane-test-root/Tallyvane");
    }
    // A fresh model over this archive root, logging to memory.
    void makeModel(const std::filesystem::path& root) {
        model = std::make_unique<FrmMain>(view, boxes, settings, FrmMainOptions{root, opener});
        view.model = model.get();
        model->setFolderPicker(&answers);
        model->setPasswordPrompt(&answers);
        log = attachMemoryLogTo(model->reporter());
    }
    // Get Folder List with this folder picked, or with a picker that fails.
    void pick(std::shared_ptr<store::Folder> folder, bool fail = false) {
        answers.folder = std::move(folder);
        answers.failPick = fail;
        model->btnGetPST_Click();
    }
    std::vector<std::string> source() const { return model->sourceList().texts(); }
    std::vector<std::string> destination() const { return model->archiveList().texts(); }

    std::map<std::string, std::shared_ptr<store::Folder>> files;
    std::map<std::string, std::string> protectedFiles;
    int opened = 0;
    DataFileOpener opener = [this](const std::filesystem::path& file,
                                   store::PasswordPrompt* prompt) {
        ++opened;
        const auto found = files.find(file.string());
        const auto secret = protectedFiles.find(file.string());
        if (found == files.end() || !found->second ||
            (secret != protectedFiles.end() &&
             (prompt == nullptr || prompt->askPassword(file) != secret->second))) {
            throw Failure(found == files.end() ? err::kFileNotFound
                          : !found->second     ? err::kCorruptStore
                                               : err::kAccessRefused,
                          "Cannot open");
        }
        return found->second;
    };
    std::shared_ptr<store::memory::MemoryFolder> personal =
        store::memory::MemoryFolder::make("Personal Folders");
    std::shared_ptr<store::memory::MemoryFolder> inbox;
    RecordingView view;
    RecordingBoxes boxes;
    FixedAnswers answers;
    archive::MemorySettingsStore settings;
    std::unique_ptr<FrmMain> model;
    MemoryLog::Entries log;
};

} // namespace tvn::app::testing

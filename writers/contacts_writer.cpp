#include <cstddef>
#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "archive/names.h"
#include "store/properties.h"
#include "store/walk.h"
#include "writers/contact_table.h"
#include "writers/writers.h"

namespace tvn::writers {

namespace fs = std::filesystem;

namespace {

using namespace contacts;

// The type-mismatch error an item that is not a contact raises in a contacts folder.
constexpr std::int32_t kTypeMismatch = 13;

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// IPM.Contact and its custom forms (IPM.Contact.Something); not distribution lists.
bool isContactClass(std::string_view cls) {
    constexpr std::string_view kBase = "IPM.Contact";
    return equalsNoCase(cls, kBase) ||
           (cls.size() > kBase.size() && equalsNoCase(cls.substr(0, kBase.size()), kBase) &&
            cls[kBase.size()] == '.');
}

// Runs body; a failure comes back as a tvn::Failure instead of being thrown.
template <typename F> std::optional<Failure> attempt(F&& body) {
    try {
        body();
        return std::nullopt;
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::bad_alloc&) {
        return Failure(err::kCorruptData, "A stored size is too large to read.");
    } catch (const std::exception& e) {
        return Failure(err::kUnspecified, e.what());
    }
}

// Raised when the contact's name, needed as the subject of a report, cannot be read: the
// row is given up and the failure goes to the folder walk's trap.
struct NameUnreadable {
    Failure failure;
};

// One folder being written: its directory, its account and its table file.
struct Frame {
    fs::path directory;
    archive::FolderAccount* account = nullptr;
    // The table's name, claimed at the folder's first contact.
    std::optional<fs::path> tableFile;
    // Rows in the open file, taken back if closing it fails.
    std::int64_t rows = 0;
};

class ContactsWalk final : public store::FolderVisitor {
public:
    ContactsWalk(archive::RunContext& run, fs::path top)
        : m_run(run), m_top(std::move(top)), m_trap(run.reporter(), std::string(kSaveContactsInfo)),
          m_now(archive::now()) {}

    bool enterFolder(const std::shared_ptr<store::Folder>& folder, std::size_t depth) override {
        fs::path directory = m_frames.empty() ? m_top : m_frames.back().directory;
        bool named = true;
        if (depth > 0) {
            named = m_trap.step([&] {
                directory = m_frames.back().directory /
                            archive::pathFromUtf8(archive::directoryName(folder->name()));
            });
        }
        Frame frame;
        frame.directory = directory;
        frame.account = &m_run.beginFolder(directory);
        m_frames.push_back(std::move(frame));
        if (!named) {
            return false;
        }
        m_run.CreateFolder(directory);
        return true;
    }

    void visitItem(const std::shared_ptr<store::Item>& item, std::int32_t /*index*/) override {
        Frame& frame = m_frames.back();
        ++frame.account->found;
        m_itemPending = true;
        std::string cls;
        if (!m_trap.assign(cls, [&] { return item->messageClass(); })) {
            ++frame.account->failed;
        } else if (!isContactClass(cls)) {
            m_run.reporter().ErrorMessages(
                kTypeMismatch, "Type mismatch: the item is of class " + cls + ", not a contact.",
                kSaveContactsInfo, "N/A.");
            ++frame.account->skipped[cls];
        } else {
            bool written = false;
            try {
                written = PrintContacts(*item, frame);
            } catch (const NameUnreadable& unreadable) {
                m_run.reporter().ErrorMessages(unreadable.failure, kSaveContactsInfo, "N/A.");
            }
            ++(written ? frame.account->written : frame.account->failed);
        }
        m_itemPending = false;
        m_run.progress().itemDone(*frame.account);
    }

    void leaveFolder(const std::shared_ptr<store::Folder>& /*folder*/) override {
        Frame& frame = m_frames.back();
        // However the folder's walk ended, its table is complete: close it so that the next
        // folder begins a file of its own with its own header row.
        if (m_run.TextStream9) {
            if (!m_trap.step([&] { m_run.TextStream9->Close(); })) {
                frame.account->written -= frame.rows;
                frame.account->failed += frame.rows;
            }
            m_run.TextStream9.reset();
        }
        m_run.boolContact = true;
        m_frames.pop_back();
    }

    void failed(const Failure& failure, store::WalkStep step, std::int32_t /*index*/) override {
        m_run.reporter().ErrorMessages(failure, kSaveContactsInfo, "N/A.");
        if (step == store::WalkStep::Item) {
            // An item that could not be opened, or one whose row broke off (a message box
            // that failed); either way it is counted once.
            Frame& frame = m_frames.back();
            if (!m_itemPending) {
                ++frame.account->found;
            }
            m_itemPending = false;
            ++frame.account->failed;
            m_run.progress().itemDone(*frame.account);
        }
    }

private:
    // Writes the contact's row into the table of the folder, creating the file and writing
    // the header row first when needed. True when the row was written.
    bool PrintContacts(const store::Item& contact, Frame& frame) {
        std::optional<std::string> name;
        // A failed step is reported with the contact's name, read at its first report.
        const auto step = [&](auto&& body) {
            auto failure = attempt(body);
            if (!failure) {
                return true;
            }
            if (!name) {
                if (auto unreadable = attempt(
                        [&] { name = store::read(contact, store::prop::LastNameAndFirstName); })) {
                    throw NameUnreadable{std::move(*unreadable)};
                }
            }
            m_run.reporter().ErrorMessages(*failure, kPrintContactsInfo, *name);
            return false;
        };

        if (!m_run.fso9) {
            m_run.fso9.emplace(m_run.files().encoding());
        }
        const archive::FileSystem& fso = *m_run.fso9;
        step([&] {
            m_run.settings().set(archive::settings::kSettingsSection,
                                 archive::settings::kErrorFilePath,
                                 archive::pathToUtf8(m_run.root()));
        });
        step([&] {
            if (!fso.FolderExists(frame.directory)) {
                m_run.CreateFolder(frame.directory);
            }
        });
        if (!frame.tableFile) {
            // Two folders written into one directory in one run keep both tables.
            frame.tableFile =
                m_run.claimFileName(frame.directory / archive::pathFromUtf8(kContactsFileName));
        }
        if (!m_run.TextStream9) {
            // A file another program holds open: the reporter asks the user to close it,
            // and the file is then tried once more.
            const auto create = [&] {
                m_run.TextStream9 = fso.CreateTextFile(*frame.tableFile, true);
                m_run.boolContact = true;
                frame.rows = 0;
            };
            if (!step(create) && !m_run.TextStream9) {
                step(create);
            }
        }
        if (m_run.boolContact && m_run.TextStream9) {
            step([&] { m_run.TextStream9->WriteLine(PrintContactHeaders()); });
            m_run.boolContact = false;
        }

        std::string row;
        for (const auto& column : kColumns) {
            if (&column != kColumns.data()) {
                row += '\t';
            }
            std::string text;
            step([&] { text = columnText(column.rule, contact.get(column.property), m_now); });
            row += text;
        }
        return step([&] {
            if (!m_run.TextStream9) {
                throw Failure(err::kObjectNotSet,
                              "Object variable or With block variable not set: no open " +
                                  std::string(kContactsFileName) + " in " +
                                  archive::pathToUtf8(frame.directory));
            }
            m_run.TextStream9->WriteLine(row);
            ++frame.rows;
        });
    }

    archive::RunContext& m_run;
    fs::path m_top;
    archive::ErrorTrap m_trap;
    store::DateTime m_now;
    std::vector<Frame> m_frames;
    // An item has been counted as found and its outcome not yet.
    bool m_itemPending = false;
};

} // namespace

void SaveContacts(archive::RunContext& run, const std::string& /*strFolderName*/,
                  const fs::path& strPath, const std::shared_ptr<store::Folder>& folder) {
    if (!folder) {
        run.CreateFolder(strPath);
        return;
    }
    ContactsWalk walk(run, strPath);
    try {
        store::walkFolderTree(folder, walk);
    } catch (...) {
        // A failure of the reporter itself ends the walk; the next folder must still begin
        // a table of its own rather than add to this one.
        run.TextStream9.reset();
        run.boolContact = true;
        throw;
    }
}

} // namespace tvn::writers

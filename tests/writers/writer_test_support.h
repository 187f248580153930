#pragma once

// A writer's run on in-memory folders (a fresh root with an open log, recorded message boxes,
// settings in memory), the items the writer tests build, and reading back what was written.

#include <cstdio>
#include <functional>
#include <ranges>

#include <fmt/format.h>

#include "archive/settings_store.h"
#include "store/memory/memory_store.h"
#include "store/property_names.h"
#include "tests/archive/temp_folder.h"
#include "writers/contact_table.h"
#include "writers/writers.h"

namespace tvn::writers::testing {

using store::DateTime;
using store::memory::MemoryFolder;
using store::memory::MemoryItem;

// Message boxes that are recorded, each by the first letter of its text, and that can act
// when one is shown (the user closing a file, or a box that fails).
struct RecordingBoxes final : archive::MessageBoxes {
    void show(std::string_view text, archive::MessageIcon, std::string_view) override {
        shown += text.substr(0, 1);
        onShow(shown.size());
    }
    std::string shown;
    std::function<void(std::size_t count)> onShow = [](std::size_t) {};
};

struct WriterRun {
    WriterRun() : reporter(boxes), run(root.path(), reporter, settings) {
        reporter.log() = run.files().CreateTextFile(root / std::string(archive::kErrorLogName),
                                                    true, archive::Buffering::EveryLine);
    }
    std::string log() const {
        return archive::testing::readFileText(root / std::string(archive::kErrorLogName));
    }
    // Every file below the root but the log, relative to the root, with its bytes; or, with
    // directories, every directory with "".
    std::map<std::string, std::string> files(bool directories = false) const {
        std::map<std::string, std::string> out;
        for (const auto& e : std::filesystem::recursive_directory_iterator(root.path())) {
            const auto name = e.path().lexically_relative(root.path()).string();
            if (e.is_directory() == directories && name != archive::kErrorLogName) {
                out[name] = directories ? "" : archive::testing::readFileText(e.path());
            }
        }
        return out;
    }
    // Runs writer on folder into root/name.
    void write(Writer writer, const std::shared_ptr<store::Folder>& folder,
               const std::string& name = "Folder") {
        writer(run, name, root / name, folder);
    }

    archive::testing::TempFolder root;
    RecordingBoxes boxes;
    archive::ErrorReporter reporter;
    archive::MemorySettingsStore settings;
    archive::RunContext run;
};

// An account as "directory: found written skipped failed; attachments saved failed".
inline std::string counts(const archive::FolderAccount& a) {
    return fmt::format("{}: {} {} {} {}; {} {}", a.path, a.found, a.written, a.skippedCount(),
                       a.failed, a.attachmentsSaved, a.attachmentsFailed);
}

inline std::string logEntry(std::int32_t number, const std::string& description,
                            std::string_view info, const std::string& subject = "N/A.") {
    return archive::formatLogEntry(number, description, info, subject) + "\r\n";
}

// The pieces of a text between separators ("a|" gives "a" and "", "" gives none).
inline std::vector<std::string> split(std::string_view text, std::string_view separator) {
    std::vector<std::string> out;
    for (const auto& piece : std::views::split(text, separator)) {
        out.emplace_back(piece.begin(), piece.end());
    }
    return out;
}

// Sets the item's properties from "Name=value|Name=value", each value read as its property's
// kind: dates as "2003-11-05 09:07:02" or "none", true or false, whole numbers, text.
inline MemoryItem& setAll(MemoryItem& item, std::string_view values) {
    for (const auto& field : split(values, "|")) {
        const std::string name = field.substr(0, field.find('='));
        const std::string text = field.substr(name.size() + 1);
        const auto kind = store::propertyKind(name).value_or(store::Variant::Kind::Text);
        DateTime date;
        if (kind == store::Variant::Kind::Date) {
            std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &date.year, &date.month, &date.day,
                        &date.hour, &date.minute, &date.second);
            item.set(name, date);
        } else if (kind == store::Variant::Kind::Boolean) {
            item.set(name, text == "true");
        } else if (kind == store::Variant::Kind::Integer) {
            item.set(name, std::stoi(text));
        } else {
            item.set(name, text);
        }
    }
    return item;
}

inline MemoryItem& addMail(MemoryFolder& folder, const std::string& subject = "Budget",
                           const std::string& sender = "Jane Smith") {
    return setAll(folder.addItem("IPM.Note"),
                  fmt::format("Class=43|To=Bob Jones; Carol King|CC=Dan Brown|SentOn=2003-11-05 "
                              "09:07:02|Body=Hello,\r\nthe figures.|Subject={}|SenderName={}",
                              subject, sender));
}

inline MemoryItem& addContact(MemoryFolder& folder, const std::string& first,
                              const std::string& last) {
    return setAll(
        folder.addItem("IPM.Contact"),
        fmt::format("FirstName={0}|LastName={1}|LastNameAndFirstName={1}, {0}", first, last));
}

} // namespace tvn::writers::testing

#pragma once

// A run of a writer on in-memory folders (a fresh archive root, an open error log in it,
// message boxes that are recorded, settings held in memory), the items the writer tests
// build, and reading back what the writers wrote.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/error_messages.h"
#include "archive/run_context.h"
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

// Message boxes that are recorded, and that can act when one is shown (the user closing a
// file, or a box that fails).
class RecordingBoxes final : public archive::MessageBoxes {
public:
    void show(std::string_view text, archive::MessageIcon, std::string_view) override {
        shown.emplace_back(text);
        if (onShow) {
            onShow(shown.size());
        }
    }
    std::vector<std::string> shown;
    std::function<void(std::size_t count)> onShow;
};

class WriterRun {
public:
    explicit WriterRun(archive::TextEncoding encoding = archive::TextEncoding::Utf8)
        : reporter(boxes), run(root.path(), reporter, settings, encoding) {
        reporter.log() = run.files().CreateTextFile(logPath(), true, archive::Buffering::EveryLine);
    }

    std::filesystem::path logPath() const { return root.path() / archive::kErrorLogName; }
    std::string log() const { return archive::testing::readFileText(logPath()); }
    // Every file below the root but the log, relative to the root, with its bytes.
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> out;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path())) {
            if (entry.is_regular_file() && entry.path() != logPath()) {
                out[entry.path().lexically_relative(root.path()).string()] =
                    archive::testing::readFileText(entry.path());
            }
        }
        return out;
    }
    // Every directory below the root, relative to it, in sorted order.
    std::vector<std::string> directories() const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path())) {
            if (entry.is_directory()) {
                out.push_back(entry.path().lexically_relative(root.path()).string());
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    // Runs writer on folder into root/name.
    void write(Writer writer, const std::shared_ptr<store::Folder>& folder,
               const std::string& name = "Folder") {
        writer(run, name, root.path() / name, folder);
    }

    archive::testing::TempFolder root;
    RecordingBoxes boxes;
    archive::ErrorReporter reporter;
    archive::MemorySettingsStore settings;
    archive::RunContext run;
};

// The log entry of one reported failure.
inline std::string logEntry(std::int32_t number, const std::string& description,
                            std::string_view info, const std::string& subject = "N/A.") {
    return archive::formatLogEntry(number, description, info, subject) + "\r\n";
}

// Sets the item's properties from "Name=value|Name=value", each value read as its property's
// kind: dates as "2003-11-05 09:07:02" or "none", true or false, whole numbers, text.
inline MemoryItem& setAll(MemoryItem& item, std::string_view spec) {
    while (!spec.empty()) {
        const auto field = spec.substr(0, spec.find('|'));
        spec.remove_prefix(std::min(field.size() + 1, spec.size()));
        const std::string name(field.substr(0, field.find('=')));
        const std::string text(field.substr(name.size() + 1));
        DateTime date;
        switch (store::propertyKind(name).value_or(store::Variant::Kind::Text)) {
        case store::Variant::Kind::Date:
            std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &date.year, &date.month, &date.day,
                        &date.hour, &date.minute, &date.second);
            item.set(name, date);
            break;
        case store::Variant::Kind::Boolean:
            item.set(name, text == "true");
            break;
        case store::Variant::Kind::Integer:
            item.set(name, std::stoi(text));
            break;
        default:
            item.set(name, text);
        }
    }
    return item;
}

inline MemoryItem& addMail(MemoryFolder& folder, const std::string& subject = "Budget",
                           const std::string& sender = "Jane Smith") {
    return folder.addItem("IPM.Note")
        .set("Class", 43)
        .set("Subject", subject)
        .set("SenderName", sender)
        .set("To", "Bob Jones; Carol King")
        .set("CC", "Dan Brown")
        .set("SentOn", DateTime{2003, 11, 5, 9, 7, 2})
        .set("Body", "Hello,\r\nthe figures.");
}

inline MemoryItem& addContact(MemoryFolder& folder, const std::string& first,
                              const std::string& last) {
    return folder.addItem("IPM.Contact")
        .set("FirstName", first)
        .set("LastName", last)
        .set("LastNameAndFirstName", last + ", " + first);
}

// The bytes of a report whose lines (the body one element, whatever it holds) are given:
// lines joined by CR LF, the body's line end and three empty lines after the last.
inline std::string reportText(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i] + (i + 1 < lines.size() ? "\r\n" : "\r\n\r\n\r\n\r\n");
    }
    return out;
}

// The lines of a text file without their CR LF ends; a last line without one fails.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t begin = 0;
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", begin)) {
        out.push_back(text.substr(begin, at - begin));
        begin = at + 2;
    }
    EXPECT_EQ(begin, text.size()) << "every line ends with CR LF";
    return out;
}

// The value of the column of this header in a row of the contacts table.
inline std::string column(const std::string& row, std::string_view header) {
    std::vector<std::string> values(1);
    for (const char c : row) {
        c == '\t' ? void(values.emplace_back()) : values.back().push_back(c);
    }
    EXPECT_EQ(values.size(), contacts::kColumns.size()) << row;
    for (std::size_t i = 0; i < contacts::kColumns.size() && i < values.size(); ++i) {
        if (contacts::kColumns[i].header == header) {
            return values[i];
        }
    }
    ADD_FAILURE() << "no column " << header;
    return {};
}

} // namespace tvn::writers::testing

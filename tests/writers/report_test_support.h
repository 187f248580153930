#pragma once

// Expected report files of the calendar, task and note writers, and a run of one writer on
// one folder of in-memory items.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/writers/writer_test_support.h"

namespace tvn::writers::testing {

// The bytes of a report whose lines (the body one element, whatever it holds) are given:
// lines joined by CR LF, the body's line end and three empty lines after the last.
inline std::string reportText(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        out += i + 1 < lines.size() ? "\r\n" : "\r\n\r\n\r\n\r\n";
    }
    return out;
}

using Values = std::vector<std::pair<std::string, store::Variant>>;

inline store::memory::MemoryItem& setAll(store::memory::MemoryItem& item, const Values& values) {
    for (const auto& [name, value] : values) {
        item.set(name, value);
    }
    return item;
}

// One variation of a base item and the report lines it changes (by position).
struct ReportCase {
    std::string name;
    Values values;
    std::map<std::size_t, std::string> lines;
    // The report's file name when the variation changes it.
    std::string fileName = {};
    // Attachments or recipients the variation adds.
    std::function<void(store::memory::MemoryItem&)> extra = {};
};

// The files of a run of writer on one item: the base values, then the case's.
inline std::map<std::string, std::string> runCase(WriterRun& w, Writer writer,
                                                  const std::string& messageClass,
                                                  const Values& base, const ReportCase& c) {
    auto folder = store::memory::MemoryFolder::make("F");
    auto& item = setAll(setAll(folder->addItem(messageClass), base), c.values);
    if (c.extra) {
        c.extra(item);
    }
    writer(w.run, "F", w.root.path() / "Folder", folder);
    return w.files();
}

// Lines with the case's replacements made.
inline std::vector<std::string> withChanges(std::vector<std::string> lines, const ReportCase& c) {
    for (const auto& [at, text] : c.lines) {
        lines.at(at) = text;
    }
    return lines;
}

inline constexpr auto kDirectory = "Folder";

// Runs writer on a folder named kDirectory that holds the given items.
inline void runOn(WriterRun& w, Writer writer,
                  const std::shared_ptr<store::memory::MemoryFolder>& f) {
    writer(w.run, kDirectory, w.root.path() / kDirectory, f);
}

} // namespace tvn::writers::testing

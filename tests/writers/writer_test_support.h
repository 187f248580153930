#pragma once

// A run of a writer on in-memory folders: a fresh archive root, an open error log in it,
// message boxes that are recorded, settings held in memory, and the run's context.

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/error_messages.h"
#include "archive/run_context.h"
#include "archive/settings_store.h"
#include "store/memory/memory_store.h"
#include "tests/archive/temp_folder.h"
#include "writers/writers.h"

namespace tvn::writers::testing {

struct RecordedBox {
    std::string text;
    archive::MessageIcon icon;
    std::string title;
};

class RecordingBoxes final : public archive::MessageBoxes {
public:
    void show(std::string_view text, archive::MessageIcon icon, std::string_view title) override {
        shown.push_back({std::string(text), icon, std::string(title)});
    }
    std::vector<RecordedBox> shown;
};

class WriterRun {
public:
    explicit WriterRun(archive::TextEncoding encoding = archive::TextEncoding::Utf8)
        : reporter(boxes), run(root.path(), reporter, settings, encoding) {
        reporter.log() = run.files().CreateTextFile(logPath(), true, archive::Buffering::EveryLine);
    }

    std::filesystem::path logPath() const { return root.path() / archive::kErrorLogName; }
    // The log's text so far.
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

    archive::testing::TempFolder root;
    RecordingBoxes boxes;
    archive::ErrorReporter reporter;
    archive::MemorySettingsStore settings;
    archive::RunContext run;
};

} // namespace tvn::writers::testing

#pragma once

// pffexport (Debian's pff-tools) as an independent reader of the data files the writers
// archive: one text export of a file, and its items of one kind with their fields.

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "store/variant.h"
#include "tests/archive/temp_folder.h"

namespace tvn::writers::testing {

// One exported item: its directory and the "Label:<tabs>value" fields of its text file,
// the first of each label ("" for a label it lacks).
struct PffItem {
    std::filesystem::path dir;
    std::map<std::string, std::string> fields;
    std::string operator[](const std::string& label) const {
        return fields.contains(label) ? fields.at(label) : std::string{};
    }
    // A time field ("Aug 02, 2016 15:00:00.000000000 UTC") in local time.
    store::DateTime localTime(const std::string& label) const {
        std::tm utc{};
        std::istringstream in((*this)[label]);
        if (!(in >> std::get_time(&utc, "%b %d, %Y %H:%M:%S"))) {
            return store::DateTime::none();
        }
        const std::time_t t = ::timegm(&utc);
        std::tm local{};
        ::localtime_r(&t, &local);
        return store::DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                               local.tm_hour,        local.tm_min,     local.tm_sec};
    }
};

class PffExport {
public:
    // Exports every item of file; ok() is false when pffexport is missing or fails.
    explicit PffExport(const std::filesystem::path& file)
        : m_ok(std::system(("pffexport -q -m items -f text -t '" + (m_dir / "x").string() + "' '" +
                            file.string() + "' > /dev/null 2>&1")
                               .c_str()) == 0) {}
    bool ok() const { return m_ok; }

    // The items of one kind ("Message", "Appointment", "Contact", "Task", "Note"), but for
    // the items attached to others.
    std::vector<PffItem> items(const std::string& kind) const {
        namespace fs = std::filesystem;
        const std::string text = kind == "Message" ? "OutlookHeaders.txt" : kind + ".txt";
        std::vector<PffItem> out;
        for (auto it = fs::recursive_directory_iterator(m_dir / "x.export");
             it != fs::recursive_directory_iterator(); ++it) {
            if (it->path().filename() == "Attachments") {
                it.disable_recursion_pending();
            } else if (it->path().filename().string().starts_with(kind) &&
                       fs::exists(it->path() / text)) {
                auto& item = out.emplace_back(PffItem{it->path(), {}});
                std::ifstream in(it->path() / text);
                for (std::string line; std::getline(in, line);) {
                    const auto colon = line.find(":\t");
                    if (colon != std::string::npos) {
                        const auto value = line.find_first_not_of('\t', colon + 1);
                        item.fields.emplace(line.substr(0, colon),
                                            line.substr(std::min(value, line.size())));
                    }
                }
            }
        }
        return out;
    }

private:
    archive::testing::TempFolder m_dir;
    bool m_ok;
};

} // namespace tvn::writers::testing

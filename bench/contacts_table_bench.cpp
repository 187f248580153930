// contacts_table_bench [--contacts N] [--repeat R] [--no-tools]
//
// Writes a data file with one contacts folder of N contacts (every column of the table
// filled, varied values), then archives it with the contacts writer R times. Reports
// contacts per second, the table's megabytes per second and the peak resident memory; then
// times pffexport exporting the same file, as a yardstick.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <sys/resource.h>

#include <fmt/format.h>

#include "archive/error_messages.h"
#include "archive/run_context.h"
#include "archive/settings_store.h"
#include "store/pst/pst_file.h"
#include "tools/pstwriter/description.h"
#include "writers/writers.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tvn::tools::Message;
using tvn::tools::Property;
using tvn::tools::PropValue;

class NoBoxes final : public tvn::archive::MessageBoxes {
public:
    void show(std::string_view, tvn::archive::MessageIcon, std::string_view) override {}
};

Message contact(std::uint64_t i) {
    Message m("IPM.Contact");
    const auto n = std::to_string(i);
    const auto text = [&](std::uint16_t id, std::string value) {
        m.set(id, PropValue::unicode(std::move(value)));
    };
    const auto address = [&](std::uint32_t lid, std::string value) {
        m.set(
            Property::lid(tvn::tools::guids::kAddress, lid, PropValue::unicode(std::move(value))));
    };
    text(0x3A06, "Given" + n);
    text(0x3A11, "Surname" + n);
    text(0x3A16, "Company " + n);
    text(0x3A17, "Job title " + n);
    address(0x8045, n + " Main Street\r\nSuite " + n);
    address(0x8046, "City " + n);
    address(0x8048, std::to_string(10000 + i % 90000) + std::to_string(1000 + i % 9000));
    text(0x3A5D, n + " Elm Street");
    text(0x3A5B, std::to_string(i % 100000));
    for (const std::uint16_t id :
         std::initializer_list<std::uint16_t>{0x3A08, 0x3A09, 0x3A1C, 0x3A24, 0x3A1A}) {
        text(id, "+1 555 " + std::to_string(1000000 + (i * id) % 9000000));
    }
    address(0x8083, "person" + n + "@example.com");
    address(0x8082, "SMTP");
    address(0x8080, "Person " + n + " (person" + n + "@example.com)");
    m.set(0x3A42, PropValue::time(tvn::tools::fileTime(1950 + static_cast<int>(i % 50),
                                                       1 + static_cast<int>(i % 12),
                                                       1 + static_cast<int>(i % 28))));
    m.categories({"Business", "Key customer"});
    m.set(0x3A4D, PropValue::int16(static_cast<std::int16_t>(i % 3)));
    m.set(Property::lid(tvn::tools::guids::kCommon, 0x8534,
                        PropValue::unicode(std::to_string(i * 37))));
    m.body("Met at the conference.\r\nFollow up in spring.\r\nContact number " + n);
    return m;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    std::uint64_t count = 20000;
    int repeat = 3;
    bool tools = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--contacts" && i + 1 < argc) {
            count = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
        } else if (arg == "--no-tools") {
            tools = false;
        } else {
            fmt::print(stderr, "usage: contacts_table_bench [--contacts N] [--repeat R] "
                               "[--no-tools]\n");
            return 2;
        }
    }

    const fs::path dir =
        fs::temp_directory_path() / fmt::format("tvn-contacts-bench-{}", ::getpid());
    fs::create_directories(dir);
    const fs::path file = dir / "contacts.pst";
    {
        tvn::tools::Description d;
        auto& folder = d.folder("Contacts", "IPF.Contact");
        for (std::uint64_t i = 0; i < count; ++i) {
            folder.add(contact(i));
        }
        tvn::tools::writeDescription(d, file);
    }
    fmt::print("{} contacts, data file {:.1f} MB\n", count,
               static_cast<double>(fs::file_size(file)) / 1e6);

    for (int r = 0; r < repeat; ++r) {
        const fs::path root = dir / fmt::format("run{}", r);
        fs::create_directories(root);
        NoBoxes boxes;
        tvn::archive::ErrorReporter reporter(boxes);
        tvn::archive::MemorySettingsStore settings;
        tvn::archive::RunContext run(root, reporter, settings);
        const auto start = Clock::now();
        const auto top = tvn::store::pst::openDataFile(file, nullptr);
        const auto folder = top->folders()->item("Contacts");
        tvn::writers::SaveContacts(run, "Contacts", root / "Contacts", folder);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const auto tableBytes = fs::file_size(root / "Contacts" / "Contacts.rtf");
        fmt::print("run {}: {:.3f} s, {:.0f} contacts/s, table {:.1f} MB at {:.1f} MB/s, errors "
                   "logged: {}\n",
                   r + 1, seconds, static_cast<double>(count) / seconds,
                   static_cast<double>(tableBytes) / 1e6,
                   static_cast<double>(tableBytes) / 1e6 / seconds, reporter.boolError);
        fs::remove_all(root);
    }
    fmt::print("peak resident memory: {:.1f} MB\n", static_cast<double>(peakRssKb()) / 1024.0);

    if (tools && std::system("pffexport -h >/dev/null 2>&1") == 0) {
        const auto start = Clock::now();
        const auto command =
            fmt::format("pffexport -q -m items -f text -t '{}' '{}' >/dev/null 2>&1",
                        (dir / "pff").string(), file.string());
        const int status = std::system(command.c_str());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        fmt::print("pffexport (exit {}): {:.3f} s, {:.0f} contacts/s\n", status, seconds,
                   static_cast<double>(count) / seconds);
    }
    fs::remove_all(dir);
    return 0;
}

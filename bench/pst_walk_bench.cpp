// pst_walk_bench FILE [--repeat R] [--password P] [--no-tools]
//
// Walks an Outlook data file the way an archive run does, R times: every folder, every
// item, every object-model property of every item, every recipient, every attachment
// (its bytes read into a null sink) and every embedded message. Reports items per second,
// the file's megabytes per second, and the peak resident memory. Then times pffexport and
// readpst exporting the same file to a temporary folder, as a yardstick.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <sys/resource.h>

#include <fmt/format.h>

#include "store/failure.h"
#include "store/fixed_password_prompt.h"
#include "store/pst/backend/item_properties.h"
#include "store/pst/backend/pst_objects.h"
#include "store/pst/pst_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tvn::store::Folder;
using tvn::store::Item;

struct Totals {
    std::uint64_t folders = 0;
    std::uint64_t items = 0;
    std::uint64_t properties = 0;
    std::uint64_t recipients = 0;
    std::uint64_t attachments = 0;
    std::uint64_t attachmentBytes = 0;
    std::uint64_t textBytes = 0;
    std::uint64_t failures = 0;
};

void walkItem(const Item& item, Totals& t, int depth) {
    ++t.items;
    static const auto names = tvn::store::pst::backend::mappedPropertyNames();
    for (const auto name : names) {
        try {
            const auto v = item.get(name);
            ++t.properties;
            if (v.kind() == tvn::store::Variant::Kind::Text) {
                t.textBytes += v.text().size();
            }
        } catch (const tvn::Failure&) {
            ++t.failures;
        }
    }
    try {
        const auto r = item.recipients();
        for (std::int32_t i = 1; i <= r->count(); ++i) {
            const auto rec = r->item(i);
            t.textBytes += rec->name().size() + rec->address().size();
            ++t.recipients;
        }
    } catch (const tvn::Failure&) {
        ++t.failures;
    }
    try {
        const auto a = item.attachments();
        for (std::int32_t i = 1; i <= a->count(); ++i) {
            const auto att = a->item(i);
            ++t.attachments;
            t.textBytes += att->fileName().size();
            if (const auto* pst =
                    dynamic_cast<const tvn::store::pst::backend::PstAttachment*>(att.get())) {
                t.attachmentBytes += pst->readData([](std::span<const std::uint8_t>) {});
            }
            if (const auto inner = att->embeddedItem(); inner && depth < 8) {
                walkItem(*inner, t, depth + 1);
            }
        }
    } catch (const tvn::Failure&) {
        ++t.failures;
    }
}

void walkFolder(const Folder& folder, Totals& t) {
    ++t.folders;
    try {
        const auto items = folder.items();
        for (std::int32_t i = 1; i <= items->count(); ++i) {
            try {
                walkItem(*items->item(i), t, 0);
            } catch (const tvn::Failure&) {
                ++t.failures;
            }
        }
        const auto subs = folder.folders();
        for (std::int32_t i = 1; i <= subs->count(); ++i) {
            try {
                walkFolder(*subs->item(i), t);
            } catch (const tvn::Failure&) {
                ++t.failures;
            }
        }
    } catch (const tvn::Failure&) {
        ++t.failures;
    }
}

// The resident set split into anonymous memory (what the program allocated) and file
// pages (the mapped data file, which the kernel drops under pressure), where the system
// tells; empty elsewhere.
std::string residentSplit() {
    std::ifstream status("/proc/self/status");
    std::string line;
    std::string anon;
    std::string file;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0) {
            anon = line.substr(8);
        } else if (line.rfind("RssFile:", 0) == 0) {
            file = line.substr(8);
        }
    }
    if (anon.empty()) {
        return {};
    }
    const auto trim = [](std::string s) {
        s.erase(0, s.find_first_not_of(" \t"));
        return s;
    };
    return fmt::format("now: anonymous {}, file pages {}", trim(anon), trim(file));
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // kilobytes on Linux
}

std::string quoted(const fs::path& p) {
    std::string out = "'";
    for (const char c : p.string()) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs an export command `repeat` times into a fresh folder each time ({dir} in the
// arguments names the folder, {out} a path inside it); the mean seconds,
// or nothing when the tool is missing or fails.
std::optional<double> timeTool(const std::string& tool, const std::string& arguments, int repeat) {
    if (std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) != 0) {
        return std::nullopt;
    }
    std::random_device rd;
    double total = 0;
    for (int r = 0; r < repeat; ++r) {
        const fs::path dir = fs::temp_directory_path() / fmt::format("tvn-bench-{}", rd());
        fs::create_directories(dir);
        std::string args = arguments;
        for (auto at = args.find("{out}"); at != std::string::npos; at = args.find("{out}")) {
            args.replace(at, 5, quoted(dir / "out"));
        }
        for (auto at = args.find("{dir}"); at != std::string::npos; at = args.find("{dir}")) {
            args.replace(at, 5, quoted(dir));
        }
        const auto start = Clock::now();
        const int rc = std::system((tool + " " + args + " > /dev/null 2>&1").c_str());
        total += seconds(Clock::now() - start);
        std::error_code ec;
        fs::remove_all(dir, ec);
        if (rc != 0) {
            return std::nullopt;
        }
    }
    return total / repeat;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fmt::print(stderr, "usage: pst_walk_bench FILE [--repeat R] [--password P] [--no-tools]\n");
        return 2;
    }
    const fs::path file = argv[1];
    int repeat = 3;
    std::optional<std::string> password;
    bool tools = true;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--password" && i + 1 < argc) {
            password = argv[++i];
        } else if (arg == "--no-tools") {
            tools = false;
        } else {
            fmt::print(stderr, "pst_walk_bench: unknown argument {}\n", arg);
            return 2;
        }
    }

    std::uintmax_t fileSize = 0;
    try {
        fileSize = fs::file_size(file);
    } catch (const fs::filesystem_error& e) {
        fmt::print(stderr, "pst_walk_bench: {}\n", e.what());
        return 2;
    }

    Totals t;
    double elapsed = 0;
    double fastest = 1e300;
    for (int r = 0; r < repeat; ++r) {
        Totals run;
        const auto start = Clock::now();
        try {
            tvn::store::FixedPasswordPrompt prompt(password);
            const auto top = tvn::store::pst::openDataFile(file, &prompt);
            walkFolder(*top, run);
        } catch (const tvn::Failure& f) {
            fmt::print(stderr, "pst_walk_bench: {} [error {}]\n", f.description(), f.number());
            return 2;
        }
        const double s = seconds(Clock::now() - start);
        elapsed += s;
        fastest = std::min(fastest, s);
        t = run;
    }
    const double mean = elapsed / repeat;
    const double mb = static_cast<double>(fileSize) / 1e6;
    fmt::print("file            {} ({:.1f} MB)\n", file.string(), mb);
    fmt::print("walked          {} folders, {} items, {} properties, {} recipients, "
               "{} attachments ({:.1f} MB), {} failures\n",
               t.folders, t.items, t.properties, t.recipients, t.attachments,
               static_cast<double>(t.attachmentBytes) / 1e6, t.failures);
    fmt::print("repeats         {}; mean {:.3f} s, fastest {:.3f} s\n", repeat, mean, fastest);
    fmt::print("items/s         {:.0f}\n", static_cast<double>(t.items) / mean);
    fmt::print("file MB/s       {:.1f}\n", mb / mean);
    fmt::print("attachment MB/s {:.1f}\n", static_cast<double>(t.attachmentBytes) / 1e6 / mean);
    fmt::print("peak memory     {:.1f} MB (ru_maxrss, mapped file pages included)\n",
               static_cast<double>(peakKilobytes()) / 1024);
    if (const auto split = residentSplit(); !split.empty()) {
        fmt::print("resident        {}\n", split);
    }

    if (tools) {
        const auto pff = timeTool("pffexport", "-m items -f text -t {out} " + quoted(file), repeat);
        const auto lib = timeTool("readpst", "-D -8 -o {dir} " + quoted(file), repeat);
        const auto show = [&](const char* name, const std::optional<double>& s) {
            if (s) {
                fmt::print("{:<15} {:.3f} s per export ({:.1f}x our walk)\n", name, *s, *s / mean);
            } else {
                fmt::print("{:<15} not available or failed\n", name);
            }
        };
        show("pffexport", pff);
        show("readpst", lib);
    }
    return 0;
}

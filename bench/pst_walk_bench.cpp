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

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "bench/full_read.h"
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
    CLI::App program("Walks an Outlook data file as an archive run reads it and times it",
                     "pst_walk_bench");
    fs::path file;
    int repeat = 3;
    std::optional<std::string> password;
    bool noTools = false;
    program.add_option("FILE", file, "The .pst or .ost file")->required()->check(CLI::ExistingFile);
    program.add_option("--repeat", repeat, "How many walks to time")->check(CLI::PositiveNumber);
    program.add_option("--password", password, "The data file's password");
    program.add_flag("--no-tools", noTools, "Leave out pffexport and readpst");
    CLI11_PARSE(program, argc, argv);
    const bool tools = !noTools;

    std::uintmax_t fileSize = 0;
    try {
        fileSize = fs::file_size(file);
    } catch (const fs::filesystem_error& e) {
        fmt::print(stderr, "pst_walk_bench: {}\n", e.what());
        return 2;
    }

    tvn::bench::ReadTotals t;
    double elapsed = 0;
    double fastest = 1e300;
    for (int r = 0; r < repeat; ++r) {
        tvn::bench::FullRead run;
        const auto start = Clock::now();
        try {
            tvn::store::FixedPasswordPrompt prompt(password);
            const auto top = tvn::store::pst::openDataFile(file, &prompt);
            tvn::store::walkFolderTree(top, run);
        } catch (const tvn::Failure& f) {
            fmt::print(stderr, "pst_walk_bench: {} [error {}]\n", f.description(), f.number());
            return 2;
        }
        const double s = seconds(Clock::now() - start);
        elapsed += s;
        fastest = std::min(fastest, s);
        t = run.totals;
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
    fmt::print("peak memory     {:.1f} MB (ru_maxrss)\n",
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

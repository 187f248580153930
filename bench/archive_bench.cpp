// archive_bench [--file F]... [--synthetic N]... [--work DIR] [--cli PATH] [--mkpst PATH]
//               [--no-peers]
//
// Archives Outlook data files with `tallyvane-cli archive --all` and, in the same run,
// exports the same files with Debian's readpst and pffexport into fresh directories. For
// each program it prints the wall time, items per second, the data file's megabytes per
// second and the peak resident memory, and the ratio to the fastest peer. It also measures
// the floor: writing as many files of the same sizes as the archive holds, with no
// reading at all, on the same disk.
//
// --synthetic N writes a synthetic file of N mails (tallyvane-mkpst --synthetic) into the
// work directory first.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Measured {
    double seconds = 0;
    double peakMb = 0;
    int status = 0;
};

// Runs argv with stdout and stderr sent to logFile; the child's own peak resident memory
// comes from wait4.
Measured runProgram(const std::vector<std::string>& argv, const fs::path& logFile) {
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::FILE* log = std::fopen(logFile.c_str(), "w")) {
            ::dup2(::fileno(log), STDOUT_FILENO);
            ::dup2(::fileno(log), STDERR_FILENO);
        }
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Measured m;
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m;
}

// The files of an output tree: each one's path below the tree's root, and its size.
struct Tree {
    std::vector<std::pair<fs::path, std::uintmax_t>> files;
    std::vector<fs::path> directories;
    std::uintmax_t bytes = 0;
};

Tree filesBelow(const fs::path& dir) {
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const auto relative = entry.path().lexically_relative(dir);
        if (entry.is_directory()) {
            tree.directories.push_back(relative);
        } else if (entry.is_regular_file()) {
            tree.files.emplace_back(relative, entry.file_size());
            tree.bytes += entry.file_size();
        }
    }
    return tree;
}

// Writes the same tree again, files of the same names and sizes in the same directories,
// each with one open, one write and one close: what any archiver must at least pay for
// this output on this disk.
double writeFloor(const Tree& tree, const fs::path& dir) {
    const std::string block(std::size_t{1} << 20, 'x');
    const auto start = Clock::now();
    fs::create_directories(dir);
    for (const auto& sub : tree.directories) {
        fs::create_directories(dir / sub);
    }
    for (const auto& [path, size] : tree.files) {
        std::FILE* f = std::fopen((dir / path).c_str(), "wb");
        if (f == nullptr) {
            continue;
        }
        for (std::uintmax_t left = size; left > 0;) {
            const auto n = static_cast<std::size_t>(std::min<std::uintmax_t>(left, block.size()));
            std::fwrite(block.data(), 1, n, f);
            left -= n;
        }
        std::fclose(f);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool onPath(const std::string& program) {
    return runProgram({"sh", "-c", "command -v " + program}, "/dev/null").status == 0;
}

std::uint64_t itemsArchived(const fs::path& log) {
    std::ifstream in(log);
    std::string line;
    std::uint64_t items = 0;
    while (std::getline(in, line)) {
        unsigned long long n = 0;
        if (std::sscanf(line.c_str(), "%llu items in", &n) == 1) {
            items = n;
        }
    }
    return items;
}

void benchFile(const fs::path& file, const fs::path& work, const std::string& cli, bool peers) {
    const double mb = static_cast<double>(fs::file_size(file)) / 1e6;
    // Warm the page cache so that every program reads the same way.
    runProgram({"cat", file.string()}, "/dev/null");
    fmt::print("\n{} ({:.1f} MB)\n", file.filename().string(), mb);
    fmt::print("{:<28} {:>9} {:>10} {:>9} {:>10} {:>8}\n", "program", "seconds", "items/s", "MB/s",
               "peak MB", "ratio");

    struct Row {
        std::string name;
        Measured m;
    };
    std::vector<Row> rows;
    // Every output goes to a directory of its own, and none is removed before the whole
    // run ends: on ext4, files made right after many were deleted nearby pay for the
    // allocator's search past the recently freed inodes, which would favour whoever runs
    // later.
    const auto fresh = [&](const std::string& name) {
        const auto dir = work / (file.stem().string() + "-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
        return dir;
    };
    const auto ours = fresh("tallyvane");
    rows.push_back(
        {"tallyvane-cli archive --all",
         runProgram({cli, "archive", file.string(), "--all", "--quiet", "--root", ours.string()},
                    work / "tallyvane.log")});
    const std::uint64_t items = itemsArchived(work / "tallyvane.log");
    if (peers && onPath("readpst")) {
        rows.push_back(
            {"readpst -D -S -j 0", runProgram({"readpst", "-D", "-S", "-j", "0", "-q", "-o",
                                               fresh("readpst-S").string(), file.string()},
                                              work / "readpst-S.log")});
        rows.push_back({"readpst -D -8", runProgram({"readpst", "-D", "-8", "-q", "-o",
                                                     fresh("readpst-8").string(), file.string()},
                                                    work / "readpst-8.log")});
    }
    if (peers && onPath("pffexport")) {
        const auto out = fresh("pffexport");
        rows.push_back({"pffexport -m all -f text",
                        runProgram({"pffexport", "-q", "-m", "all", "-f", "text", "-t",
                                    (out / "export").string(), file.string()},
                                   work / "pffexport.log")});
    }
    const Tree tree = filesBelow(ours);
    const double floor = writeFloor(tree, fresh("floor"));

    double fastestPeer = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].name != "readpst -D -8" &&
            (fastestPeer == 0 || rows[i].m.seconds < fastestPeer)) {
            fastestPeer = rows[i].m.seconds;
        }
    }
    for (const auto& row : rows) {
        const double ratio = fastestPeer > 0 ? row.m.seconds / fastestPeer : 0;
        fmt::print("{:<28} {:>9.2f} {:>10.0f} {:>9.1f} {:>10.1f} {:>8.2f}{}\n", row.name,
                   row.m.seconds, static_cast<double>(items) / row.m.seconds, mb / row.m.seconds,
                   row.m.peakMb, ratio,
                   row.m.status == 0 ? "" : fmt::format("  (exit {})", row.m.status));
    }
    fmt::print("{:<28} {:>9.2f}   ({} files, {:.1f} MB written; ours is {:.2f}x the floor)\n",
               "floor: same files, no reading", floor, tree.files.size(),
               static_cast<double>(tree.bytes) / 1e6, rows[0].m.seconds / floor);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App program("Archive benchmark: tallyvane-cli against readpst and pffexport",
                     "archive_bench");
    std::vector<fs::path> files;
    std::vector<std::uint64_t> synthetic;
    fs::path work = fs::temp_directory_path() / "tallyvane-archive-bench";
    const fs::path self = fs::canonical("/proc/self/exe").parent_path();
    std::string cli = (self.parent_path() / "cli" / "tallyvane-cli").string();
    std::string mkpst = (self.parent_path() / "tools" / "tallyvane-mkpst").string();
    bool noPeers = false;
    program.add_option("--file", files, "A data file to archive (repeatable)")
        ->check(CLI::ExistingFile);
    program.add_option("--synthetic", synthetic, "Write and archive a synthetic file of N mails");
    program.add_option("--work", work, "Where the outputs go (emptied after each program)");
    program.add_option("--cli", cli, "The tallyvane-cli to measure");
    program.add_option("--mkpst", mkpst, "The tallyvane-mkpst that writes synthetic files");
    program.add_flag("--no-peers", noPeers, "Leave out readpst and pffexport");
    CLI11_PARSE(program, argc, argv);

    fs::create_directories(work);
    for (const auto n : synthetic) {
        const auto path = work / fmt::format("synthetic-{}.pst", n);
        if (!fs::exists(path)) {
            const auto m = runProgram({mkpst, "--synthetic", std::to_string(n), path.string()},
                                      work / "mkpst.log");
            if (m.status != 0) {
                fmt::print(stderr, "tallyvane-mkpst failed; see {}\n",
                           (work / "mkpst.log").string());
                return 1;
            }
        }
        files.push_back(path);
    }
    if (files.empty()) {
        fmt::print(stderr, "name a --file or a --synthetic count\n");
        return 2;
    }
    for (const auto& file : files) {
        benchFile(file, work, cli, !noPeers);
    }
    for (const auto& file : files) {
        for (const auto& name : {"tallyvane", "readpst-S", "readpst-8", "pffexport", "floor"}) {
            fs::remove_all(work / (file.stem().string() + "-" + name));
        }
    }
    return 0;
}

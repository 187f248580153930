// pst_memory_bench FILE... [--limit-mb M]
//
// The resident memory of a full walk of each data file: every folder, item, object-model
// property, recipient, attachment (its bytes read into a null sink) and embedded message,
// as an archive run reads them. Each file is walked in a child process of its own, so the
// figure is the walk's peak resident set (the kernel's high-water mark of the child)
// and nothing else. Prints the peak and the walk's time per file; with --limit-mb, exits
// with status 1 when any walk's peak exceeds M megabytes.
//
// Large files for it: tallyvane-mkpst --synthetic 10000 /tmp/big.pst (about 1 GB).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <fmt/format.h>

#include "bench/full_read.h"
#include "store/failure.h"
#include "store/pst/backend/item_properties.h"
#include "store/pst/backend/pst_objects.h"
#include "store/pst/pst_file.h"

namespace {

// The child: walks the file and writes one line of results to `out`.
int walkInChild(const char* file, int out) {
    const auto start = std::chrono::steady_clock::now();
    tvn::bench::FullRead read;
    const auto& c = read.totals;
    try {
        const auto top = tvn::store::pst::openDataFile(file, nullptr);
        tvn::store::walkFolderTree(top, read);
    } catch (const tvn::Failure& f) {
        const std::string line = fmt::format("error {} {}\n", f.number(), f.description());
        (void)!::write(out, line.data(), line.size());
        return 2;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string line = fmt::format("ok {:.3f} {} {} {} {}\n", seconds, c.folders, c.items,
                                         static_cast<double>(c.attachmentBytes) / 1e6, c.failures);
    (void)!::write(out, line.data(), line.size());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<const char*> files;
    double limitMb = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--limit-mb" && i + 1 < argc) {
            limitMb = std::atof(argv[++i]);
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        fmt::print(stderr, "usage: pst_memory_bench FILE... [--limit-mb M]\n");
        return 2;
    }
    int status = 0;
    fmt::print("{:<40} {:>10} {:>9} {:>8} {:>8} {:>10} {:>8}\n", "file", "peak MB", "walk s",
               "folders", "items", "attach MB", "failures");
    for (const char* file : files) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            return 2;
        }
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            ::_exit(walkInChild(file, pipeFds[1]));
        }
        ::close(pipeFds[1]);
        std::string line;
        char buffer[512];
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
            line.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
        int childStatus = 0;
        rusage usage{};
        ::wait4(child, &childStatus, 0, &usage);
        const double peakMb = static_cast<double>(usage.ru_maxrss) / 1024; // kB on Linux
        if (line.rfind("ok ", 0) != 0) {
            fmt::print("{:<40} failed: {}", file, line.empty() ? "no result\n" : line);
            status = 2;
            continue;
        }
        double seconds = 0;
        unsigned long long folders = 0;
        unsigned long long items = 0;
        double attachMb = 0;
        unsigned long long failures = 0;
        std::sscanf(line.c_str(), "ok %lf %llu %llu %lf %llu", &seconds, &folders, &items,
                    &attachMb, &failures);
        fmt::print("{:<40} {:>10.1f} {:>9.3f} {:>8} {:>8} {:>10.1f} {:>8}\n", file, peakMb, seconds,
                   folders, items, attachMb, failures);
        if (limitMb > 0 && peakMb > limitMb && status == 0) {
            status = 1;
        }
    }
    if (limitMb > 0) {
        fmt::print("limit {:.0f} MB: {}\n", limitMb, status == 1 ? "EXCEEDED" : "kept");
    }
    return status;
}

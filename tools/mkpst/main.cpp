// tallyvane-mkpst: writes a .pst file from a JSON description, or a large synthetic one.
//
//   tallyvane-mkpst DESCRIPTION.json OUT.pst
//   tallyvane-mkpst --synthetic N [--seed S] [--format unicode|ansi]
//                   [--encryption none|compressible|high] OUT.pst

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "store/failure.h"
#include "tools/pstwriter/description.h"
#include "tools/pstwriter/synthetic.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: tallyvane-mkpst DESCRIPTION.json OUT.pst\n"
                         "       tallyvane-mkpst --synthetic N [--seed S] [--format unicode|ansi]\n"
                         "                       [--encryption none|compressible|high] OUT.pst\n");
    return 2;
}

bool parseCount(std::string_view s, std::uint64_t& out) {
    if (s.empty() || s.size() > 18) {
        return false;
    }
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        out = out * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tvn::tools;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0].substr(0, 2) != "--") {
            writeDescription(loadDescription(std::string(args[0])), std::string(args[1]));
            return 0;
        }
        std::uint64_t count = 0;
        std::uint64_t seed = 1;
        bool synthetic = false;
        StoreOptions options;
        std::string out;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const bool hasValue = i + 1 < args.size();
            if (args[i] == "--synthetic" && hasValue) {
                synthetic = parseCount(args[++i], count);
                if (!synthetic) {
                    return usage();
                }
            } else if (args[i] == "--seed" && hasValue) {
                if (!parseCount(args[++i], seed)) {
                    return usage();
                }
            } else if (args[i] == "--format" && hasValue) {
                const auto f = args[++i];
                if (f != "unicode" && f != "ansi") {
                    return usage();
                }
                options.format = f == "ansi" ? FileFormat::Ansi : FileFormat::Unicode;
            } else if (args[i] == "--encryption" && hasValue) {
                const auto e = args[++i];
                if (e == "none") {
                    options.crypt = CryptMethod::None;
                } else if (e == "compressible") {
                    options.crypt = CryptMethod::Compressible;
                } else if (e == "high") {
                    options.crypt = CryptMethod::High;
                } else {
                    return usage();
                }
            } else if (out.empty() && args[i].substr(0, 2) != "--") {
                out = args[i];
            } else {
                return usage();
            }
        }
        if (!synthetic || out.empty()) {
            return usage();
        }
        const auto t0 = std::chrono::steady_clock::now();
        const SyntheticStats s = writeSynthetic(out, count, seed, options);
        const double secs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%s: %llu mails, %llu other items, %llu attachments, %llu folders, "
                    "%.1f MB in %.2f s (%.0f MB/s)\n",
                    out.c_str(), static_cast<unsigned long long>(s.mails),
                    static_cast<unsigned long long>(s.otherItems),
                    static_cast<unsigned long long>(s.attachments),
                    static_cast<unsigned long long>(s.folders), static_cast<double>(s.bytes) / 1e6,
                    secs, secs > 0 ? static_cast<double>(s.bytes) / 1e6 / secs : 0.0);
        return 0;
    } catch (const tvn::Failure& f) {
        std::fprintf(stderr, "tallyvane-mkpst: %s\n", f.description().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tallyvane-mkpst: %s\n", e.what());
        return 1;
    }
}

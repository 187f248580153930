// tallyvane-mkpst: writes a .pst file from a JSON description, or a large synthetic one.
//
//   tallyvane-mkpst DESCRIPTION.json OUT.pst
//   tallyvane-mkpst --synthetic N [--seed S] [--format unicode|ansi]
//                   [--encryption none|compressible|high] OUT.pst

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "store/failure.h"
#include "tools/pstwriter/description.h"
#include "tools/pstwriter/synthetic.h"

namespace {

using namespace tvn::tools;

void writeSyntheticFile(const std::filesystem::path& out, std::uint64_t count, std::uint64_t seed,
                        const StoreOptions& options) {
    const auto t0 = std::chrono::steady_clock::now();
    const SyntheticStats s = writeSynthetic(out, count, seed, options);
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%s: %llu mails, %llu other items, %llu attachments, %llu folders, "
                "%.1f MB in %.2f s (%.0f MB/s)\n",
                out.string().c_str(), static_cast<unsigned long long>(s.mails),
                static_cast<unsigned long long>(s.otherItems),
                static_cast<unsigned long long>(s.attachments),
                static_cast<unsigned long long>(s.folders), static_cast<double>(s.bytes) / 1e6,
                secs, secs > 0 ? static_cast<double>(s.bytes) / 1e6 / secs : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App program("Writes a .pst file from a JSON description (DESCRIPTION.json OUT.pst), "
                     "or a large synthetic one (--synthetic N OUT.pst)",
                     "tallyvane-mkpst");
    std::vector<std::filesystem::path> paths;
    std::optional<std::uint64_t> count;
    std::uint64_t seed = 1;
    StoreOptions options;
    program.add_option("PATHS", paths, "DESCRIPTION.json OUT.pst, or OUT.pst with --synthetic")
        ->required()
        ->expected(1, 2);
    program.add_option("--synthetic", count, "Write a synthetic file of N mails");
    program.add_option("--seed", seed, "The synthetic file's seed")->needs("--synthetic");
    program.add_option("--format", options.format, "unicode or ansi")
        ->transform(CLI::CheckedTransformer(std::map<std::string, FileFormat>{
            {"unicode", FileFormat::Unicode}, {"ansi", FileFormat::Ansi}}))
        ->needs("--synthetic");
    program.add_option("--encryption", options.crypt, "none, compressible or high")
        ->transform(CLI::CheckedTransformer(
            std::map<std::string, CryptMethod>{{"none", CryptMethod::None},
                                               {"compressible", CryptMethod::Compressible},
                                               {"high", CryptMethod::High}}))
        ->needs("--synthetic");
    try {
        program.parse(argc, argv);
        if (count) {
            if (paths.size() != 1) {
                throw CLI::ValidationError("--synthetic takes one output file");
            }
            writeSyntheticFile(paths[0], *count, seed, options);
        } else if (paths.size() == 2) {
            writeDescription(loadDescription(paths[0].string()), paths[1].string());
        } else {
            throw CLI::ValidationError("a description and an output file are needed");
        }
        return 0;
    } catch (const CLI::Error& e) {
        return program.exit(e) == 0 ? 0 : 2;
    } catch (const tvn::Failure& f) {
        std::fprintf(stderr, "tallyvane-mkpst: %s\n", f.description().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tallyvane-mkpst: %s\n", e.what());
        return 1;
    }
}

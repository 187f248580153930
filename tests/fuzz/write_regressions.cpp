// write_fuzz_regressions DIR: writes the crafted data files of tests/store/hostile_files.h
// into DIR. tests/fuzz/regressions holds its output; run it again there when a new way of
// attacking the reader is added to writeRegressionInputs().

#include <cstdio>
#include <filesystem>

#include "tests/store/hostile_files.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_fuzz_regressions DIR\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    tvn::store::pst::test_support::writeRegressionInputs(argv[1]);
    return 0;
}

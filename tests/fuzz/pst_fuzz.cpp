// libFuzzer target for the .pst/.ost reader: the input is a whole data file, read through
// every layer (readWholeFile in tests/store/pst_reader_support.h). Regression inputs:
// tests/fuzz/regressions/*.pst, also replayed by the store tests under the ordinary build.

#include <cstddef>
#include <cstdint>
#include <span>

#include "tests/store/pst_reader_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)tvn::store::pst::test_support::readWholeFile(std::span<const std::uint8_t>(data, size));
    return 0;
}

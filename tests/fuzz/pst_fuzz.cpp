// libFuzzer target for the .pst/.ost reader: the input is a whole data file, read through
// every layer (see pst_fuzz_walk.h). Regression inputs: tests/fuzz/regressions/*.pst, also
// replayed by the store tests under the ordinary build.

#include <cstddef>
#include <cstdint>
#include <span>

#include "tests/fuzz/pst_fuzz_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tvn::store::pst::fuzz::readWholeFile(std::span<const std::uint8_t>(data, size));
    return 0;
}

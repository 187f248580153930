// libFuzzer target for the body decoders, fed with bytes directly (whole-file fuzzing
// rarely gets a mutated body past the structures around it): the input is decompressed as
// compressed RTF, and it and the result are read as RTF and as HTML. The decoders report
// damage in their results and never throw; anything thrown, and any memory error, is a
// finding.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "store/pst/body/html_text.h"
#include "store/pst/body/lzfu.h"
#include "store/pst/body/rtf_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tvn::store::pst::body;
    const std::span<const std::uint8_t> bytes(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const auto rtf = decompressRtf(bytes);
    if (rtf.ok()) {
        (void)rtfToText(rtf.rtf);
    }
    (void)extractRtf(text);
    (void)rtfToText(text);
    (void)htmlToText(text);
    (void)declaredCodePage(bytes);
    return 0;
}

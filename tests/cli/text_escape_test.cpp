#include <gtest/gtest.h>

#include "cli/text_escape.h"

namespace {

using tvn::cli::escapeControls;

TEST(EscapeControls, ShowsEveryControlCharacterAndKeepsTheRest) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"Inbox", "Inbox"},
        {"a\tb\nc\rd", "a\\tb\\nc\\rd"},
        {std::string("x\x1b[2Jy"), "x\\x1b[2Jy"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9b"
         "31m",
         "csi\\u009b31m"},
        {"caf\xc3\xa9 \xc2\xa0"
         "back\\slash",
         "caf\xc3\xa9 \xc2\xa0"
         "back\\slash"},
        {"cut\xc2", "cut\xc2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeControls(c.in), c.out) << c.out;
    }
}

} // namespace

// Names in the command line's text output: control characters escaped, so that a name
// can neither forge rows nor reach the terminal.

#include <algorithm>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "cli/list_command.h"
#include "cli/text_escape.h"
#include "cli/tree_command.h"
#include "tests/archive/temp_folder.h"
#include "tests/store/hostile_files.h"

namespace {

using tvn::cli::escapeControls;

TEST(EscapeControls, ShowsEveryControlCharacterAndKeepsTheRest) {
    const std::pair<std::string, std::string> cases[] = {
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
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(escapeControls(in), out) << out;
    }
}

// A folder whose name would forge rows of a listing and reach the terminal.
TEST(EscapeControls, ForgedNamesStayOnTheirOwnLineInListAndTree) {
    const tvn::archive::testing::TempFolder dir;
    const auto file = dir / "forged.pst";
    const std::string forged = "Inbox\t3\t999\n\x1b]0;owned\x07\x1b[2J";
    tvn::store::pst::test_support::writeCraftedFile(file, {{"top", {1}, 0}, {forged, {}, 1}});
    const std::string shown = "Inbox\\t3\\t999\\n\\x1b]0;owned\\x07\\x1b[2J";

    std::ostringstream listOut;
    std::ostringstream treeOut;
    std::ostringstream err;
    EXPECT_EQ(tvn::cli::runListCommand({file, std::nullopt}, listOut, err), 0) << err.str();
    EXPECT_EQ(listOut.str(), shown + "\t0\t1\n");
    EXPECT_EQ(tvn::cli::runTreeCommand({file, false, std::nullopt}, treeOut, err), 0) << err.str();
    const std::string tree = treeOut.str();
    EXPECT_NE(tree.find("\n  " + shown + "  [IPF.Note]"), std::string::npos) << tree;
    EXPECT_EQ(std::count(tree.begin(), tree.end(), '\n'), 2) << tree;
    EXPECT_EQ(tree.find('\x1b'), std::string::npos);
}

} // namespace

#pragma once

// Names in the command line's text output come from data files and may hold any
// character. A tab or a line break in a folder name would forge the rows of a listing, and
// an escape character would reach the terminal, so control characters are shown escaped.

#include <string>
#include <string_view>

namespace tvn::cli {

// `text` (UTF-8) with its control characters written out: \t \n \r as such, the other C0
// controls and DEL as \xHH, the C1 controls (U+0080..U+009F) as \u00HH. Everything else,
// backslashes included, is kept as it is.
std::string escapeControls(std::string_view text);

} // namespace tvn::cli

#pragma once

// How the archive turns an item's own text into file and directory names, and dates into
// text: the name cleaner, the subject cut, the date stamps of the item files and the
// general date text of their contents.

#include <cstddef>
#include <string>
#include <string_view>

#include "store/variant.h"

namespace tvn::archive {

// The text with every byte that is one of `taken` removed; nothing else changes.
std::string withoutAny(std::string_view text, std::string_view taken);

// Removes every backslash, slash, colon, asterisk, question mark, angle bracket, vertical
// bar and double quote. Nothing else changes: full stops, blanks and control characters
// stay.
std::string CleanName(std::string_view text);

// A cleaned subject longer than 40 characters keeps its first 39. Characters, not bytes,
// are counted, so a cut never splits one.
std::string cutSubject(std::string_view cleaned);

// CleanName, then cutSubject.
std::string cleanSubject(std::string_view subject);

// The number of characters of UTF-8 text (malformed bytes count one each).
std::size_t characterCount(std::string_view utf8);

// "Unknown Sender" when the cleaned sender name is empty.
inline constexpr std::string_view kUnknownSender = "Unknown Sender";

// The date stamps that begin item file names:
//   mail:             2003-11-05_090702
//   calendar, notes:  2003-11-05 09.07.02
//   tasks:            2003-11-05
std::string mailStamp(const store::DateTime& when);
std::string reportStamp(const store::DateTime& when);
std::string taskStamp(const store::DateTime& when);

// The general date text of the US English locale: "11/5/2003 9:07:02 AM"; the time is
// left out at midnight ("11/5/2003").
std::string generalDate(const store::DateTime& when);
// The short date alone: "11/5/2003".
std::string shortDate(const store::DateTime& when);
// The long time alone: "9:07:02 AM".
std::string longTime(const store::DateTime& when);

// The current local date and time.
store::DateTime now();

// A folder's name as the name of its directory: the name as it is, except that a path
// separator becomes "_" and a name that would not name a directory of its own ("", ".",
// "..") gets a "_" in front. No directory can so be made outside its parent.
std::string directoryName(std::string_view folderName);

} // namespace tvn::archive

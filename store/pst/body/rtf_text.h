#pragma once

// Plain text from an RTF body (after decompression, see lzfu.h). RTF that a mail program
// generated from another format says so: \fromhtml1 wraps the original HTML, \fromtext the
// original plain text. The original is what the reader wants, so it is recovered: the HTML
// inside \*\htmltag destinations and between them (leaving out what \htmlrtf marks as
// RTF-only), or the text.
//
// Handled: groups, \uN with its \ucN fallback count, \'hh bytes decoded with the document's
// code page (\ansicpg, or the code page of the current font's \fcharset/\cpg), \par \line
// \tab \cell \row and the typographic symbols; destinations without text (font, colour
// and style tables, document information, pictures, field instructions, headers and
// footers, and every unknown \* destination) are skipped. \binN data is skipped.
// Malformed input never fails: unbalanced braces and cut-off escapes end or close what
// they can. Group nesting deeper than a fixed limit is flattened, so a hostile stream costs
// no more memory than its length.

#include <string>
#include <string_view>

namespace tvn::store::pst::body {

enum class RtfOrigin { Rtf, Text, Html };

struct RtfContent {
    RtfOrigin origin = RtfOrigin::Rtf;
    // Rtf and Text: the document's text. Html: the encapsulated HTML. UTF-8 either way.
    std::string text;
};

RtfContent extractRtf(std::string_view rtf);

// The plain text of an RTF body: the text, or for encapsulated HTML its htmlToText.
std::string rtfToText(std::string_view rtf);

} // namespace tvn::store::pst::body

#pragma once

// Plain text from an HTML body, for messages that store no plain-text body: the text a
// browser would show, without markup. Tags, comments, the document head, scripts and style
// sheets are dropped; character references are decoded; runs of white space collapse to
// one space as a browser collapses them (except inside <pre>); block elements (paragraphs,
// divisions, headings, list items, table rows) start a new line and <br> breaks one.
// Table cells on one row are separated by a tab. As Outlook's own plain text does, an
// image shows its alternative text, a link is followed by its target in angle brackets,
// and a horizontal rule is a line of underscores. Lines end in CRLF and lose trailing
// blanks.

#include <string>
#include <string_view>

namespace tvn::store::pst::text {

// html is UTF-8 (decode the body's bytes with its code page first). The result is at most
// a small multiple of the input's length, whatever the input.
std::string htmlToText(std::string_view html);

} // namespace tvn::store::pst::text

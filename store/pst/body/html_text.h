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

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tvn::store::pst::body {

// html is UTF-8 (decode the body's bytes with its code page first). The result is at most
// a small multiple of the input's length, whatever the input.
std::string htmlToText(std::string_view html);

// The code page the HTML bytes declare for themselves (<meta charset=...> or the
// Content-Type of <meta http-equiv>), looked for in the first 4 KiB; 0 when they declare
// none that is known.
std::uint32_t declaredCodePage(std::span<const std::uint8_t> html);

} // namespace tvn::store::pst::body

#pragma once

// Reads an Outlook .msg file into its document form (msg_document.h): properties,
// recipients, attachments and embedded messages to kMaxNesting levels, and the names of
// its named properties. 8-bit strings are turned into Unicode with the message's code page.
// Attachment data stays in the file and is read when it is written elsewhere.

#include <memory>

#include "store/msg/cfb_reader.h"
#include "store/msg/msg_document.h"

namespace tvn::store::msg {

// Throws tvn::Failure (err::kCorruptData) when the file is damaged or nests deeper than
// kMaxNesting; the document keeps `cfb` alive for its attachment data.
MsgDocument readMsg(std::shared_ptr<const CfbReader> cfb);

} // namespace tvn::store::msg

#pragma once

// Writes a message as an Outlook .msg file: a compound file whose root storage holds the
// property stream, a stream per variable-size property, a storage per recipient and per
// attachment (an embedded message in a storage of its attachment, to any depth) and the
// named-property mapping.

#include "store/msg/cfb_reader.h"
#include "store/msg/cfb_writer.h"
#include "store/msg/msg_document.h"

namespace tvn::store::msg {

// The compound-file tree of `document`. Streams of large values keep their producers, so
// the tree must not outlive the sources those producers read from.
CfbStorage buildMsgTree(const MsgDocument& document);

// Adds storage `id` of `from` and everything below it to `to`; the streams are read from
// `from` when the tree is written.
void copyStorage(CfbStorage& to, const std::shared_ptr<const CfbReader>& from, std::uint32_t id);

// Writes `document` as a .msg file to `sink`.
CfbWriteResult writeMsg(const MsgDocument& document, ByteSink& sink, const CfbLimits& limits = {});
// The same for a message inside a document (an embedded one), with the document's names.
CfbWriteResult writeMsg(const MsgMessage& message, const std::vector<PropertyName>& names,
                        ByteSink& sink, const CfbLimits& limits = {});

} // namespace tvn::store::msg

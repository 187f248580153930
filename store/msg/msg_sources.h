#pragma once

// The .msg form (msg_document.h) of a message from one of the program's sources: a message
// of a .pst/.ost file with every property it has, or an item of any object-model backend
// with the properties the object model names.
//
// Everything but attachment data is read here, so that a damaged message fails before a
// byte of its .msg file is written; attachment data is read again when the file is
// written, a block at a time.

#include <memory>

#include "store/msg/msg_document.h"
#include "store/object_model.h"
#include "store/pst/messaging/message.h"

namespace tvn::store::msg {

// The message with its properties, recipients and attachments, embedded messages to any
// depth up to kMaxNesting. Named properties the file's map does not name are left out.
// Throws tvn::Failure (err::kCorruptData) for damage and for deeper nesting.
MsgDocument documentFromPst(std::shared_ptr<const pst::messaging::MessageObject> message);

// The item's subject, body, sender, dates, class, importance and sensitivity, its
// recipients and its attachments (embedded items to the same depth). Whatever the item
// throws is passed on.
MsgDocument documentFromItem(const Item& item);

} // namespace tvn::store::msg

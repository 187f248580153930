// libFuzzer target for the .msg reader: the input is a whole .msg file. It is read through
// the compound-file reader and the .msg reader, then through the object model (every known
// property, recipient and attachment, embedded messages to any depth the reader allows),
// and written back as a .msg file. Damage must end in tvn::Failure; anything else is a
// finding.

#include <cstdint>
#include <vector>

#include "store/failure.h"
#include "store/msg/cfb_reader.h"
#include "store/msg/msg_objects.h"
#include "store/msg/msg_reader.h"
#include "store/msg/msg_writer.h"
#include "store/object_model.h"
#include "store/property_names.h"

namespace {

using namespace tvn::store;

class NullSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t>) override {}
};

void walkItem(const Item& item) {
    (void)item.messageClass();
    static const auto names = knownPropertyNames();
    for (const auto name : names) {
        try {
            (void)item.get(name);
        } catch (const tvn::Failure&) {
        }
    }
    const auto recipients = item.recipients();
    for (std::int32_t i = 1; i <= recipients->count(); ++i) {
        const auto r = recipients->item(i);
        (void)r->name();
        (void)r->address();
        (void)r->type();
    }
    const auto attachments = item.attachments();
    for (std::int32_t i = 1; i <= attachments->count(); ++i) {
        const auto a = attachments->item(i);
        (void)a->fileName();
        (void)a->displayName();
        try {
            NullSink sink;
            a->writeTo(sink);
        } catch (const tvn::Failure&) {
        }
        if (const auto embedded = a->embeddedItem()) {
            walkItem(*embedded);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        auto cfb = std::make_shared<const msg::CfbReader>(
            msg::memorySource(std::vector<std::uint8_t>(data, data + size)));
        auto doc = std::make_shared<const msg::MsgDocument>(msg::readMsg(cfb));
        walkItem(*msg::makeMsgItem(doc, &doc->message));
        NullSink sink;
        msg::writeMsg(*doc, sink);
    } catch (const tvn::Failure&) {
    }
    return 0;
}

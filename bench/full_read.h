#pragma once

// Reads a whole data file the way an archive run reads it, through the one folder walk:
// every folder, every item, every object-model property of every item, every recipient,
// every attachment's bytes (into a sink that keeps nothing) and every embedded message.
// The walk and memory benchmarks both measure this.

#include <cstdint>
#include <memory>
#include <span>

#include "store/failure.h"
#include "store/object_model.h"
#include "store/pst/backend/item_properties.h"
#include "store/walk.h"

namespace tvn::bench {

struct ReadTotals {
    std::uint64_t folders = 0;
    std::uint64_t items = 0;
    std::uint64_t properties = 0;
    std::uint64_t recipients = 0;
    std::uint64_t attachments = 0;
    std::uint64_t attachmentBytes = 0;
    std::uint64_t textBytes = 0;
    std::uint64_t failures = 0;
};

class FullRead final : public store::FolderVisitor {
public:
    bool enterFolder(const std::shared_ptr<store::Folder>&, std::size_t) override {
        ++totals.folders;
        return true;
    }
    void visitItem(const std::shared_ptr<store::Item>& item, std::int32_t) override {
        if (item) {
            readItem(*item, 0);
        }
    }
    void failed(const Failure&, store::WalkStep, std::int32_t) override { ++totals.failures; }

    ReadTotals totals;

private:
    class CountingSink final : public store::ByteSink {
    public:
        void write(std::span<const std::uint8_t> bytes) override { count += bytes.size(); }
        std::uint64_t count = 0;
    };

    void readItem(const store::Item& item, int depth) {
        ++totals.items;
        static const auto names = store::pst::backend::mappedPropertyNames();
        for (const auto name : names) {
            try {
                const auto v = item.get(name);
                ++totals.properties;
                if (v.kind() == store::Variant::Kind::Text) {
                    totals.textBytes += v.text().size();
                }
            } catch (const Failure&) {
                ++totals.failures;
            }
        }
        try {
            const auto r = item.recipients();
            for (std::int32_t i = 1; i <= r->count(); ++i) {
                const auto rec = r->item(i);
                totals.textBytes += rec->name().size() + rec->address().size();
                ++totals.recipients;
            }
        } catch (const Failure&) {
            ++totals.failures;
        }
        try {
            const auto a = item.attachments();
            for (std::int32_t i = 1; i <= a->count(); ++i) {
                const auto att = a->item(i);
                ++totals.attachments;
                totals.textBytes += att->fileName().size();
                if (const auto inner = att->embeddedItem()) {
                    if (depth < 8) {
                        readItem(*inner, depth + 1);
                    }
                } else {
                    CountingSink sink;
                    att->writeTo(sink);
                    totals.attachmentBytes += sink.count;
                }
            }
        } catch (const Failure&) {
            ++totals.failures;
        }
    }
};

} // namespace tvn::bench

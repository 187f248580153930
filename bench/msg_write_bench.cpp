// msg_write_bench [MEGABYTES] [--version4]
//
// Writes a .msg file holding one attachment of MEGABYTES (default 100) to a null sink, the
// attachment's bytes produced 64 KiB at a time as a data file hands them over. Reports
// megabytes per second and the peak resident memory, which stays far below the
// attachment's size because the writer streams it.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

#include <fmt/format.h>

#include "store/msg/msg_writer.h"

namespace {

using namespace tvn::store;
using Clock = std::chrono::steady_clock;

class NullSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t> bytes) override { total += bytes.size(); }
    std::uint64_t total = 0;
};

long peakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

msg::MsgDocument documentWith(std::uint64_t size) {
    msg::MsgDocument doc;
    msg::MsgAttachment att;
    msg::MsgProperty data;
    data.tag = 0x37010102;
    data.size = size;
    data.producer = [size](ByteSink& sink) {
        std::vector<std::uint8_t> block(64 * 1024);
        for (std::uint64_t done = 0; done < size;) {
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - done));
            block[0] = static_cast<std::uint8_t>(done >> 16);
            sink.write(std::span(block).first(n));
            done += n;
        }
    };
    att.properties.push_back(std::move(data));
    doc.message.attachments.push_back(std::move(att));
    return doc;
}

} // namespace

int main(int argc, char** argv) {
    std::uint64_t megabytes = 100;
    bool version4 = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--version4") {
            version4 = true;
        } else {
            megabytes = std::strtoull(argv[i], nullptr, 10);
        }
    }
    const std::uint64_t size = megabytes << 20;
    const auto doc = documentWith(size);
    msg::CfbLimits limits;
    if (version4) {
        limits.version3MaxFileSize = 0; // every file takes the 4096-byte sectors
    }
    NullSink sink;
    const auto start = Clock::now();
    const auto result = msg::writeMsg(doc, sink, limits);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    fmt::print("wrote {} MB in {:.3f} s ({:.0f} MB/s), {}-byte sectors, file {} bytes\n", megabytes,
               seconds, static_cast<double>(megabytes) / seconds, result.sectorSize,
               result.fileSize);
    fmt::print("peak resident memory: {} MB\n", peakMb());
    return 0;
}

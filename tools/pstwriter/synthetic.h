#pragma once

// A large, realistic data file for benchmarks, the same for the same seed: mail spread over
// nested mail folders (subjects, senders, recipients, bodies of varied length, about one in
// ten with attachments of up to a few MB, a few embedded messages), plus calendar, task,
// note and contacts folders. Items are generated and written one at a time, so memory does
// not grow with the item count beyond the writer's B-tree entries.

#include <cstdint>
#include <filesystem>

#include "tools/pstwriter/pst_writer.h"

namespace tvn::tools {

struct SyntheticStats {
    std::uint64_t mails = 0;
    std::uint64_t otherItems = 0;
    std::uint64_t attachments = 0;
    std::uint64_t folders = 0;
    std::uint64_t bytes = 0;
};

SyntheticStats writeSynthetic(const std::filesystem::path& path, std::uint64_t mailCount,
                              std::uint64_t seed, StoreOptions options = {});

} // namespace tvn::tools

#pragma once

// Positioned reads of a whole range of an open file, as the data-file readers need them.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unistd.h>

namespace tvn::store {

// Reads out.size() bytes of fd from offset on, going on after interrupted and short reads.
// Returns how many bytes were read: fewer only at the end of the file, or at an error whose
// errno is left in `error` (0 at the end of the file).
inline std::size_t readFully(int fd, std::uint64_t offset, std::span<std::uint8_t> out,
                             int& error) {
    error = 0;
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got =
            ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

} // namespace tvn::store

#include "app/folder_listing.h"

#include <cstdint>

namespace tvn::app {

bool isListable(const store::Folder& folder) {
    // The type is compared as a 16-bit number, so a value that only differs from 4 above
    // 16 bits counts as a journal too.
    const auto type = static_cast<std::int32_t>(folder.defaultItemType());
    return static_cast<std::int16_t>(type) != static_cast<std::int16_t>(store::ItemType::Journal);
}

} // namespace tvn::app

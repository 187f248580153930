#include "store/object_model.h"

#include "store/failure.h"

namespace tvn::store {

std::size_t collectionPosition(std::int32_t i, std::size_t count) {
    if (i < 1 || static_cast<std::size_t>(i) > count) {
        throw Failure(err::kSubscriptOutOfRange, "Array index out of bounds.");
    }
    return static_cast<std::size_t>(i - 1);
}

std::shared_ptr<Folder> Folders::item(std::string_view name) const {
    const std::int32_t n = count();
    for (std::int32_t i = 1; i <= n; ++i) {
        auto folder = item(i);
        if (folder->name() == name) {
            return folder;
        }
    }
    throw Failure(err::kNotFound, "The folder \"" + std::string(name) + "\" does not exist.");
}

} // namespace tvn::store

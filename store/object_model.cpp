#include "store/object_model.h"

#include "store/failure.h"

namespace tvn::store {

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

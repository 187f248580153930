#include "store/pst/pst_file.h"

#include <system_error>

#include "store/failure.h"
#include "store/pst/backend/pst_objects.h"
#include "store/pst/messaging/folder.h"
#include "store/pst/messaging/message_store.h"

namespace tvn::store::pst {

namespace {

void checkAccess(const messaging::MessageStore& store, const std::filesystem::path& path,
                 PasswordPrompt* prompt) {
    if (store.passwordCrc() == 0) {
        return;
    }
    const std::string refused = "The data file \"" + path.string() +
                                "\" is protected by a password, and access was not granted.";
    if (prompt == nullptr) {
        throw Failure(err::kAccessRefused, refused, path.string());
    }
    const auto password = prompt->askPassword(path);
    if (!password || !store.checkPassword(*password)) {
        throw Failure(err::kAccessRefused, refused, path.string());
    }
}

} // namespace

std::shared_ptr<Folder> openDataFile(const std::filesystem::path& path, PasswordPrompt* prompt) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (ec) {
        // The path could not even be looked at (a folder on the way that may not be
        // searched, a loop of links): not a missing file.
        throw Failure(ec == std::errc::permission_denied ? err::kPermissionDenied
                                                         : err::kPathFileAccess,
                      "Cannot open " + path.string() + ": " + ec.message(), path.string());
    }
    if (!exists) {
        throw Failure(err::kFileNotFound, "File not found: " + path.string(), path.string());
    }
    std::shared_ptr<const messaging::MessageStore> store;
    try {
        store = messaging::MessageStore::open(path);
    } catch (const Failure& f) {
        throw Failure(f.number(), f.description(), path.string());
    } catch (const std::exception& e) {
        throw Failure(err::kCorruptStore, std::string("not an Outlook data file: ") + e.what(),
                      path.string());
    }
    checkAccess(*store, path, prompt);

    std::shared_ptr<const messaging::FolderObject> top;
    try {
        top = std::make_shared<const messaging::FolderObject>(store, store->ipmSubtree());
    } catch (const Failure& f) {
        throw Failure(err::kCorruptStore, "the top folder cannot be read: " + f.description(),
                      path.string());
    } catch (const std::exception& e) {
        throw Failure(err::kCorruptStore, std::string("the top folder cannot be read: ") + e.what(),
                      path.string());
    }
    // The top folder carries the store's name, as Outlook shows it. A store without one
    // (offline files) is shown by its file's name: the folder's own name there is an
    // internal one ("IPM_SUBTREE").
    std::string name = store->displayName();
    if (name.empty()) {
        name = path.stem().string();
    }
    // Every folder of the file shares one record of which folder holds which subfolder,
    // with this top folder held by none.
    auto claims = std::make_shared<backend::FolderClaims>(top->nid());
    return std::make_shared<backend::PstFolder>(std::move(top), std::move(name),
                                                std::vector<ndb::NodeId>{}, std::move(claims));
}

std::optional<DataFileFacts> dataFileFacts(const Folder& folder) {
    const auto* pst = dynamic_cast<const backend::PstFolder*>(&folder);
    if (pst == nullptr) {
        return std::nullopt;
    }
    const auto& store = *pst->object().store();
    DataFileFacts facts;
    facts.storeName = store.displayName();
    facts.format = std::string(ndb::formatName(store.header().format));
    facts.encryption = std::string(ndb::encryptionName(store.header().crypt));
    facts.offline = store.header().offlineClient;
    facts.fileSize = store.database()->fileSize();
    return facts;
}

std::optional<std::string> containerClass(const Folder& folder) {
    const auto* pst = dynamic_cast<const backend::PstFolder*>(&folder);
    if (pst == nullptr) {
        return std::nullopt;
    }
    return pst->object().containerClass();
}

std::map<std::string, std::int64_t> messageClassCounts(const Folder& folder) {
    std::map<std::string, std::int64_t> counts;
    const auto* pst = dynamic_cast<const backend::PstFolder*>(&folder);
    const auto items = folder.items();
    const std::int32_t n = items->count();
    for (std::int32_t i = 1; i <= n; ++i) {
        std::optional<std::string> cls;
        if (pst != nullptr) {
            try {
                cls = pst->object().itemClass(static_cast<std::size_t>(i - 1));
            } catch (const std::exception&) {
                cls.reset();
            }
        }
        if (!cls) {
            try {
                cls = items->item(i)->messageClass();
            } catch (const std::exception&) {
                cls = std::string();
            }
        }
        ++counts[*cls];
    }
    return counts;
}

} // namespace tvn::store::pst

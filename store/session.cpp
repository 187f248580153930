#include "store/session.h"

#include <algorithm>

#include "store/failure.h"

namespace tvn::store {

namespace {

class TopFolders final : public Folders {
public:
    explicit TopFolders(std::vector<std::shared_ptr<Folder>> tops) : m_tops(std::move(tops)) {}
    std::int32_t count() const override { return static_cast<std::int32_t>(m_tops.size()); }
    std::shared_ptr<Folder> item(std::int32_t i) const override {
        return m_tops[collectionPosition(i, m_tops.size())];
    }
    using Folders::item;

private:
    std::vector<std::shared_ptr<Folder>> m_tops;
};

} // namespace

class Session::Space final : public NameSpace {
public:
    std::shared_ptr<Folders> folders() const override {
        // A snapshot: a collection handed out stays as it was when files open or close.
        return std::make_shared<TopFolders>(tops);
    }
    std::shared_ptr<Folder> pickFolder() override {
        return picker ? picker->pickFolder() : nullptr;
    }

    std::vector<std::shared_ptr<Folder>> tops;
    FolderPicker* picker = nullptr;
};

Session::Session() : m_space(std::make_shared<Space>()) {}
Session::~Session() = default;

std::shared_ptr<NameSpace> Session::getNamespace(std::string_view type) {
    if (type != "MAPI") {
        throw Failure(err::kInvalidProcedureCall, "Invalid procedure call or argument");
    }
    return m_space;
}

void Session::addDataFile(std::shared_ptr<Folder> topFolder) {
    m_space->tops.push_back(std::move(topFolder));
}

void Session::removeDataFile(const std::shared_ptr<Folder>& topFolder) {
    auto& tops = m_space->tops;
    tops.erase(std::remove(tops.begin(), tops.end(), topFolder), tops.end());
}

const std::vector<std::shared_ptr<Folder>>& Session::dataFiles() const {
    return m_space->tops;
}

void Session::setFolderPicker(FolderPicker* picker) {
    m_space->picker = picker;
}
void Session::setPasswordPrompt(PasswordPrompt* prompt) {
    m_prompt = prompt;
}
PasswordPrompt* Session::passwordPrompt() const {
    return m_prompt;
}

} // namespace tvn::store

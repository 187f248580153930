#pragma once

// The application object of the program: one namespace holding the open data files, the
// folder picker the user interface installed, and the password prompt that backends ask
// when a protected file is opened. Backends open files; the session only keeps them.

#include <memory>
#include <vector>

#include "store/object_model.h"

namespace tvn::store {

class Session final : public Application {
public:
    Session();
    ~Session() override;

    std::shared_ptr<NameSpace> getNamespace(std::string_view type) override;

    // Adds a data file, seen through its top folder, after the ones already open.
    void addDataFile(std::shared_ptr<Folder> topFolder);
    // Closes the data file whose top folder this is; nothing when it is not open.
    void removeDataFile(const std::shared_ptr<Folder>& topFolder);
    const std::vector<std::shared_ptr<Folder>>& dataFiles() const;

    // Neither is owned; each must outlive its use by the session (nullptr: none).
    void setFolderPicker(FolderPicker* picker);
    void setPasswordPrompt(PasswordPrompt* prompt);
    PasswordPrompt* passwordPrompt() const;

private:
    class Space;
    std::shared_ptr<Space> m_space;
    PasswordPrompt* m_prompt = nullptr;
};

} // namespace tvn::store

#pragma once

// A password prompt with one fixed answer: the command line's password file, the benchmark
// and tests hand it to the reader in place of a dialog.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "store/object_model.h"

namespace tvn::store {

// A prompt that always gives the same answer (the command line's password file, tests).
class FixedPasswordPrompt final : public PasswordPrompt {
public:
    explicit FixedPasswordPrompt(std::optional<std::string> password)
        : m_password(std::move(password)) {}
    std::optional<std::string> askPassword(const std::filesystem::path&) override {
        ++m_asked;
        return m_password;
    }
    // How often a backend asked (an unprotected file asks nothing).
    int asked() const { return m_asked; }

private:
    std::optional<std::string> m_password;
    int m_asked = 0;
};

} // namespace tvn::store

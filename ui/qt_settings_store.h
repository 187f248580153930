#pragma once

// The per-user settings store on QSettings. Sections are QSettings groups and keys are
// stored as given; every value is text. Only QtCore is used, so the command line may link
// this too.
//
// Writes go to the file at once (sync after each set), so a crash later in the program
// loses nothing already stored. When the file cannot be written, values set during this
// program run are still returned by get() until the store is destroyed; QSettings keeps
// them in its cache.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <QSettings>

#include "archive/settings_store.h"

namespace tvn::ui {

class QtSettingsStore final : public archive::SettingsStore {
public:
    // The user's own store: organisation and application "Tallyvane", the platform's
    // native format (the registry on Windows, an .ini-style file elsewhere).
    QtSettingsStore();
    // A store kept in the given .ini file (created on the first set); tests use this so
    // that they never touch the user's settings.
    explicit QtSettingsStore(const std::filesystem::path& iniFile);
    ~QtSettingsStore() override;

    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    std::string get(std::string_view section, std::string_view key,
                    std::string_view defaultValue = {}) const override;
    void set(std::string_view section, std::string_view key, std::string_view value) override;

    // Where the settings live: a file path, or the registry path on Windows.
    std::string location() const;
    // False once a write could not be stored (a read-only file or directory).
    bool writable() const;

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace tvn::ui

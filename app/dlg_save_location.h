#pragma once

// The archive-location dialog's model (dlgSaveLocation): the archive root last confirmed
// with OK since the program started. The dialog's drive and directory lists, its path box
// and its buttons are shown by the ui and handled here.

#include <filesystem>
#include <string>

#include "archive/settings_store.h"

namespace tvn::app {

class DlgSaveLocation {
public:
    // defaultRoot: what getPath gives until a location is confirmed ("c:\Tallyvane" on
    // Windows, $HOME/Tallyvane elsewhere).
    DlgSaveLocation(archive::SettingsStore& settings, std::filesystem::path defaultRoot)
        : m_settings(settings), m_default(std::move(defaultRoot)) {}

    // The root a run writes to: the location last confirmed with OK since the program
    // started, otherwise the default. Shows nothing and reads no setting.
    std::filesystem::path getPath() const {
        return strSavePath.empty() ? m_default : std::filesystem::path(strSavePath);
    }

    // The location last confirmed with OK since the program started; empty until then.
    std::string strSavePath;

    archive::SettingsStore& settings() { return m_settings; }

private:
    archive::SettingsStore& m_settings;
    std::filesystem::path m_default;
};

} // namespace tvn::app

#pragma once

// The per-user settings store: (section, key) -> text, under the application name
// "Tallyvane". The desktop program keeps it in QSettings (ui/); tests and the command line
// without a profile use MemorySettingsStore. Numbers are stored as their decimal text; the
// reader converts them.

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace tvn::archive {

// The application name every setting is stored under.
inline constexpr std::string_view kSettingsApplication = "Tallyvane";

// Every section and key the program uses, with the defaults its readers pass.
namespace settings {
inline constexpr std::string_view kFilePathSection = "FilePathSettings";
// The archive root last confirmed in the archive-location dialog; default empty.
inline constexpr std::string_view kSaveFilePath = "Save File Path";

inline constexpr std::string_view kProgBarSection = "ProgBarSettings";
// The progress window's place and size, in twips.
inline constexpr std::string_view kMainLeft = "MainLeft";
inline constexpr std::string_view kMainTop = "MainTop";
inline constexpr std::string_view kMainWidth = "MainWidth";
inline constexpr std::string_view kMainHeight = "MainHeight";
inline constexpr std::string_view kDefaultMainLeft = "3285";
inline constexpr std::string_view kDefaultMainTop = "4275";
inline constexpr std::string_view kDefaultMainWidth = "3450";
inline constexpr std::string_view kDefaultMainHeight = "1455";

inline constexpr std::string_view kSettingsSection = "Settings";
// The archive root at the time of writing; written by the mail and contact writers, never
// read.
inline constexpr std::string_view kErrorFilePath = "Error File Path";
} // namespace settings

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The stored text, or defaultValue when the key is absent.
    virtual std::string get(std::string_view section, std::string_view key,
                            std::string_view defaultValue = {}) const = 0;
    virtual void set(std::string_view section, std::string_view key, std::string_view value) = 0;
};

// A store held in memory for the lifetime of the object (tests, runs without a profile).
class MemorySettingsStore final : public SettingsStore {
public:
    std::string get(std::string_view section, std::string_view key,
                    std::string_view defaultValue = {}) const override {
        const auto found = m_values.find(std::pair<std::string, std::string>(section, key));
        return found == m_values.end() ? std::string(defaultValue) : found->second;
    }

    void set(std::string_view section, std::string_view key, std::string_view value) override {
        m_values[std::pair<std::string, std::string>(section, key)] = std::string(value);
    }

private:
    std::map<std::pair<std::string, std::string>, std::string> m_values;
};

} // namespace tvn::archive

#include <gtest/gtest.h>

#include "archive/settings_store.h"

namespace tvn::archive {
namespace {

TEST(MemorySettingsStore, AbsentKeysGiveTheCallersDefault) {
    MemorySettingsStore store;
    EXPECT_EQ(store.get(settings::kFilePathSection, settings::kSaveFilePath), "");
    EXPECT_EQ(store.get(settings::kProgBarSection, settings::kMainLeft, settings::kDefaultMainLeft),
              "3285");
}

TEST(MemorySettingsStore, ValuesAreKeptPerSectionAndKeyAndReplaced) {
    MemorySettingsStore store;
    SettingsStore& s = store;
    s.set(settings::kFilePathSection, settings::kSaveFilePath, "/home/a/Tallyvane");
    s.set(settings::kSettingsSection, settings::kErrorFilePath, "/other");
    s.set(settings::kFilePathSection, settings::kSaveFilePath, "/home/a/Archive");
    EXPECT_EQ(s.get(settings::kFilePathSection, settings::kSaveFilePath, "x"), "/home/a/Archive");
    EXPECT_EQ(s.get(settings::kSettingsSection, settings::kErrorFilePath), "/other");
    // The same key in another section is another setting.
    EXPECT_EQ(s.get(settings::kSettingsSection, settings::kSaveFilePath, "none"), "none");
    // An empty stored value is a value, not an absent key.
    s.set(settings::kProgBarSection, settings::kMainTop, "");
    EXPECT_EQ(s.get(settings::kProgBarSection, settings::kMainTop, settings::kDefaultMainTop), "");
}

} // namespace
} // namespace tvn::archive

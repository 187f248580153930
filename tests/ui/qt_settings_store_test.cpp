#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include "archive/settings_store.h"
#include "ui/qt_settings_store.h"

namespace tvn::ui {
namespace {

namespace keys = archive::settings;

class QtSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    std::filesystem::path iniPath() const {
        return std::filesystem::path(m_dir.filePath(QStringLiteral("Tallyvane.ini")).toStdString());
    }
    QTemporaryDir m_dir;
};

TEST_F(QtSettingsStoreTest, AbsentKeysGiveTheCallersDefault) {
    QtSettingsStore store(iniPath());
    EXPECT_EQ(store.get(keys::kFilePathSection, keys::kSaveFilePath), "");
    EXPECT_EQ(store.get(keys::kProgBarSection, keys::kMainLeft, keys::kDefaultMainLeft), "3285");
    // Nothing read creates the file: a user who only looks changes nothing on disk.
    EXPECT_FALSE(std::filesystem::exists(iniPath()));
}

// Values the program stores, and values an .ini file mangles unless they are written as
// text: separators, leading '@' (QSettings' own type marker), commas, quotes, non-ASCII
// characters and surrounding blanks.
TEST_F(QtSettingsStoreTest, EveryValueComesBackAsTheSameTextInAFreshStore) {
    struct Case {
        std::string_view section;
        std::string_view key;
        std::string value;
    };
    const Case cases[] = {
        {keys::kFilePathSection, keys::kSaveFilePath, "/home/ann/Tallyvane"},
        {keys::kFilePathSection, keys::kSaveFilePath, "c:\\Tallyvane\\Old mail"},
        {keys::kProgBarSection, keys::kMainLeft, "3285"},
        {keys::kProgBarSection, keys::kMainWidth, "3450.5"},
        {keys::kSettingsSection, keys::kErrorFilePath, "@Variant(oops)"},
        {keys::kSettingsSection, keys::kErrorFilePath, "a, b, c"},
        {keys::kSettingsSection, keys::kErrorFilePath, "\"quoted\"; semi = equals"},
        {keys::kSettingsSection, keys::kErrorFilePath, "Zürich \xE2\x80\x94 Mail"},
        {keys::kSettingsSection, keys::kErrorFilePath, "  padded  "},
        {keys::kSettingsSection, keys::kErrorFilePath, ""},
        {"DataFiles", "File1", "/data/pst files/Outlook #2.pst"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        {
            QtSettingsStore writer(iniPath());
            writer.set(c.section, c.key, c.value);
            EXPECT_EQ(writer.get(c.section, c.key, "default"), c.value);
        }
        QtSettingsStore reader(iniPath());
        EXPECT_EQ(reader.get(c.section, c.key, "default"), c.value);
    }
}

// The same key in two sections is two settings; sections are QSettings groups, so the
// file reads as [FilePathSettings] / Save File Path=... for anyone who opens it.
TEST_F(QtSettingsStoreTest, SectionsAreGroupsOfTheirOwn) {
    {
        QtSettingsStore store(iniPath());
        store.set("A", "Key", "one");
        store.set("B", "Key", "two");
        store.set(keys::kFilePathSection, keys::kSaveFilePath, "/srv/archive");
    }
    QtSettingsStore store(iniPath());
    EXPECT_EQ(store.get("A", "Key"), "one");
    EXPECT_EQ(store.get("B", "Key"), "two");

    QSettings raw(QString::fromStdString(iniPath().string()), QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("FilePathSettings"));
    EXPECT_EQ(raw.value(QStringLiteral("Save File Path")).toString().toStdString(), "/srv/archive");
}

// A set reaches the file at once, so that a crash later in the program (or another
// process reading the store, like the command line) loses nothing.
TEST_F(QtSettingsStoreTest, SetIsOnDiskBeforeTheStoreIsDestroyed) {
    QtSettingsStore store(iniPath());
    store.set(keys::kProgBarSection, keys::kMainTop, "4275");
    QtSettingsStore other(iniPath());
    EXPECT_EQ(other.get(keys::kProgBarSection, keys::kMainTop), "4275");
    EXPECT_TRUE(store.writable());
}

// A value a user typed into the file without quotes and with a comma is read by QSettings
// as a list; the store gives back the text as written.
TEST_F(QtSettingsStoreTest, HandEditedListValueReadsAsItsText) {
    QFile file(QString::fromStdString(iniPath().string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[FilePathSettings]\nSave%20File%20Path=/a, /b\n");
    file.close();
    QtSettingsStore store(iniPath());
    EXPECT_EQ(store.get(keys::kFilePathSection, keys::kSaveFilePath), "/a, /b");
}

TEST_F(QtSettingsStoreTest, DamagedFileGivesDefaultsAndNoCrash) {
    QFile file(QString::fromStdString(iniPath().string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    static constexpr char kDamaged[] = "\x00\xff[[[\n=\n[ProgBarSettings\nMainLeft\n";
    file.write(kDamaged, sizeof kDamaged - 1);
    file.close();
    QtSettingsStore store(iniPath());
    EXPECT_EQ(store.get(keys::kProgBarSection, keys::kMainHeight, keys::kDefaultMainHeight),
              "1455");
}

} // namespace
} // namespace tvn::ui

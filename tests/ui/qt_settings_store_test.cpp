#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "archive/settings_store.h"
#include "ui/qt_settings_store.h"

namespace tvn::ui {
namespace {

namespace keys = archive::settings;

class QtSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void writeIni(const std::string& bytes) const {
        std::ofstream(m_ini, std::ios::binary) << bytes;
    }
    QTemporaryDir m_dir;
    const std::filesystem::path m_ini =
        m_dir.filePath(QStringLiteral("Tallyvane.ini")).toStdString();
};

// Values the program stores, and values an .ini file mangles unless they are written as
// text: separators, leading '@' (QSettings' own type marker), commas, quotes, non-ASCII
// characters and surrounding blanks. A set reaches the file at once, so that a crash later
// (or another process reading the store, like the command line) loses nothing.
TEST_F(QtSettingsStoreTest, EveryValueComesBackAsTheSameTextInAnotherStore) {
    for (const std::string value :
         {"/home/ann/Tallyvane", "c:\\Tallyvane\\Old mail", "3450.5", "@Variant(oops)", "a, b, c",
          "\"quoted\"; semi = equals", "Z\xC3\xBCrich \xE2\x80\x94 Mail", "  padded  ", "",
          "/data/pst files/Outlook #2.pst"}) {
        QtSettingsStore writer(m_ini);
        writer.set(keys::kSettingsSection, keys::kErrorFilePath, value);
        EXPECT_TRUE(writer.writable());
        EXPECT_EQ(QtSettingsStore(m_ini).get(keys::kSettingsSection, keys::kErrorFilePath, "-"),
                  value);
    }
    // Sections are QSettings groups, so the file reads as [FilePathSettings] / Save File
    // Path=... for anyone who opens it, and settings files written before still read.
    QtSettingsStore store(m_ini);
    store.set(keys::kFilePathSection, keys::kSaveFilePath, "/srv/archive");
    QSettings raw(QString::fromStdString(m_ini.string()), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("FilePathSettings/Save File Path")).toString().toStdString(),
              "/srv/archive");
}

// A value typed into the file with a comma and no quotes (QSettings reads it as a list)
// gives back its text; a damaged file gives defaults and no crash.
TEST_F(QtSettingsStoreTest, HandEditedAndDamagedFilesAreRead) {
    writeIni("[FilePathSettings]\nSave%20File%20Path=/a, /b\n");
    EXPECT_EQ(QtSettingsStore(m_ini).get(keys::kFilePathSection, keys::kSaveFilePath), "/a, /b");
    writeIni(std::string("\x00\xff[[[\n=\n[ProgBarSettings\nMainLeft\n", 34));
    EXPECT_EQ(QtSettingsStore(m_ini).get(keys::kProgBarSection, keys::kMainHeight, "1455"), "1455");
}

} // namespace
} // namespace tvn::ui

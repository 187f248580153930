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
    void writeIni(const std::string& bytes) const {
        QFile file(QString::fromStdString(iniPath().string()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    QTemporaryDir m_dir;
};

// Values the program stores, and values an .ini file mangles unless they are written as
// text: separators, leading '@' (QSettings' own type marker), commas, quotes, non-ASCII
// characters and surrounding blanks. A set reaches the file at once, so that a crash later
// (or another process reading the store, like the command line) loses nothing.
TEST_F(QtSettingsStoreTest, EveryValueComesBackAsTheSameTextInAnotherStore) {
    {
        QtSettingsStore store(iniPath());
        EXPECT_EQ(store.get(keys::kProgBarSection, keys::kMainLeft, keys::kDefaultMainLeft),
                  "3285");
        // Nothing read creates the file: a user who only looks changes nothing on disk.
        EXPECT_FALSE(std::filesystem::exists(iniPath()));
    }
    const std::string values[] = {"/home/ann/Tallyvane",
                                  "c:\\Tallyvane\\Old mail",
                                  "3450.5",
                                  "@Variant(oops)",
                                  "a, b, c",
                                  "\"quoted\"; semi = equals",
                                  "Z\xC3\xBCrich \xE2\x80\x94 Mail",
                                  "  padded  ",
                                  "",
                                  "/data/pst files/Outlook #2.pst"};
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        QtSettingsStore writer(iniPath());
        writer.set(keys::kSettingsSection, keys::kErrorFilePath, value);
        EXPECT_TRUE(writer.writable());
        QtSettingsStore reader(iniPath());
        EXPECT_EQ(reader.get(keys::kSettingsSection, keys::kErrorFilePath, "default"), value);
    }
    // The same key in two sections is two settings; sections are QSettings groups, so the
    // file reads as [FilePathSettings] / Save File Path=... for anyone who opens it.
    QtSettingsStore store(iniPath());
    store.set("A", "Key", "one");
    store.set(keys::kFilePathSection, keys::kSaveFilePath, "/srv/archive");
    EXPECT_EQ(store.get("B", "Key", "none"), "none");
    QSettings raw(QString::fromStdString(iniPath().string()), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("FilePathSettings/Save File Path")).toString().toStdString(),
              "/srv/archive");
}

// A value typed into the file with a comma and no quotes (QSettings reads it as a list)
// gives back its text; a damaged file gives defaults and no crash.
TEST_F(QtSettingsStoreTest, HandEditedAndDamagedFilesAreRead) {
    writeIni("[FilePathSettings]\nSave%20File%20Path=/a, /b\n");
    EXPECT_EQ(QtSettingsStore(iniPath()).get(keys::kFilePathSection, keys::kSaveFilePath),
              "/a, /b");
    writeIni(std::string("\x00\xff[[[\n=\n[ProgBarSettings\nMainLeft\n", 34));
    EXPECT_EQ(QtSettingsStore(iniPath()).get(keys::kProgBarSection, keys::kMainHeight,
                                             keys::kDefaultMainHeight),
              "1455");
}

} // namespace
} // namespace tvn::ui

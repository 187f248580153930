#include "ui/qt_settings_store.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include "ui/qt_text.h"

namespace tvn::ui {

namespace {

// "Section/Key". QSettings reads a '/' or '\' inside a key as a group separator; none of
// the program's keys holds one, so they are passed on as they are.
QString settingsKey(std::string_view section, std::string_view key) {
    if (section.empty()) {
        return toQString(key);
    }
    return toQString(section) + QLatin1Char('/') + toQString(key);
}

} // namespace

QtSettingsStore::QtSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             toQString(archive::kSettingsApplication),
                                             toQString(archive::kSettingsApplication))) {}

QtSettingsStore::QtSettingsStore(const std::filesystem::path& iniFile)
    : m_settings(std::make_unique<QSettings>(fromPath(iniFile), QSettings::IniFormat)) {}

QtSettingsStore::~QtSettingsStore() = default;

std::string QtSettingsStore::get(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    const QVariant value = m_settings->value(settingsKey(section, key));
    if (!value.isValid()) {
        return std::string(defaultValue);
    }
    // An .ini file edited by hand may hold an unquoted "a, b", which QSettings reads as a
    // list; the text the user wrote is what the program stored, so it is joined again.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    }
    return value.toString().toStdString();
}

void QtSettingsStore::set(std::string_view section, std::string_view key, std::string_view value) {
    m_settings->setValue(settingsKey(section, key), toQString(value));
    m_settings->sync();
}

std::string QtSettingsStore::location() const {
    return m_settings->fileName().toStdString();
}

bool QtSettingsStore::writable() const {
    return m_settings->isWritable() && m_settings->status() == QSettings::NoError;
}

} // namespace tvn::ui

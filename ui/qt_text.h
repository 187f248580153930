#pragma once

// Conversions between the program's text (UTF-8 std::string, std::filesystem::path) and
// Qt's QString. QtCore only, header-only, so the settings adapter can use it too.
//
// File names go through Qt's own file-name codec (QFile::encodeName/decodeName), so a name
// holding bytes that are not UTF-8 on Linux comes back to the same bytes and is never
// rejected by a conversion that throws.

#include <filesystem>
#include <string>
#include <string_view>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace tvn::ui {

inline QString toQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string toUtf8(const QString& text) {
    return text.toStdString();
}

inline QString fromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

inline std::filesystem::path toPath(const QString& text) {
#ifdef _WIN32
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

} // namespace tvn::ui

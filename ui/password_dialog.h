#pragma once

// The password prompt a backend asks when it opens a protected data file: a small dialog
// naming the file, with the typed characters hidden.

#include <filesystem>
#include <optional>
#include <string>

#include <QFontMetrics>
#include <QPointer>
#include <QWidget>

#include "store/object_model.h"

namespace tvn::ui {

class PasswordDialog final : public store::PasswordPrompt {
public:
    explicit PasswordDialog(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParent(QWidget* parent) { m_parent = parent; }

    // Blocks until the user answers. Cancel gives nothing; OK gives the text typed, which
    // may be empty (a file may have an empty password).
    std::optional<std::string> askPassword(const std::filesystem::path& file) override;

    // The dialog's prompt for a file, its path shortened in the middle to at most
    // pathWidth pixels of metrics (a 260-character path would make the dialog wider than
    // the screen); the whole path is the dialog's tooltip.
    static QString promptText(const std::filesystem::path& file, const QFontMetrics& metrics,
                              int pathWidth);

    // How wide the path in the prompt may be, in pixels.
    static constexpr int kPathWidth = 420;

private:
    QPointer<QWidget> m_parent;
};

} // namespace tvn::ui

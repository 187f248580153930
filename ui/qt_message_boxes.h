#pragma once

// Message boxes with an OK button only, as every model of the program shows them.

#include <string_view>

#include <QPointer>
#include <QWidget>

#include "archive/error_messages.h"

namespace tvn::ui {

class QtMessageBoxes final : public archive::MessageBoxes {
public:
    // parent: the window the boxes are centred on and modal to; may be null, and may go
    // away before this object (it is held as a guarded pointer).
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParent(QWidget* parent) { m_parent = parent; }

    // Blocks until the user presses OK.
    void show(std::string_view text, archive::MessageIcon icon, std::string_view title) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace tvn::ui

#pragma once

// frmAbout: the title, the version, what the program is for, its picture, OK, and System
// Info, which starts a system-information program of this system when there is one.

#include <QDialog>

#include "app/help_and_about.h"
#include "app/main_view.h"
#include "archive/error_messages.h"

namespace tvn::ui {

// Starts a program detached from this one (QProcess).
class QtProgramStarter final : public app::ProgramStarter {
public:
    bool start(const std::filesystem::path& program) override;
};

class AboutBox final : public QDialog {
    Q_OBJECT
public:
    // Neither reference is owned; both must outlive the box.
    AboutBox(archive::MessageBoxes& boxes, app::ProgramStarter& starter, QWidget* parent = nullptr);

    // cmdSysInfo: looks on the PATH of this process.
    void StartSysInfo();

private:
    archive::MessageBoxes& m_boxes;
    app::ProgramStarter& m_starter;
};

// Shows the About box modal over parent.
class AboutOpener final : public app::WindowOpener {
public:
    AboutOpener(archive::MessageBoxes& boxes, QWidget* parent) : m_boxes(boxes), m_parent(parent) {}
    void open() override;

private:
    archive::MessageBoxes& m_boxes;
    QWidget* m_parent;
    QtProgramStarter m_starter;
};

} // namespace tvn::ui

// Create: the archive run as the window drives it.

#include <chrono>

#include "app/frm_main.h"
#include "app/object_not_set.h"
#include "archive/names.h"

namespace tvn::app {

namespace {

// Lets the window repaint now and then while a run keeps the one thread busy: often
// enough that it never looks hung, seldom enough that painting costs nothing measurable.
class RepaintingProgress final : public archive::RunProgress {
public:
    explicit RepaintingProgress(MainWindowView& view) : m_view(view) {}
    void folderStarted(const archive::FolderAccount&) override { repaint(); }
    void itemDone(const archive::FolderAccount&) override {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last >= std::chrono::milliseconds(100)) {
            repaint();
        }
    }

private:
    void repaint() {
        m_last = std::chrono::steady_clock::now();
        m_view.repaint();
    }
    MainWindowView& m_view;
    std::chrono::steady_clock::time_point m_last{};
};

} // namespace

const std::vector<std::string_view>& FrmMain::runCommands() {
    static const std::vector<std::string_view> commands = {
        "btnCreate",      "btnGetPST",   "btnClearAll",      "btnSelect1",
        "btnSelectAll",   "btnRemove1",  "btnRemoveAll",     "mnuClearAll",
        "mnuCreateFiles", "mnuFileOpen", "mnuGetFolderList", "mnuTools"};
    return commands;
}

void FrmMain::btnCreate_Click() {
    m_reporter.boolPermission = true;
    archive::ErrorTrap trap(m_reporter, std::string(kCreateInfo), std::string(kCreateSubject));
    bool firstPass = true;
    std::string dateLine;
    trap.step([&] { dateLine = noErrorsLine(archive::generalDate(archive::now())); });
    trap.step([&] { m_runFiles.emplace(); });
    trap.step([&] { m_archiveRoot = m_saveLocation.getPath(); });
    trap.step([&] { m_rootFiles.emplace(); });
    rootAndLog(trap);
    if (m_archiveList.empty()) {
        trap.step([&] {
            m_boxes.show(message::kNoFoldersSelected, archive::MessageIcon::None,
                         archive::kApplicationTitle);
        });
        return;
    }

    trap.step([&] { m_view.setHourglass(true); });
    for (const auto command : runCommands()) {
        trap.step([&] { m_view.setCommandEnabled(command, false); });
    }
    const int count = m_archiveList.count();
    if (m_progress != nullptr) {
        trap.step([&] { m_progress->setMinimum(0); });
        trap.step([&] { m_progress->setMaximum(count); });
        trap.step([&] { m_progress->showModeless(); });
        trap.step([&] { m_progress->activate(); });
        trap.step([&] { m_progress->setVisible(true); });
        trap.step([&] { m_progress->setValue(1); });
    }

    RepaintingProgress repainting(m_view);
    archive::RunContext run(m_archiveRoot, m_reporter, m_settings, need(m_runFiles).encoding(),
                            &repainting);
    std::vector<std::shared_ptr<store::Folder>> archived;
    const FolderResolver resolve = [this](const std::string& text) {
        return GetFolderObject(text);
    };
    for (int i = 0;; ++i) {
        if (m_progress != nullptr) {
            trap.step([&] { m_progress->setValue(i); });
        }
        if (i >= m_archiveList.count()) {
            break;
        }
        if (firstPass) {
            run.CreateFolder(m_archiveRoot);
            firstPass = false;
        }
        ArchiveEntry entry;
        trap.step([&] { entry = {m_archiveList.text(i), m_archiveList.folder(i)}; });
        archiveEntry(run, trap, entry, resolve, archived);
        trap.step([&] { m_view.repaint(); });
    }

    trap.step([&] { m_view.setHourglass(false); });
    if (m_progress != nullptr) {
        trap.step([&] { m_progress->setVisible(false); });
    }
    if (m_reporter.boolError) {
        m_reporter.boolError = false;
        trap.step([&] {
            m_boxes.show(std::string(message::kErrorsEncountered) +
                             archive::pathToUtf8(m_openLogPath.empty() ? m_logPath : m_openLogPath),
                         archive::MessageIcon::Information, archive::kApplicationTitle);
        });
    } else {
        trap.step([&] {
            if (auto& log = m_reporter.log()) {
                log->WriteLine(dateLine);
                log->WriteBlankLines(2);
            }
        });
    }
    trap.step([&] { m_view.activate(); });
    if (m_reporter.boolPermission) {
        trap.step([&] {
            m_boxes.show(message::kFilesCreated, archive::MessageIcon::None,
                         archive::kApplicationTitle);
        });
    } else {
        trap.step([&] {
            m_boxes.show(message::kNoFilesCreated, archive::MessageIcon::Information,
                         archive::kApplicationTitle);
        });
        m_reporter.boolPermission = true;
    }
    for (const auto command : runCommands()) {
        trap.step([&] { m_view.setCommandEnabled(command, true); });
    }
}

} // namespace tvn::app

#include "app/frm_main.h"

#include <cstdlib>
#include <functional>
#include <utility>

#include <fmt/format.h>

#include "app/folder_listing.h"
#include "app/object_not_set.h"
#include "store/failure.h"

#ifndef TALLYVANE_VERSION_TEXT
#error "TALLYVANE_VERSION_TEXT (major.minor) comes from the project version in CMake"
#endif

namespace tvn::app {

namespace {

// Walks the subfolders of parent in collection order, calling visit for each. Reading the
// collection is one step (when it fails nothing is walked); fetching each folder is one step (when
// it fails that folder is skipped). visit returns false to end the walk.
void walkFolders(archive::ErrorTrap& trap, const std::shared_ptr<store::Folder>& parent,
                 const std::function<bool(const std::shared_ptr<store::Folder>&)>& visit) {
    std::shared_ptr<store::Folders> folders;
    std::int32_t count = 0;
    if (!trap.step([&] {
            folders = need(parent).folders();
            count = need(folders).count();
        })) {
        return;
    }
    for (std::int32_t i = 1; i <= count; ++i) {
        std::shared_ptr<store::Folder> folder;
        if (!trap.step([&] { folder = folders->item(i); }) || !folder) {
            continue;
        }
        if (!visit(folder)) {
            return;
        }
    }
}

// The open data file's top folder that was picked. Data files often share a display name
// ("Personal Folders"); looking the pick up by name alone would list, and later archive, the
// first file of that name instead of the one the user chose. A pick that is no top folder
// itself resolves by name, as before.
std::shared_ptr<store::Folder> topFolderNamed(store::Session& session,
                                              const std::shared_ptr<store::Folder>& picked,
                                              const std::string& name) {
    const auto tops = session.getNamespace("MAPI")->folders();
    const std::int32_t count = tops->count();
    for (std::int32_t i = 1; i <= count; ++i) {
        if (auto top = tops->item(i); top == picked) {
            return top;
        }
    }
    return tops->item(name);
}

} // namespace

std::string applicationCaption() {
    return fmt::format("{} {}", archive::kApplicationTitle, TALLYVANE_VERSION_TEXT);
}

std::filesystem::path defaultArchiveRoot() {
#ifdef _WIN32
    return std::filesystem::path("c:\\Tallyvane");
#else
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        return std::filesystem::path("Tallyvane");
    }
    return std::filesystem::path(home) / "Tallyvane";
#endif
}

std::string countText(int count) {
    return fmt::format("{} Folder(s)", count);
}

FrmMain::FrmMain(MainWindowView& view, archive::MessageBoxes& boxes,
                 archive::SettingsStore& settings, FrmMainOptions options)
    : m_view(view), m_boxes(boxes), m_settings(settings), m_reporter(boxes),
      m_dataFiles(settings, boxes, options.opener ? std::move(options.opener) : dataFileOpener()),
      m_root(options.root.empty() ? defaultArchiveRoot() : std::move(options.root)),
      m_saveLocation(settings, m_reporter, m_root) {}

FrmMain::~FrmMain() {
    try {
        releaseAll();
    } catch (...) {
        // Nothing can be reported any more: the log itself is what failed to close.
    }
    m_sourceList.setObserver(nullptr);
    m_archiveList.setObserver(nullptr);
}

// ---- Start-up and shutdown ---------------------------------------------------------------

void FrmMain::Form_Load() {
    archive::ErrorTrap trap(m_reporter, std::string(info::kFormLoad),
                            std::string(info::kNoSubject));
    trap.step([&] { m_view.showWindow(); });
    trap.step([&] {
        m_caption = applicationCaption();
        m_view.setCaption(m_caption);
    });
    trap.step([&] { txtListed_Change(); });
    trap.step([&] { txtSelected_Change(); });
    trap.step([&] { m_runFiles.emplace(); });
    trap.step([&] { m_rootFiles.emplace(); });
    trap.step([&] { m_archiveRoot = m_root; });
    trap.step([&] { m_reporter.boolError = false; });
    rootAndLog(trap);
    trap.step([&] { m_view.showArchiveLocation(archive::pathToUtf8(m_saveLocation.getPath())); });
}

void FrmMain::mnuFileOpen_Click() {
    archive::ErrorTrap trap(m_reporter, std::string(info::kFileOpen),
                            std::string(info::kNoSubject));
    trap.step([&] {
        if (m_locationDialog != nullptr) {
            m_locationDialog->open();
        }
    });
    trap.step([&] { m_view.showArchiveLocation(archive::pathToUtf8(m_saveLocation.getPath())); });
}

void FrmMain::mnuHelpContents_Click() {
    archive::ErrorTrap trap(m_reporter, std::string(info::kHelpContents),
                            std::string(info::kNoSubject));
    bool shown = false;
    trap.step([&] {
        shown =
            m_helpViewer != nullptr && !m_helpFile.empty() && m_helpViewer->showHelp(m_helpFile);
    });
    if (!shown) {
        trap.step([&] {
            m_boxes.show(message::kHelpUnavailable, archive::MessageIcon::Information,
                         archive::kApplicationTitle);
        });
    }
}

void FrmMain::mnuHelpAbout_Click() {
    if (m_about != nullptr) {
        m_about->open();
    }
}

void FrmMain::rootAndLog(archive::ErrorTrap& trap) {
    trap.step([&] {
        if (!need(m_rootFiles).FolderExists(m_archiveRoot)) {
            m_rootFiles->CreateFolder(m_archiveRoot);
        }
    });
    trap.step([&] { m_logPath = m_archiveRoot / archive::kErrorLogName; });
    trap.step([&] {
        if (!m_reporter.log()) {
            m_reporter.log() =
                need(m_rootFiles).CreateTextFile(m_logPath, true, archive::Buffering::EveryLine);
            m_openLogPath = m_logPath;
        }
    });
}

void FrmMain::Form_Unload() {
    m_windows.unloadAllInReverse();
}

void FrmMain::btnExit_Click() {
    m_view.closeWindow();
    releaseAll();
}

void FrmMain::mnuFileExit_Click() {
    m_view.closeWindow();
}

void FrmMain::btnExit_MouseMove() {
    m_view.resetMousePointer();
}

void FrmMain::releaseAll() {
    m_session.reset();
    m_dataFiles.dropOpenFiles();
    m_picked.reset();
    m_pickedSubfolders.reset();
    m_rootFiles.reset();
    m_runFiles.reset();
    m_released = true;
    // The log is let go even when closing it fails; that failure is passed on.
    if (const std::unique_ptr<archive::TextStream> log = std::move(m_reporter.log())) {
        log->Close();
    }
}

// ---- The folder lists ----------------------------------------------------------------------

void FrmMain::txtListed_Change() {
    m_listedText = countText(m_sourceList.count());
    m_view.setCountTexts(m_listedText, m_selectedText);
}

void FrmMain::txtSelected_Change() {
    m_selectedText = countText(m_archiveList.count());
    m_view.setCountTexts(m_listedText, m_selectedText);
}

void FrmMain::btnSelect1_Click() {
    archive::ErrorTrap trap(m_reporter, std::string(info::kSelect1), std::string(info::kNoSubject));
    if (m_sourceList.empty()) {
        return;
    }
    // Only entries at or above the current one are looked at, the highest first, and the
    // current entry is read again at every step: removing one moves it.
    for (int i = m_sourceList.current(); i >= 0; --i) {
        if (m_sourceList.current() == -1) {
            break;
        }
        trap.step([&] {
            if (m_sourceList.isSelected(i)) {
                m_archiveList.append(m_sourceList.text(i), m_sourceList.folder(i));
                m_sourceList.removeAt(i);
            }
        });
    }
    trap.step([&] { txtListed_Change(); });
    trap.step([&] { txtSelected_Change(); });
}

void FrmMain::btnSelectAll_Click() {
    archive::ErrorTrap trap(m_reporter, std::string(info::kSelectAll),
                            std::string(info::kNoSubject));
    trap.step([&] { m_archiveList.clear(); });
    if (m_sourceList.empty() || !m_listedTop) {
        trap.step([&] { txtListed_Change(); });
        trap.step([&] { txtSelected_Change(); });
        return;
    }
    // Every listable folder of the data file, whatever m_sourceList holds.
    walkFolders(trap, m_listedTop, [&](const std::shared_ptr<store::Folder>& folder) {
        trap.step([&] {
            if (isListable(*folder)) {
                m_archiveList.append(folder->name(), folder);
            }
        });
        return true;
    });
    // Every entry leaves the source, whether or not the user ever clicked in the list: a list
    // without a current entry that kept its entries would leave every folder listed twice
    // after "Move ALL Folders".
    for (int i = m_sourceList.count() - 1; i >= 0; --i) {
        trap.step([&] { m_sourceList.removeAt(i); });
    }
    trap.step([&] { txtListed_Change(); });
    trap.step([&] { txtSelected_Change(); });
}

void FrmMain::btnRemove1_Click() {
    archive::ErrorTrap trap(m_reporter, std::string(info::kRemove1), std::string(info::kNoSubject));
    if (m_archiveList.empty()) {
        trap.step([&] {
            m_boxes.show(message::kNoFoldersListed, archive::MessageIcon::Exclamation,
                         archive::kApplicationTitle);
        });
        return;
    }
    bool found = false;
    for (int i = m_archiveList.current(); i >= 0; --i) {
        if (m_archiveList.current() < 0) {
            break;
        }
        trap.step([&] {
            if (!m_archiveList.isSelected(i)) {
                return;
            }
            const std::string name = m_archiveList.text(i);
            for (int j = 0; j < m_sourceList.count(); ++j) {
                if (m_sourceList.text(j) == name) {
                    found = true;
                }
            }
            if (found) {
                return;
            }
            m_sourceList.append(name, m_archiveList.folder(i));
            m_archiveList.removeAt(i);
        });
        // A name that also stands in m_sourceList stays where it is, and so does every entry
        // above it.
        if (found) {
            break;
        }
    }
    trap.step([&] { txtListed_Change(); });
    trap.step([&] { txtSelected_Change(); });
}

void FrmMain::mnuToolsmn_RemoveOne_Click() {
    btnRemove1_Click();
    GetFolderInfo();
}

void FrmMain::btnRemoveAll_Click() {
    archive::ErrorTrap trap(m_reporter, std::string(info::kRemoveAll),
                            std::string(info::kNoSubject));
    if (m_archiveList.empty()) {
        return;
    }
    trap.step([&] { m_archiveList.clear(); });
    trap.step([&] { m_sourceList.setEnabled(true); });
    trap.step([&] { txtListed_Change(); });
    trap.step([&] { txtSelected_Change(); });
    trap.step([&] { m_sourceList.clear(); });
    trap.step([&] { GetFolderInfo(); });
}

void FrmMain::btnClearAll_Click() {
    m_sourceList.clear();
    m_archiveList.clear();
    txtListed_Change();
    txtSelected_Change();
    m_view.showDataFile({});
}

// ---- Get Folder List -----------------------------------------------------------------------

store::Session& FrmMain::application() {
    if (!m_session) {
        auto session = std::make_shared<store::Session>();
        session->setFolderPicker(m_picker);
        session->setPasswordPrompt(m_prompt);
        m_session = session;
        m_dataFiles.restore(*session);
    }
    return *m_session;
}

void FrmMain::setFolderPicker(store::FolderPicker* picker) {
    m_picker = picker;
    if (m_session) {
        m_session->setFolderPicker(picker);
    }
}

void FrmMain::setPasswordPrompt(store::PasswordPrompt* prompt) {
    m_prompt = prompt;
    if (m_session) {
        m_session->setPasswordPrompt(prompt);
    }
}

void FrmMain::btnGetPST_Click() {
    archive::ErrorTrap trap(m_reporter, std::string(info::kGetPst), std::string(info::kNoSubject));
    bool ok = false;
    trap.step([&] { ok = InitializeOutlook(); });
    trap.step([&] {
        if (ok) {
            m_pickedSubfolders = need(m_picked).folders();
        } else {
            m_pickedSubfolders = nullptr;
        }
    });
    trap.step([&] { m_view.activate(); });
    trap.step([&] {
        if (m_pickedSubfolders) {
            GetFolderInfo();
            m_view.showDataFile(archive::pathToUtf8(m_dataFiles.pathOf(m_picked)));
        }
    });
    trap.step([&] { m_view.activate(); });
}

bool FrmMain::InitializeOutlook() {
    bool found = false;
    archive::ErrorTrap trap(m_reporter, std::string(info::kInitializeOutlook),
                            std::string(info::kNoSubject));
    // m_session is kept between commands, as attaching to a running application would: the
    // data files opened in the picker stay open and are not reopened (and asked for their
    // passwords again) at every Get Folder List.
    trap.step([&] { application(); });
    // The desktop's other windows are not minimised before the picker is shown.
    trap.step([&] { m_picked = need(m_session).getNamespace("MAPI")->pickFolder(); });
    trap.step([&] { m_view.showWindow(); });
    trap.step([&] { m_view.restoreNormal(); });
    if (!m_picked) {
        trap.step([&] { m_view.activate(); });
        trap.step([&] {
            m_boxes.show(message::kUnableToOpen, archive::MessageIcon::Information,
                         archive::kApplicationTitle);
        });
        return false;
    }
    std::int32_t count = 0;
    trap.step([&] { count = need(m_session).getNamespace("MAPI")->folders()->count(); });
    for (std::int32_t i = 1; i <= count; ++i) {
        trap.step([&] {
            const auto top = need(m_session).getNamespace("MAPI")->folders()->item(i);
            if (m_picked->name() == need(top).name()) {
                found = true;
            }
        });
        if (found) {
            break;
        }
    }
    bool result = true;
    if (!found) {
        trap.step([&] { m_view.activate(); });
        trap.step([&] {
            m_boxes.show(message::kFolderWithinDataFile, archive::MessageIcon::Information,
                         archive::kApplicationTitle);
        });
        result = false;
    }
    return result;
}

void FrmMain::GetFolderInfo() {
    archive::ErrorTrap trap(m_reporter, std::string(info::kGetFolderInfo), std::string());
    bool found = false;
    std::string currentName;
    std::string picked;
    trap.step([&] { picked = need(m_picked).name(); });
    if (!picked.empty()) {
        found = true;
        trap.step([&] { m_listedTop = topFolderNamed(need(m_session), m_picked, picked); });
    }
    if (found) {
        walkFolders(trap, m_listedTop, [&](const std::shared_ptr<store::Folder>& folder) {
            // A folder whose name cannot be read is not listed: listing the name of the
            // folder before it would put the wrong folder on the list.
            const bool named = trap.step([&] {
                currentName = folder->name();
                trap.setSubject(currentName);
            });
            if (named) {
                trap.step([&] {
                    if (isListable(*folder)) {
                        m_sourceList.append(currentName, folder);
                        m_sourceList.setEnabled(true);
                    }
                });
            }
            return true;
        });
    } else {
        trap.step([&] {
            m_boxes.show(message::kUnableToLocate, archive::MessageIcon::Exclamation,
                         archive::kApplicationTitle);
        });
    }
    trap.step([&] { txtListed_Change(); });
    trap.step([&] { txtSelected_Change(); });
}

std::shared_ptr<store::Folder> FrmMain::GetFolderObject(std::string_view name) {
    archive::ErrorTrap trap(m_reporter, std::string(info::kGetFolderObject),
                            std::string(info::kNoSubject));
    std::shared_ptr<store::Folder> result;
    walkFolders(trap, m_listedTop, [&](const std::shared_ptr<store::Folder>& folder) {
        bool match = false;
        trap.step([&] { match = folder->name() == name; });
        if (match) {
            result = folder;
        }
        return !match;
    });
    return result;
}

} // namespace tvn::app

#pragma once

// The model of one folder-name list of the main window (lstSource, lstDestination): an
// ordered list of texts, indexed from 0, the same text allowed more than once, with a
// selection flag per entry, a current entry and an enabled flag.
//
// The current entry moves by these rules, which the Qt view follows (it does not decide):
// - removing the current entry makes the entry after it current (it now has the same
//   index); when there is none, the new last entry; when the list is now empty, -1;
// - removing an entry above the current one moves the current index down by one;
// - removing an entry below it, appending, and selecting change nothing;
// - clear() leaves no current entry (-1).
// Appending never makes an entry current: only the user does (setCurrent from the view).
// Selection flags travel with their entries.
//
// The view shows the list and reports the user's clicks through setCurrent and
// setSelected; it learns of every change through FolderListObserver. Observers are told
// only of real changes, so a view that writes back what it was told does not loop.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/object_model.h"

namespace tvn::app {

class FolderList;

// A view is told before the entries change as well as after, because Qt's item models must
// announce rows before they come or go. Only the notices a view needs are overridden.
class FolderListObserver {
public:
    virtual ~FolderListObserver() = default;
    // An entry is about to be appended at index (the new last one); then it was.
    virtual void aboutToAppend(const FolderList& /*list*/, int /*index*/) {}
    virtual void entryAppended(const FolderList& /*list*/, int /*index*/) {}
    // The entry at index is about to be removed; then it was, the later entries moved up by
    // one and current() already tells the new current entry (currentChanged follows when it
    // moved).
    virtual void aboutToRemove(const FolderList& /*list*/, int /*index*/) {}
    virtual void entryRemoved(const FolderList& /*list*/, int /*index*/) {}
    // Every entry is about to go; then they went and current is -1.
    virtual void aboutToClear(const FolderList& /*list*/) {}
    virtual void cleared(const FolderList& /*list*/) {}
    // After the change.
    virtual void currentChanged(const FolderList& /*list*/, int /*current*/) {}
    virtual void selectionChanged(const FolderList& /*list*/, int /*index*/, bool /*selected*/) {}
    virtual void enabledChanged(const FolderList& /*list*/, bool /*enabled*/) {}
};

class FolderList final {
public:
    explicit FolderList(std::string name, bool enabled = true)
        : m_name(std::move(name)), m_enabled(enabled) {}

    // "lstSource" or "lstDestination".
    const std::string& name() const { return m_name; }

    int count() const { return static_cast<int>(m_entries.size()); }
    bool empty() const { return m_entries.empty(); }
    // The text of entry index; throws tvn::Failure err::kInvalidProcedureCall when out
    // of range. The reference lives until the entry is removed or the list cleared.
    const std::string& text(int index) const;
    bool isSelected(int index) const;
    // Every text in list order (a copy).
    std::vector<std::string> texts() const;

    // -1 when there is no current entry.
    int current() const { return m_current; }
    bool enabled() const { return m_enabled; }

    // From the view: the user clicked an entry (or -1). Out of range throws as text() does.
    void setCurrent(int index);
    void setSelected(int index, bool selected);
    void setEnabled(bool enabled);

    // folder: the folder the entry was listed for, which the run archives (entries of one
    // name may stand for different folders); nullptr when unknown.
    void append(std::string text, std::shared_ptr<store::Folder> folder = nullptr);
    // The folder entry index was listed for; nullptr when none was given.
    const std::shared_ptr<store::Folder>& folder(int index) const;
    // Removes entry index and moves the current entry as described above.
    void removeAt(int index);
    void clear();

    // At most one observer (the view); nullptr detaches. Not owned.
    void setObserver(FolderListObserver* observer) { m_observer = observer; }

private:
    struct Entry {
        std::string text;
        bool selected = false;
        std::shared_ptr<store::Folder> folder;
    };
    void check(int index) const;

    std::string m_name;
    std::vector<Entry> m_entries;
    int m_current = -1;
    bool m_enabled;
    FolderListObserver* m_observer = nullptr;
};

} // namespace tvn::app

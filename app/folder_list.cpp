#include "app/folder_list.h"

#include <fmt/format.h>

#include "store/failure.h"

namespace tvn::app {

void FolderList::check(int index) const {
    if (index < 0 || index >= count()) {
        throw Failure(
            err::kInvalidProcedureCall,
            fmt::format("Invalid list index {} of {} ({} entries)", index, m_name, count()));
    }
}

const std::string& FolderList::text(int index) const {
    check(index);
    return m_entries[static_cast<std::size_t>(index)].text;
}

bool FolderList::isSelected(int index) const {
    check(index);
    return m_entries[static_cast<std::size_t>(index)].selected;
}

std::vector<std::string> FolderList::texts() const {
    std::vector<std::string> out;
    out.reserve(m_entries.size());
    for (const auto& entry : m_entries) {
        out.push_back(entry.text);
    }
    return out;
}

void FolderList::setCurrent(int index) {
    if (index != -1) {
        check(index);
    }
    if (index == m_current) {
        return;
    }
    m_current = index;
    if (m_observer) {
        m_observer->currentChanged(*this, m_current);
    }
}

void FolderList::setSelected(int index, bool selected) {
    check(index);
    auto& entry = m_entries[static_cast<std::size_t>(index)];
    if (entry.selected == selected) {
        return;
    }
    entry.selected = selected;
    if (m_observer) {
        m_observer->selectionChanged(*this, index, selected);
    }
}

void FolderList::setEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    if (m_observer) {
        m_observer->enabledChanged(*this, m_enabled);
    }
}

const std::shared_ptr<store::Folder>& FolderList::folder(int index) const {
    check(index);
    return m_entries[static_cast<std::size_t>(index)].folder;
}

void FolderList::append(std::string text, std::shared_ptr<store::Folder> folder) {
    const int index = count();
    if (m_observer) {
        m_observer->aboutToAppend(*this, index);
    }
    m_entries.push_back(Entry{std::move(text), false, std::move(folder)});
    if (m_observer) {
        m_observer->entryAppended(*this, index);
    }
}

void FolderList::removeAt(int index) {
    check(index);
    if (m_observer) {
        m_observer->aboutToRemove(*this, index);
    }
    m_entries.erase(m_entries.begin() + index);
    const int before = m_current;
    if (m_current == index) {
        // The entry that took its place, else the new last one, else none.
        m_current = index < count() ? index : count() - 1;
    } else if (m_current > index) {
        --m_current;
    }
    if (m_observer) {
        m_observer->entryRemoved(*this, index);
    }
    if (m_observer && m_current != before) {
        m_observer->currentChanged(*this, m_current);
    }
}

void FolderList::clear() {
    if (m_observer) {
        m_observer->aboutToClear(*this);
    }
    m_entries.clear();
    m_current = -1;
    if (m_observer) {
        m_observer->cleared(*this);
    }
}

} // namespace tvn::app

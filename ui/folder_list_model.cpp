#include "ui/folder_list_model.h"

#include "ui/qt_text.h"

namespace tvn::ui {

FolderListModel::FolderListModel(app::FolderList& list, QObject* parent)
    : QAbstractListModel(parent), m_list(list), m_selection(new QItemSelectionModel(this, this)) {
    m_list.setObserver(this);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            &FolderListModel::reportSelection);
    connect(m_selection, &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { reportCurrent(current); });
    // The list may hold entries already; its selection and current entry are shown too.
    for (int i = 0; i < m_list.count(); ++i) {
        if (m_list.isSelected(i)) {
            m_selection->select(index(i), QItemSelectionModel::Select);
        }
    }
    showCurrent();
}

FolderListModel::~FolderListModel() {
    m_list.setObserver(nullptr);
}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.count();
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_list.count()) {
        return {};
    }
    return toQString(m_list.text(index.row()));
}

void FolderListModel::reportSelection(const QItemSelection& selected,
                                      const QItemSelection& deselected) {
    if (m_changingRows) {
        return;
    }
    for (const QModelIndex& index : deselected.indexes()) {
        m_list.setSelected(index.row(), false);
    }
    for (const QModelIndex& index : selected.indexes()) {
        m_list.setSelected(index.row(), true);
    }
}

void FolderListModel::reportCurrent(const QModelIndex& current) {
    if (!m_changingRows) {
        m_list.setCurrent(current.isValid() ? current.row() : -1);
    }
}

void FolderListModel::showCurrent() {
    const QModelIndex wanted = m_list.current() < 0 ? QModelIndex() : index(m_list.current());
    if (m_selection->currentIndex() != wanted) {
        m_selection->setCurrentIndex(wanted, QItemSelectionModel::NoUpdate);
    }
}

// ---- app::FolderListObserver ---------------------------------------------------------------

void FolderListModel::aboutToAppend(const app::FolderList& /*list*/, int index) {
    m_changingRows = true;
    beginInsertRows(QModelIndex(), index, index);
}

void FolderListModel::entryAppended(const app::FolderList& /*list*/, int /*index*/) {
    endInsertRows();
    m_changingRows = false;
}

void FolderListModel::aboutToRemove(const app::FolderList& /*list*/, int index) {
    m_changingRows = true;
    beginRemoveRows(QModelIndex(), index, index);
}

void FolderListModel::entryRemoved(const app::FolderList& /*list*/, int /*index*/) {
    endRemoveRows();
    showCurrent();
    m_changingRows = false;
}

void FolderListModel::aboutToClear(const app::FolderList& /*list*/) {
    m_changingRows = true;
    beginResetModel();
}

void FolderListModel::cleared(const app::FolderList& /*list*/) {
    endResetModel();
    showCurrent();
    m_changingRows = false;
}

void FolderListModel::currentChanged(const app::FolderList& /*list*/, int /*current*/) {
    showCurrent();
}

void FolderListModel::selectionChanged(const app::FolderList& /*list*/, int row, bool selected) {
    m_selection->select(index(row),
                        selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void FolderListModel::enabledChanged(const app::FolderList& /*list*/, bool enabled) {
    emit enabledSet(enabled);
}

} // namespace tvn::ui

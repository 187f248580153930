#pragma once

// One of the window's folder lists (app::FolderList) as a Qt item model, with the selection
// model its view shares. The app's list holds the entries, the selection and the current
// entry; this adapter only announces its changes to Qt and reports the user's clicks back,
// so there is no second copy of the list to keep in step.
//
// A view is bound with view->setModel(model) then view->setSelectionModel(
// model->selectionModel()). The list must outlive the adapter; the adapter is its observer
// until it is destroyed.

#include <QAbstractListModel>
#include <QItemSelectionModel>

#include "app/folder_list.h"

namespace tvn::ui {

class FolderListModel final : public QAbstractListModel, public app::FolderListObserver {
    Q_OBJECT
public:
    explicit FolderListModel(app::FolderList& list, QObject* parent = nullptr);
    ~FolderListModel() override;

    app::FolderList& list() const { return m_list; }
    QItemSelectionModel* selectionModel() const { return m_selection; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // ---- app::FolderListObserver -------------------------------------------------------
    void aboutToAppend(const app::FolderList& list, int index) override;
    void entryAppended(const app::FolderList& list, int index) override;
    void aboutToRemove(const app::FolderList& list, int index) override;
    void entryRemoved(const app::FolderList& list, int index) override;
    void aboutToClear(const app::FolderList& list) override;
    void cleared(const app::FolderList& list) override;
    void currentChanged(const app::FolderList& list, int current) override;
    void selectionChanged(const app::FolderList& list, int index, bool selected) override;
    void enabledChanged(const app::FolderList& list, bool enabled) override;

signals:
    // The list was switched on or off; its view follows.
    void enabledSet(bool enabled);

private:
    // The user clicked: the list learns the new selection or current entry.
    void reportSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void reportCurrent(const QModelIndex& current);
    // Qt moves the current index on its own while rows go (to the row above); the list's
    // rule wins, so the view is set to it once the change is over.
    void showCurrent();

    app::FolderList& m_list;
    QItemSelectionModel* m_selection;
    // True while rows come or go: what the selection model says meanwhile is its own
    // bookkeeping, not the user's doing.
    bool m_changingRows = false;
};

} // namespace tvn::ui

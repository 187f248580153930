#include "ui/data_file_picker.h"

#include <exception>
#include <string>

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

#include "store/failure.h"
#include "ui/qt_text.h"

namespace tvn::ui {

namespace {

// The data-file column's width at first: room for a typical path.
constexpr int kDataFileColumnWidth = 220;

constexpr int kFolderIndexRole = Qt::UserRole;
constexpr int kPopulatedRole = Qt::UserRole + 1;
// On the entry of a remembered data file that cannot be opened now: its path.
constexpr int kUnavailablePathRole = Qt::UserRole + 2;

// A damaged file may claim any number of subfolders that all fail to open; past this many
// failures in one folder the rest are summed up in one entry, so the dialog stays small
// and quick whatever the file says.
constexpr int kMaxFailureEntries = 20;

QString failureText(const std::exception& failure) {
    if (const auto* f = dynamic_cast<const Failure*>(&failure)) {
        return QStringLiteral("(could not be read: %1 [%2])")
            .arg(toQString(f->description()))
            .arg(f->number());
    }
    return QStringLiteral("(could not be read: %1)").arg(toQString(failure.what()));
}

} // namespace

DataFilePickerDialog::DataFilePickerDialog(store::Session& session, app::DataFiles& dataFiles,
                                           QWidget* parent)
    : QDialog(parent), m_session(session), m_dataFiles(dataFiles) {
    setObjectName(QStringLiteral("dlgPickFolder"));
    setWindowTitle(QStringLiteral("Select Folder"));

    auto* intro = new QLabel(
        QStringLiteral("Select the top folder of the data file whose folders you want to list."),
        this);
    intro->setObjectName(QStringLiteral("lblPickFolder"));
    intro->setWordWrap(true);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("tvwFolders"));
    m_tree->setColumnCount(2);
    m_tree->setHeaderLabels({QStringLiteral("Folder"), QStringLiteral("Data file")});
    // The folder column takes what the data-file column leaves, so the data file stays in
    // view whether or not a scrollbar appears; long texts are shortened in the middle and
    // the user may widen either column.
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(1, QHeaderView::Interactive);
    m_tree->header()->resizeSection(1, kDataFileColumnWidth);
    m_tree->setTextElideMode(Qt::ElideMiddle);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setUniformRowHeights(true);

    auto* openButton = new QPushButton(QStringLiteral("&Open Data File..."), this);
    openButton->setObjectName(QStringLiteral("btnOpenDataFile"));
    openButton->setAutoDefault(false);
    m_close = new QPushButton(QStringLiteral("C&lose Data File"), this);
    m_close->setObjectName(QStringLiteral("btnCloseDataFile"));
    m_close->setAutoDefault(false);
    m_close->setToolTip(QStringLiteral("Close the selected data file and forget it"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(openButton);
    bottom->addWidget(m_close);
    bottom->addStretch(1);
    bottom->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_tree, 1);
    layout->addLayout(bottom);
    resize(520, 380);

    m_chooser = [this](QWidget* owner) {
        QString start = QDir::homePath();
        const auto open = m_dataFiles.paths();
        if (!open.empty()) {
            start = fromPath(open.back().parent_path());
        }
        const QString chosen = QFileDialog::getOpenFileName(owner, QStringLiteral("Open Data File"),
                                                            start, fileFilters());
        return chosen.isEmpty() ? std::filesystem::path() : toPath(chosen);
    };

    connect(m_tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { expandItem(item); });
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { updateOkButton(); });
    connect(openButton, &QPushButton::clicked, this, [this] { chooseAndOpen(); });
    connect(m_close, &QPushButton::clicked, this, [this] { closeCurrentDataFile(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    rebuildTree();
}

DataFilePickerDialog::~DataFilePickerDialog() = default;

QString DataFilePickerDialog::fileFilters() {
    return QStringLiteral("Outlook data files (*.pst *.ost);;All files (*)");
}

std::shared_ptr<store::Folder> DataFilePickerDialog::currentFolder() const {
    const QTreeWidgetItem* item = m_tree->currentItem();
    if (item == nullptr) {
        return nullptr;
    }
    bool ok = false;
    const int index = item->data(0, kFolderIndexRole).toInt(&ok);
    if (!ok || index < 0 || static_cast<std::size_t>(index) >= m_folders.size()) {
        return nullptr;
    }
    return m_folders[static_cast<std::size_t>(index)];
}

void DataFilePickerDialog::rebuildTree() {
    m_tree->clear();
    m_folders.clear();
    for (const auto& top : m_session.dataFiles()) {
        QTreeWidgetItem* item = addFolderItem(nullptr, top);
        item->setText(1, fromPath(m_dataFiles.pathOf(top)));
        // The tops and their first level are what the user picks from; show them at once.
        item->setExpanded(true);
    }
    // Remembered files that cannot be opened now stay in view, greyed, so that the user sees
    // what became of them and can close them for good.
    for (const auto& file : m_dataFiles.unavailable()) {
        auto* item = new QTreeWidgetItem(m_tree);
        item->setText(0, fromPath(file.path.filename()) + QStringLiteral(" (unavailable)"));
        item->setText(1, fromPath(file.path));
        const QString why = QStringLiteral("Cannot be opened now: %1. Open it again with Open "
                                           "Data File... when it is back.")
                                .arg(toQString(file.reason));
        item->setToolTip(0, why);
        item->setToolTip(1, why);
        item->setData(0, kFolderIndexRole, -1);
        item->setData(0, kUnavailablePathRole, fromPath(file.path));
        item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
        item->setForeground(1, palette().brush(QPalette::Disabled, QPalette::Text));
    }
    if (m_tree->topLevelItemCount() > 0) {
        m_tree->setCurrentItem(m_tree->topLevelItem(0));
    }
    updateOkButton();
}

QTreeWidgetItem* DataFilePickerDialog::addFolderItem(QTreeWidgetItem* parent,
                                                     std::shared_ptr<store::Folder> folder) {
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    try {
        item->setText(0, toQString(folder->name()));
    } catch (const std::exception& failure) {
        // A folder without a readable name cannot be matched by name later; it is shown
        // so the user sees the damage, but cannot be picked.
        item->setText(0, failureText(failure));
        item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
        item->setData(0, kFolderIndexRole, -1);
        return item;
    }
    item->setData(0, kFolderIndexRole, static_cast<int>(m_folders.size()));
    item->setData(0, kPopulatedRole, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    m_folders.push_back(std::move(folder));
    return item;
}

void DataFilePickerDialog::addFailureItem(QTreeWidgetItem* parent, const QString& text) {
    auto* item = new QTreeWidgetItem(parent);
    item->setText(0, text);
    item->setData(0, kFolderIndexRole, -1);
    item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
}

void DataFilePickerDialog::expandItem(QTreeWidgetItem* item) {
    if (item->data(0, kPopulatedRole).toBool()) {
        return;
    }
    item->setData(0, kPopulatedRole, true);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    bool ok = false;
    const int index = item->data(0, kFolderIndexRole).toInt(&ok);
    if (!ok || index < 0 || static_cast<std::size_t>(index) >= m_folders.size()) {
        return;
    }
    // A copy: adding children grows m_folders, which may move its elements.
    const std::shared_ptr<store::Folder> folder = m_folders[static_cast<std::size_t>(index)];
    std::shared_ptr<store::Folders> subfolders;
    std::int32_t count = 0;
    try {
        subfolders = folder->folders();
        count = subfolders->count();
    } catch (const std::exception& failure) {
        addFailureItem(item, failureText(failure));
        return;
    }
    int failures = 0;
    for (std::int32_t i = 1; i <= count; ++i) {
        try {
            addFolderItem(item, subfolders->item(i));
        } catch (const std::exception& failure) {
            if (++failures > kMaxFailureEntries) {
                addFailureItem(
                    item, QStringLiteral("(%1 more folders could not be read)").arg(count - i + 1));
                break;
            }
            addFailureItem(item, failureText(failure));
        }
    }
}

void DataFilePickerDialog::chooseAndOpen() {
    const std::filesystem::path file = m_chooser ? m_chooser(this) : std::filesystem::path();
    if (!file.empty()) {
        openDataFile(file);
    }
}

void DataFilePickerDialog::openDataFile(const std::filesystem::path& file) {
    const std::shared_ptr<store::Folder> top = m_dataFiles.openOrExplain(m_session, file);
    if (top == nullptr) {
        return;
    }
    // A file that was open already keeps its entry; a new one is added at the end, as the
    // session lists it.
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_tree->topLevelItem(i);
        bool ok = false;
        const int index = item->data(0, kFolderIndexRole).toInt(&ok);
        if (ok && index >= 0 && m_folders[static_cast<std::size_t>(index)] == top) {
            m_tree->setCurrentItem(item);
            return;
        }
    }
    QTreeWidgetItem* item = addFolderItem(nullptr, top);
    item->setText(1, fromPath(file));
    item->setExpanded(true);
    m_tree->setCurrentItem(item);
}

void DataFilePickerDialog::updateOkButton() {
    m_ok->setEnabled(currentFolder() != nullptr);
    const QTreeWidgetItem* item = m_tree->currentItem();
    m_close->setEnabled(
        item != nullptr && item->parent() == nullptr &&
        (currentFolder() != nullptr || !item->data(0, kUnavailablePathRole).toString().isEmpty()));
}

void DataFilePickerDialog::closeCurrentDataFile() {
    const QTreeWidgetItem* item = m_tree->currentItem();
    if (item == nullptr || item->parent() != nullptr) {
        return;
    }
    if (const auto top = currentFolder()) {
        m_dataFiles.close(m_session, top);
    } else if (const QString path = item->data(0, kUnavailablePathRole).toString();
               !path.isEmpty()) {
        m_dataFiles.forget(toPath(path));
    }
    rebuildTree();
}

DataFilePicker::DataFilePicker(SessionSource session, app::DataFiles& dataFiles, QWidget* parent)
    : m_session(std::move(session)), m_dataFiles(dataFiles), m_parent(parent) {}

std::shared_ptr<store::Folder> DataFilePicker::pickFolder() {
    DataFilePickerDialog dialog(m_session(), m_dataFiles, m_parent.data());
    if (m_hook) {
        m_hook(dialog);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return nullptr;
    }
    return dialog.currentFolder();
}

} // namespace tvn::ui

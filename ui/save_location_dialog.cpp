#include "ui/save_location_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "archive/error_messages.h"
#include "ui/qt_text.h"

namespace tvn::ui {

namespace {

constexpr int kPathRole = Qt::UserRole;
// Each level of the directory chain is drawn this much further right, as a tree would be.
constexpr int kIndentPerLevel = 2;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// The name a directory list shows for a path: its last component, or the root itself.
QString shownName(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || slash == path.size() - 1) {
        return path;
    }
    return path.mid(slash + 1);
}

} // namespace

SaveLocationDialog::SaveLocationDialog(app::DlgSaveLocation& model, QWidget* parent)
    : QDialog(parent), m_model(model) {
    setObjectName(QStringLiteral("dlgSaveLocation"));
    setModal(true);

    auto* instruction = new QLabel(toQString(app::location::kInstruction)
                                       .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                       .trimmed(),
                                   this);
    instruction->setObjectName(QStringLiteral("Text1"));
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPointSizeF(instruction->font().pointSizeF());
    instruction->setFont(verdana);
    instruction->setWordWrap(true);

    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("Text4"));
    m_dirs = new QListWidget(this);
    m_dirs->setObjectName(QStringLiteral("Dir1"));
    m_dirs->setMinimumSize(280, 200);
    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("Drive1"));
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("lblProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_problem->hide();

    auto* newFolder = makeButton(this, "cmdNewFldr", QStringLiteral("&New Folder..."));
    newFolder->setAutoDefault(false);
    auto* ok = makeButton(this, "OKButton", QStringLiteral("OK"));
    ok->setDefault(true);
    auto* cancel = makeButton(this, "CancelButton", QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(makeLabel(this, "Label3", QStringLiteral("&Name:"), m_path), 0, 0);
    grid->addWidget(m_path, 0, 1);
    grid->addWidget(makeLabel(this, "Label2", QStringLiteral("&Folders:"), m_dirs), 1, 0,
                    Qt::AlignTop);
    grid->addWidget(m_dirs, 1, 1);
    grid->addWidget(makeLabel(this, "Label1", QStringLiteral("&Drives:"), m_drives), 2, 0);
    grid->addWidget(m_drives, 2, 1);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newFolder);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instruction);
    layout->addLayout(grid, 1);
    layout->addWidget(m_problem);
    layout->addLayout(buttons);

    connect(m_drives, &QComboBox::activated, this,
            [this](int index) { m_model.Drive1_Change(index); });
    // Opening a directory is a double-click or Enter, as in a file dialog; a single click
    // only selects it.
    connect(m_dirs, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { openListed(item); });
    connect(newFolder, &QPushButton::clicked, this, [this] { m_model.cmdNewFldr_Click(); });
    connect(ok, &QPushButton::clicked, this, [this] { m_model.OKButton_Click(); });
    connect(cancel, &QPushButton::clicked, this, [this] { m_model.CancelButton_Click(); });

    m_model.bind(this, this);
    m_model.Form_Load();
    resize(420, 420);
}

SaveLocationDialog::~SaveLocationDialog() {
    m_model.bind(nullptr, nullptr);
}

void SaveLocationDialog::reject() {
    if (!m_closing) {
        m_model.CancelButton_Click();
    }
}

void SaveLocationDialog::openListed(QListWidgetItem* item) {
    if (item != nullptr) {
        m_model.Dir1_Change(toUtf8(item->data(kPathRole).toString()));
    }
}

void SaveLocationDialog::setCaption(std::string_view caption) {
    setWindowTitle(toQString(caption));
}

void SaveLocationDialog::showDrives(const std::vector<app::Drive>& drives, int current) {
    const QSignalBlocker blocker(m_drives);
    if (m_drives->count() != static_cast<int>(drives.size())) {
        m_drives->clear();
        const QIcon icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
        for (const app::Drive& drive : drives) {
            m_drives->addItem(icon, toQString(drive.label), toQString(drive.root));
        }
    }
    m_drives->setCurrentIndex(current);
}

void SaveLocationDialog::showDirectory(const app::DirectoryListing& listing) {
    m_dirs->clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int level = 0;
    QListWidgetItem* currentItem = nullptr;
    for (const std::string& ancestor : listing.ancestors) {
        const QString path = toQString(ancestor);
        auto* item = new QListWidgetItem(
            open, QString(level * kIndentPerLevel, QLatin1Char(' ')) + shownName(path), m_dirs);
        item->setData(kPathRole, path);
        currentItem = item;
        ++level;
    }
    const QString base = toQString(listing.path);
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    for (const std::string& child : listing.children) {
        auto* item = new QListWidgetItem(
            closed, QString(level * kIndentPerLevel, QLatin1Char(' ')) + toQString(child), m_dirs);
        item->setData(kPathRole, prefix + toQString(child));
    }
    if (currentItem != nullptr) {
        QFont bold = currentItem->font();
        bold.setBold(true);
        currentItem->setFont(bold);
        m_dirs->setCurrentItem(currentItem);
    }
}

void SaveLocationDialog::setPathText(std::string_view text) {
    m_path->setText(toQString(text));
}

std::string SaveLocationDialog::pathText() const {
    return toUtf8(m_path->text());
}

void SaveLocationDialog::showProblem(std::string_view text) {
    m_problem->setText(toQString(text));
    m_problem->setVisible(!text.empty());
}

void SaveLocationDialog::makeVisible() {
    show();
    raise();
}

void SaveLocationDialog::closeDialog() {
    m_closing = true;
    done(QDialog::Accepted);
}

std::string SaveLocationDialog::inputBox(std::string_view prompt, std::string_view title,
                                         std::string_view defaultText) {
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgNewFolder"));
    dialog.setWindowTitle(toQString(title));
    dialog.setLabelText(toQString(prompt));
    dialog.setTextValue(toQString(defaultText));
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return toUtf8(dialog.textValue());
}

bool SaveLocationDialog::okCancel(std::string_view text, std::string_view title) {
    QMessageBox box(QMessageBox::NoIcon, toQString(title), toQString(text),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("msgTypeAName"));
    return box.exec() == QMessageBox::Ok;
}

void SaveLocationOpener::open() {
    SaveLocationDialog dialog(m_model, m_parent);
    dialog.exec();
}

} // namespace tvn::ui

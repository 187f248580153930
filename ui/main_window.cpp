#include "ui/main_window.h"

#include <exception>
#include <string>
#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "store/failure.h"
#include "ui/app_icon.h"
#include "ui/folder_list_model.h"
#include "ui/qt_text.h"

namespace tvn::ui {

namespace {

// A control of the window with its caption and tooltip, exactly as the program shows them
// (the quotes and the trailing blank of some tooltips are part of the text).
struct ControlText {
    const char* name;
    const char* caption;
    const char* tooltip;
};

constexpr ControlText kSourceList{"lstSource", "",
                                  "Click any Folder Name to select it for archival."};
constexpr ControlText kDestinationList{
    "lstDestination", "",
    "Click any Folder Name to remove it from the list of folders to be archived."};
constexpr ControlText kListedCount{"txtListed", "", "Display of the total Folders listed above."};
constexpr ControlText kSelectedCount{"txtSelected", "",
                                     "Display of the total Folders listed above."};
constexpr ControlText kSourceLabel{"Label1", "PST Folder List",
                                   "Select a Folder to archive by double-clicking it"};
constexpr ControlText kDestinationLabel{"Label2", "Folders to be Archived",
                                        "Displays a list of Folders to be archived"};
constexpr ControlText kGetPst{"btnGetPST", "&Get Folder List", "\"Gets your .pst folder list\""};
constexpr ControlText kSelect1{"btnSelect1", ">", "Move selected Folder(s) to archive list"};
constexpr ControlText kSelectAll{"btnSelectAll", ">>", "Move ALL Folders to archive list"};
constexpr ControlText kRemove1{"btnRemove1", "<", "Remove selected Folder(s) from archive list"};
constexpr ControlText kRemoveAll{"btnRemoveAll", "<<", "Remove ALL Folders from archive list"};
constexpr ControlText kCreate{"btnCreate", "&Create",
                              "\"Creates a copy of all items and attachments in the Folders to "
                              "be Archived list at your selected location.\" "};
constexpr ControlText kClearAll{"btnClearAll", "Clear &All", "\"Clears both folder lists\""};
constexpr ControlText kExit{"btnExit", "C&lose Program", "\"Exit from the program\""};

// The width of the four move buttons: wide enough for ">>" in any usual font, narrow enough
// to keep the lists close together.
constexpr int kMoveButtonWidth = 56;

template <typename W> W* named(W* widget, const ControlText& text) {
    widget->setObjectName(QString::fromLatin1(text.name));
    widget->setToolTip(QString::fromLatin1(text.tooltip));
    return widget;
}

QPushButton* makeButton(QWidget* parent, const ControlText& text) {
    auto* button = named(new QPushButton(QString::fromLatin1(text.caption), parent), text);
    button->setAutoDefault(false);
    return button;
}

QListView* makeList(QWidget* parent, const ControlText& text) {
    auto* list = named(new QListView(parent), text);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setMinimumSize(200, 220);
    return list;
}

QLineEdit* makeCount(QWidget* parent, const ControlText& text) {
    auto* box = named(new QLineEdit(parent), text);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setAlignment(Qt::AlignCenter);
    return box;
}

QLabel* makeLabel(QWidget* parent, const ControlText& text) {
    auto* label = named(new QLabel(QString::fromLatin1(text.caption), parent), text);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// The strip's paths are shortened in the middle, so that a long path never widens the
// window; the whole path is the label's tooltip.
constexpr int kStatusPathWidth = 300;

void showPath(QLabel* label, const QString& caption, const QString& path) {
    label->setText(caption +
                   label->fontMetrics().elidedText(path, Qt::ElideMiddle, kStatusPathWidth));
    label->setToolTip(path);
}

// A menu entry; captions are given exactly, including any trailing blank.
QAction* addEntry(QMenu* menu, const char* name, const char* caption, bool enabled = true) {
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(enabled);
    // Keeps every entry in its own menu on macOS, which would otherwise move "About" and
    // "Exit" into the application menu.
    action->setMenuRole(QAction::NoRole);
    return action;
}

QMenu* addMenu(QMenuBar* bar, const char* name, const char* caption) {
    QMenu* menu = bar->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Action"));
    return menu;
}

} // namespace

MainWindow::MainWindow(archive::MessageBoxes& boxes, archive::SettingsStore& settings,
                       app::FrmMainOptions options, QWidget* parent)
    : QMainWindow(parent), m_password(this) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(toQString(archive::kApplicationTitle));
    setWindowIcon(appIcon());
    buildControls();
    buildMenus();

    m_model = std::make_unique<app::FrmMain>(*this, boxes, settings, std::move(options));
    bindList(m_lstSource, m_model->sourceList());
    bindList(m_lstDestination, m_model->archiveList());

    m_picker = std::make_unique<DataFilePicker>(
        [this]() -> store::Session& { return m_model->application(); }, m_model->dataFiles(), this);
    m_model->setFolderPicker(m_picker.get());
    m_model->setPasswordPrompt(&m_password);
    m_progress = std::make_unique<ProgressBarWindow>(settings, m_model->windows(), this);
    m_model->setProgressWindow(m_progress.get());
    m_locationDialog = std::make_unique<SaveLocationOpener>(m_model->saveLocation(), this);
    m_model->setLocationDialog(m_locationDialog.get());
    m_help = std::make_unique<HelpWindow>(m_model->windows(), this);
    m_model->setHelp(m_help.get(),
                     app::helpFileFor(toPath(QCoreApplication::applicationDirPath())));
    m_about = std::make_unique<AboutOpener>(boxes, this);
    m_model->setAboutBox(m_about.get());

    connectControls();
}

MainWindow::~MainWindow() {
    // The model is destroyed next and releases what it still holds; it must not reach back
    // into a window that is being taken down, nor into the picker and prompt it points at.
    for (QListView* view : {m_lstSource, m_lstDestination}) {
        delete view->model();
    }
    m_model->setFolderPicker(nullptr);
    m_model->setPasswordPrompt(nullptr);
    m_model->setProgressWindow(nullptr);
    m_model->setLocationDialog(nullptr);
    m_model->setHelp(nullptr, {});
    m_model->setAboutBox(nullptr);
}

void MainWindow::start() {
    run([this] { m_model->Form_Load(); });
}

void MainWindow::openDataFile(const std::filesystem::path& file) {
    run([&] { m_model->dataFiles().openOrExplain(m_model->application(), file); });
}

void MainWindow::openDataFilesWhenShown(std::vector<std::filesystem::path> files) {
    m_filesToOpen = std::move(files);
    if (m_filesToOpen.empty()) {
        return;
    }
    // The window's native window exists from here on; its first exposure is the sign that
    // the window stands where the user sees it.
    winId();
    windowHandle()->installEventFilter(this);
}

void MainWindow::buildControls() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));

    m_lstSource = makeList(central, kSourceList);
    m_lstSource->setAccessibleName(QString::fromLatin1(kSourceLabel.caption));
    m_lstDestination = makeList(central, kDestinationList);
    m_lstDestination->setAccessibleName(QString::fromLatin1(kDestinationLabel.caption));
    m_txtListed = makeCount(central, kListedCount);
    m_txtSelected = makeCount(central, kSelectedCount);

    auto* moveButtons = new QVBoxLayout;
    moveButtons->addStretch(1);
    for (const ControlText* text : {&kSelect1, &kSelectAll, &kRemove1, &kRemoveAll}) {
        QPushButton* button = makeButton(central, *text);
        button->setFixedWidth(kMoveButtonWidth);
        moveButtons->addWidget(button);
        if (text == &kSelectAll) {
            moveButtons->addSpacing(16);
        }
    }
    moveButtons->addStretch(1);

    auto* commands = new QHBoxLayout;
    commands->addWidget(makeButton(central, kGetPst));
    commands->addWidget(makeButton(central, kCreate));
    commands->addWidget(makeButton(central, kClearAll));
    commands->addStretch(1);
    m_btnExit = makeButton(central, kExit);
    commands->addWidget(m_btnExit);

    auto* grid = new QGridLayout(central);
    grid->addWidget(makeLabel(central, kSourceLabel), 0, 0);
    grid->addWidget(makeLabel(central, kDestinationLabel), 0, 2);
    grid->addWidget(m_lstSource, 1, 0);
    grid->addLayout(moveButtons, 1, 1);
    grid->addWidget(m_lstDestination, 1, 2);
    grid->addWidget(m_txtListed, 2, 0);
    grid->addWidget(m_txtSelected, 2, 2);
    grid->addLayout(commands, 3, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(1, 1);
    grid->setVerticalSpacing(8);
    setCentralWidget(central);

    // The strip shows a fixed hint and, on the right, where the next run writes its files.
    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("sbStatusBar"));
    m_hint = new QLabel(QStringLiteral("Get Folder List, move folders to the right, then Create."),
                        status);
    m_hint->setObjectName(QStringLiteral("lblHint"));
    // A hint may be cut short by a narrow window; it must never widen the window.
    m_hint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status->addWidget(m_hint, 1);
    m_dataFile = new QLabel(status);
    m_dataFile->setObjectName(QStringLiteral("lblDataFile"));
    m_dataFile->hide();
    status->addPermanentWidget(m_dataFile);
    m_location = new QLabel(status);
    m_location->setObjectName(QStringLiteral("lblArchiveLocation"));
    status->addPermanentWidget(m_location);
    setStatusBar(status);

    resize(640, 460);
}

void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("mnuBar"));

    QMenu* file = addMenu(bar, "mnuFile", "&File");
    addEntry(file, "mnuFileOpen", "Select Archive &Location");
    addEntry(file, "mnuGetFolderList", "&Get Folder List");
    addEntry(file, "mnuCreateFiles", "&Create Files");
    file->addSeparator();
    addEntry(file, "mnuFileExit", "E&xit");

    QMenu* tools = addMenu(bar, "mnuTools", "&Tools");
    // Switched off in the window's definition and never switched on.
    addEntry(tools, "mnuViewContacts", "View Co&ntacts", false);
    addEntry(tools, "mnuViewErrorLog", "View Error Log", false);
    tools->addSeparator();
    addEntry(tools, "mnuClearAll", "Clear &All Lists");
    addEntry(tools, "mnuToolsmn_SelectAll", "Select All &PST Folders");
    addEntry(tools, "mnuToolsmn_RemoveOne", "Remove Selected &Item");

    QMenu* help = addMenu(bar, "mnuHelp", "&Help");
    addEntry(help, "mnuHelpContents", "C&ontents");
    addEntry(help, "mnuHelpAbout", "A&bout ");
}

void MainWindow::connectControls() {
    const auto onClick = [this](const char* name, void (app::FrmMain::*handler)()) {
        auto* button = findChild<QPushButton*>(QString::fromLatin1(name));
        connect(button, &QPushButton::clicked, this,
                [this, handler] { run([this, handler] { (m_model.get()->*handler)(); }); });
    };
    onClick(kGetPst.name, &app::FrmMain::btnGetPST_Click);
    onClick(kSelect1.name, &app::FrmMain::btnSelect1_Click);
    onClick(kSelectAll.name, &app::FrmMain::btnSelectAll_Click);
    onClick(kRemove1.name, &app::FrmMain::btnRemove1_Click);
    onClick(kRemoveAll.name, &app::FrmMain::btnRemoveAll_Click);
    onClick(kClearAll.name, &app::FrmMain::btnClearAll_Click);
    onClick(kCreate.name, &app::FrmMain::btnCreate_Click);
    onClick(kExit.name, &app::FrmMain::btnExit_Click);

    const auto onChoose = [this](const char* name, void (app::FrmMain::*handler)()) {
        auto* action = findChild<QAction*>(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this,
                [this, handler] { run([this, handler] { (m_model.get()->*handler)(); }); });
    };
    onChoose("mnuFileOpen", &app::FrmMain::mnuFileOpen_Click);
    onChoose("mnuGetFolderList", &app::FrmMain::mnuGetFolderList_Click);
    onChoose("mnuFileExit", &app::FrmMain::mnuFileExit_Click);
    onChoose("mnuCreateFiles", &app::FrmMain::mnuCreateFiles_Click);
    onChoose("mnuClearAll", &app::FrmMain::mnuClearAll_Click);
    onChoose("mnuToolsmn_SelectAll", &app::FrmMain::mnuToolsmn_SelectAll_Click);
    onChoose("mnuToolsmn_RemoveOne", &app::FrmMain::mnuToolsmn_RemoveOne_Click);
    onChoose("mnuHelpContents", &app::FrmMain::mnuHelpContents_Click);
    onChoose("mnuHelpAbout", &app::FrmMain::mnuHelpAbout_Click);

    connect(m_lstSource, &QListView::doubleClicked, this,
            [this] { run([this] { m_model->lstSource_DblClick(); }); });
    connect(m_lstDestination, &QListView::doubleClicked, this,
            [this] { run([this] { m_model->lstDestination_DblClick(); }); });

    // btnExit_MouseMove: a move over the button, not only a drag.
    m_btnExit->setMouseTracking(true);
    m_btnExit->installEventFilter(this);
    // A double-click on a list's empty area is a double-click on the list too (an empty
    // archive list then says that no folders are listed).
    m_lstSource->viewport()->installEventFilter(this);
    m_lstDestination->viewport()->installEventFilter(this);
}

template <typename Handler> void MainWindow::run(Handler&& handler) {
    try {
        handler();
    } catch (const Failure& failure) {
        m_model->messageBoxes().show("Run-time error '" + std::to_string(failure.number()) +
                                         "':\n\n" + failure.description(),
                                     archive::MessageIcon::Exclamation, archive::kApplicationTitle);
    } catch (const std::exception& failure) {
        m_model->messageBoxes().show(std::string("Run-time error:\n\n") + failure.what(),
                                     archive::MessageIcon::Exclamation, archive::kApplicationTitle);
    }
}

// ---- app::MainWindowView ---------------------------------------------------------------

void MainWindow::showWindow() {
    show();
}

void MainWindow::restoreNormal() {
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
}

void MainWindow::activate() {
    raise();
    activateWindow();
}

void MainWindow::setCaption(std::string_view caption) {
    setWindowTitle(toQString(caption));
}

void MainWindow::setCountTexts(std::string_view listed, std::string_view selected) {
    m_txtListed->setText(toQString(listed));
    m_txtSelected->setText(toQString(selected));
}

void MainWindow::closeWindow() {
    close();
}

void MainWindow::resetMousePointer() {
    while (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void MainWindow::setHourglass(bool on) {
    if (on) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else {
        resetMousePointer();
    }
}

void MainWindow::setCommandEnabled(std::string_view control, bool enabled) {
    const QString name = toQString(control);
    if (auto* button = findChild<QPushButton*>(name)) {
        button->setEnabled(enabled);
    } else if (auto* action = findChild<QAction*>(name)) {
        action->setEnabled(enabled);
    } else if (auto* menu = findChild<QMenu*>(name)) {
        // The menu bar shows, and opens, a menu by its action.
        menu->setEnabled(enabled);
        menu->menuAction()->setEnabled(enabled);
    }
}

void MainWindow::repaint() {
    // Paint and layout only: a click or key press waits until the run is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::showArchiveLocation(std::string_view path) {
    showPath(m_location, QStringLiteral("Archive location: "), toQString(path));
}

void MainWindow::showDataFile(std::string_view path) {
    // Once a file is listed the hint has done its work; the strip then tells where the
    // folders came from and where they go.
    showPath(m_dataFile, QStringLiteral("Folders from: "), toQString(path));
    m_hint->setVisible(path.empty());
    m_dataFile->setVisible(!path.empty());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Close Program, File > Exit and the close box all end here; the other windows are
    // unloaded once, whichever came first.
    if (!m_unloaded) {
        m_unloaded = true;
        run([this] { m_model->Form_Unload(); });
    }
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_btnExit && event->type() == QEvent::MouseMove) {
        run([this] { m_model->btnExit_MouseMove(); });
    }
    if (watched == windowHandle() && event->type() == QEvent::Expose &&
        windowHandle()->isExposed() && !m_filesToOpen.empty()) {
        windowHandle()->removeEventFilter(this);
        // After the exposure has been handled, so that the window is painted under the box.
        QTimer::singleShot(0, this, [this] {
            const auto files = std::exchange(m_filesToOpen, {});
            for (const auto& file : files) {
                openDataFile(file);
            }
        });
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (QListView* list : {m_lstSource, m_lstDestination}) {
            const auto* click = static_cast<QMouseEvent*>(event);
            if (watched == list->viewport() &&
                !list->indexAt(click->position().toPoint()).isValid()) {
                if (list == m_lstSource) {
                    run([this] { m_model->lstSource_DblClick(); });
                } else {
                    run([this] { m_model->lstDestination_DblClick(); });
                }
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- The lists ---------------------------------------------------------------------------

void MainWindow::bindList(QListView* view, app::FolderList& list) {
    // Owned by the window, not the view, so that it outlives the view's signals; removed by
    // the destructor before the model it observes.
    auto* model = new FolderListModel(list, this);
    view->setModel(model);
    // setModel made a selection model of the view's own; the list's one replaces it.
    QItemSelectionModel* made = view->selectionModel();
    view->setSelectionModel(model->selectionModel());
    delete made;
    view->setEnabled(list.enabled());
    connect(model, &FolderListModel::enabledSet, view, &QWidget::setEnabled);
}

} // namespace tvn::ui

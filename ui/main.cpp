// tallyvane: the desktop window. Arguments, if any, are data files to open at start-up, so
// that the picker shows them (as "Open Data File..." would); they are remembered like any
// file opened there.
//
// Two arguments answer without a window (and without a display): --version, and
// --help-file, which prints where Help, Contents will look for the help and exits 1 when
// the help is not there (for packagers and the install test).

#include <exception>
#include <filesystem>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

#include "app/help_and_about.h"
#include "store/failure.h"
#include "ui/main_window.h"
#include "ui/qt_message_boxes.h"
#include "ui/qt_settings_store.h"
#include "ui/qt_text.h"

namespace {

// The answer to an argument that needs no window, or -1 to start the window.
int answerWithoutWindow(int argc, char* argv[]) {
    if (argc != 2) {
        return -1;
    }
    const std::string_view argument = argv[1];
    if (argument != "--version" && argument != "--help-file") {
        return -1;
    }
    QCoreApplication core(argc, argv);
    QTextStream out(stdout);
    if (argument == "--version") {
        out << TALLYVANE_VERSION_FULL << Qt::endl;
        return 0;
    }
    const std::filesystem::path help =
        tvn::app::helpFileFor(tvn::ui::toPath(QCoreApplication::applicationDirPath()));
    out << tvn::ui::fromPath(help) << Qt::endl;
    return QFileInfo(tvn::ui::fromPath(help)).isReadable() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const int answered = answerWithoutWindow(argc, argv); answered >= 0) {
        return answered;
    }
    QApplication application(argc, argv);
    const QString title = tvn::ui::toQString(tvn::archive::kApplicationTitle);
    QApplication::setApplicationName(title);
    QApplication::setOrganizationName(title);

    tvn::ui::QtSettingsStore settings;
    tvn::ui::QtMessageBoxes boxes;
    tvn::ui::MainWindow window(boxes, settings);
    boxes.setParent(&window);

    const QStringList arguments = QApplication::arguments();
    std::vector<std::filesystem::path> files;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        files.push_back(tvn::ui::toPath(arguments[i]));
    }
    window.openDataFilesWhenShown(std::move(files));
    window.start();
    return QApplication::exec();
}

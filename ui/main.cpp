// tallyvane: the desktop window. Arguments, if any, are data files to open at start-up, so
// that the picker shows them (as "Open Data File..." would); they are remembered like any
// file opened there.

#include <exception>

#include <QApplication>
#include <QStringList>

#include "store/failure.h"
#include "ui/main_window.h"
#include "ui/qt_message_boxes.h"
#include "ui/qt_settings_store.h"
#include "ui/qt_text.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QString title = tvn::ui::toQString(tvn::archive::kApplicationTitle);
    QApplication::setApplicationName(title);
    QApplication::setOrganizationName(title);

    tvn::ui::QtSettingsStore settings;
    tvn::ui::QtMessageBoxes boxes;
    tvn::ui::MainWindow window(boxes, settings);
    boxes.setParent(&window);
    window.start();

    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        window.openDataFile(tvn::ui::toPath(arguments[i]));
    }
    return QApplication::exec();
}

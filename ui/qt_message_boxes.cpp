#include "ui/qt_message_boxes.h"

#include <QMessageBox>
#include <QString>

#include "ui/qt_text.h"

namespace tvn::ui {

namespace {

QMessageBox::Icon toQtIcon(archive::MessageIcon icon) {
    switch (icon) {
    case archive::MessageIcon::Information:
        return QMessageBox::Information;
    case archive::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case archive::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtMessageBoxes::show(std::string_view text, archive::MessageIcon icon,
                          std::string_view title) {
    QMessageBox box(toQtIcon(icon), toQString(title), toQString(text), QMessageBox::Ok,
                    m_parent.data());
    box.setObjectName(QStringLiteral("msgBox"));
    box.exec();
}

} // namespace tvn::ui

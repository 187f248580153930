#include "ui/qt_message_boxes.h"

#include <QMessageBox>
#include <QString>

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

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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

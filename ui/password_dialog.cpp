#include "ui/password_dialog.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QString>

#include "archive/error_messages.h"
#include "ui/qt_text.h"

namespace tvn::ui {

QString PasswordDialog::promptText(const std::filesystem::path& file, const QFontMetrics& metrics,
                                   int pathWidth) {
    // On a line of its own, so that a long path never pushes the sentence apart.
    return QStringLiteral("The data file\n%1\nis protected by a password.\n\nPassword:")
        .arg(metrics.elidedText(fromPath(file), Qt::ElideMiddle, pathWidth));
}

std::optional<std::string> PasswordDialog::askPassword(const std::filesystem::path& file) {
    QInputDialog dialog(m_parent.data());
    dialog.setObjectName(QStringLiteral("dlgPassword"));
    dialog.setWindowTitle(
        QString::fromUtf8(archive::kApplicationTitle.data(),
                          static_cast<qsizetype>(archive::kApplicationTitle.size())));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setLabelText(promptText(file, dialog.fontMetrics(), kPathWidth));
    dialog.setToolTip(fromPath(file));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue().toStdString();
}

} // namespace tvn::ui

#include "ui/about_box.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/app_icon.h"
#include "ui/qt_text.h"

namespace tvn::ui {

namespace {

constexpr const char* kDescription =
    "Tallyvane reads Outlook data files (.pst and .ost) directly, without Outlook, and "
    "archives the folders you choose into ordinary files: a text file for every mail with "
    "its attachments beside it, a report for every appointment, task and note, and a "
    "table of your contacts. The files stay readable with any editor, on any system, for "
    "as long as you keep them.";

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

bool QtProgramStarter::start(const std::filesystem::path& program) {
    return QProcess::startDetached(fromPath(program), {});
}

AboutBox::AboutBox(archive::MessageBoxes& boxes, app::ProgramStarter& starter, QWidget* parent)
    : QDialog(parent), m_boxes(boxes), m_starter(starter) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + toQString(archive::kApplicationTitle));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picIcon"));
    picture->setPixmap(appPicture(64));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* title = new QLabel(toQString(archive::kApplicationTitle), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    auto* version = new QLabel(toQString(app::versionLine()), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* description = new QLabel(QString::fromLatin1(kDescription), this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);
    // A wrapped label has no width of its own; this one decides the box's width, and the
    // fixed-size layout then gives it the height its lines need.
    description->setFixedWidth(340);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setAutoDefault(false);

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    text->addSpacing(8);
    text->addWidget(description);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(separator(this));
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(sysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(); });
}

void AboutBox::StartSysInfo() {
    app::StartSysInfo(qEnvironmentVariable("PATH").toStdString(), m_starter, m_boxes);
}

void AboutOpener::open() {
    AboutBox box(m_boxes, m_starter, m_parent);
    box.exec();
}

} // namespace tvn::ui

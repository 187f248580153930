#include "ui/help_window.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "archive/error_messages.h"
#include "ui/app_icon.h"
#include "ui/qt_text.h"

namespace tvn::ui {

namespace {

QPushButton* navigationButton(QWidget* parent, const char* name, const QString& caption,
                              QStyle::StandardPixmap icon) {
    auto* button = new QPushButton(parent->style()->standardIcon(icon), caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

HelpWindow::HelpWindow(app::LoadedWindows& windows, QWidget* parent)
    : QWidget(parent, Qt::Window), m_windows(windows) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(toQString(archive::kApplicationTitle) + QStringLiteral(" Help"));
    setWindowIcon(appIcon());

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    m_browser->setOpenExternalLinks(true);

    auto* contents =
        navigationButton(this, "cmdContents", QStringLiteral("&Contents"), QStyle::SP_DirHomeIcon);
    auto* back = navigationButton(this, "cmdBack", QStringLiteral("&Back"), QStyle::SP_ArrowBack);
    auto* forward =
        navigationButton(this, "cmdForward", QStringLiteral("&Forward"), QStyle::SP_ArrowForward);
    back->setEnabled(false);
    forward->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser, 1);

    connect(contents, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString topic = m_browser->documentTitle();
        setWindowTitle(toQString(archive::kApplicationTitle) + QStringLiteral(" Help") +
                       (topic.isEmpty() ? QString() : QStringLiteral(" - ") + topic));
    });
    resize(760, 640);
}

bool HelpWindow::showHelp(const std::filesystem::path& firstTopic) {
    const QString file = fromPath(firstTopic);
    QFile probe(file);
    if (!QFileInfo(file).isFile() || !probe.open(QIODevice::ReadOnly) || probe.size() == 0) {
        return false;
    }
    probe.close();
    m_browser->setSearchPaths({QFileInfo(file).absolutePath()});
    m_browser->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    m_windows.loaded(*this);
    show();
    raise();
    activateWindow();
    return true;
}

HelpWindow::~HelpWindow() {
    m_windows.unloaded(*this);
}

void HelpWindow::unloadWindow() {
    m_windows.unloaded(*this);
    close();
}

} // namespace tvn::ui

#include "ui/progress_window.h"

#include <algorithm>
#include <cmath>

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace tvn::ui {

namespace {

constexpr double kTwipsPerInch = 1440.0;

} // namespace

ProgressBarWindow::ProgressBarWindow(archive::SettingsStore& settings, app::LoadedWindows& windows,
                                     QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint),
      m_settings(settings), m_windows(windows) {
    setObjectName(QStringLiteral("frmProgressBar"));
    m_label = new QLabel(QStringLiteral("TVN is archiving your files..."), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setAlignment(Qt::AlignCenter);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
}

ProgressBarWindow::~ProgressBarWindow() {
    m_windows.unloaded(*this);
}

double ProgressBarWindow::pixelsPerTwip() const {
    const QScreen* shownOn = screen();
    const double dpi = shownOn != nullptr ? shownOn->logicalDotsPerInch() : 96.0;
    return dpi / kTwipsPerInch;
}

void ProgressBarWindow::load() {
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    m_windows.loaded(*this);
    QWidget::show();
    const app::TwipsRect place = app::loadProgressPlace(m_settings);
    const double scale = pixelsPerTwip();
    const auto px = [scale](double twips) { return static_cast<int>(std::lround(twips * scale)); };
    // The stored rectangle is the outer one, title bar and borders included.
    QMargins frame;
    if (const QWindow* window = windowHandle()) {
        frame = window->frameMargins();
    }
    move(px(place.left), px(place.top));
    resize(std::max(1, px(place.width) - frame.left() - frame.right()),
           std::max(1, px(place.height) - frame.top() - frame.bottom()));
    setWindowTitle(QStringLiteral("TVN Progress Bar"));
}

void ProgressBarWindow::setMinimum(int value) {
    load();
    m_bar->setMinimum(value);
}

void ProgressBarWindow::setMaximum(int value) {
    load();
    m_bar->setMaximum(value);
}

void ProgressBarWindow::showModeless() {
    load();
    QWidget::show();
}

void ProgressBarWindow::activate() {
    load();
    raise();
    activateWindow();
}

void ProgressBarWindow::setVisible(bool visible) {
    // Also how Qt itself shows and hides the window: showing an unloaded window loads it
    // first (loading shows it again, which then passes straight through).
    if (visible) {
        load();
    }
    QWidget::setVisible(visible);
}

void ProgressBarWindow::setValue(int value) {
    load();
    m_bar->setValue(value);
}

void ProgressBarWindow::unloadWindow() {
    m_windows.unloaded(*this);
    m_windows.unloadAllInReverse();
    if (m_loaded && !isMinimized()) {
        const QRect outer = frameGeometry();
        const double scale = pixelsPerTwip();
        const auto twips = [scale](int pixels) { return std::round(pixels / scale); };
        app::storeProgressPlace(m_settings, {twips(outer.x()), twips(outer.y()),
                                             twips(outer.width()), twips(outer.height())});
    }
    m_loaded = false;
    QWidget::hide();
}

void ProgressBarWindow::closeEvent(QCloseEvent* event) {
    // The window has no close box; should the window system close it anyway, it only
    // hides, as between runs.
    event->ignore();
    hide();
}

} // namespace tvn::ui

#include "app/main_view.h"

#include <algorithm>

namespace tvn::app {

void LoadedWindows::loaded(LoadedWindow& window) {
    if (!isLoaded(window)) {
        m_windows.push_back(&window);
    }
}

void LoadedWindows::unloaded(LoadedWindow& window) {
    m_windows.erase(std::remove(m_windows.begin(), m_windows.end(), &window), m_windows.end());
}

bool LoadedWindows::isLoaded(const LoadedWindow& window) const {
    return std::find(m_windows.begin(), m_windows.end(), &window) != m_windows.end();
}

void LoadedWindows::unloadAllInReverse() {
    // A snapshot, because unloading one window may unload or load others; a window that
    // is gone by its turn is skipped.
    const std::vector<LoadedWindow*> snapshot = m_windows;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        LoadedWindow* window = *it;
        if (!isLoaded(*window)) {
            continue;
        }
        unloaded(*window);
        window->unloadWindow();
    }
}

} // namespace tvn::app

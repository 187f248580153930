#pragma once

// What the main-window model needs from the window that shows it. The Qt main window
// implements MainWindowView; tests implement it with a recorder. Nothing here may throw
// except where a test makes it fail on purpose (a failing step is then reported by the
// handler's trap, like any other failure).

#include <string_view>
#include <vector>

namespace tvn::app {

class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    // Form_Load step 1 and the end of the picker: make the window visible.
    virtual void showWindow() = 0;
    // Restore the window from minimised to its normal state (after the picker).
    virtual void restoreNormal() = 0;
    // Bring the window to the front and give it the focus.
    virtual void activate() = 0;
    virtual void setCaption(std::string_view caption) = 0;
    // The texts of txtListed and txtSelected ("3 Folder(s)"); called by the count
    // refreshers txtListed_Change and txtSelected_Change, whether or not the text changed.
    virtual void setCountTexts(std::string_view listed, std::string_view selected) = 0;
    // Close the main window. The view must then call FrmMain::Form_Unload (as it does for
    // the close box) before the window goes away.
    virtual void closeWindow() = 0;
    // btnExit_MouseMove: set the screen-wide mouse pointer back to the default arrow.
    virtual void resetMousePointer() = 0;

    // ---- During an archive run ---------------------------------------------------------
    // The screen-wide mouse pointer as the hourglass (true) or the default arrow (false).
    virtual void setHourglass(bool on) = 0;
    // Enables or disables one command, by the name of its control ("btnCreate",
    // "mnuCreateFiles", "mnuTools" for the whole Tools menu).
    virtual void setCommandEnabled(std::string_view control, bool enabled) = 0;
    // Lets the windows repaint without handling any user input (called between folders and
    // items of a run, which keeps the one thread busy).
    virtual void repaint() = 0;
    // The archive root the next run writes to, for the user to see.
    virtual void showArchiveLocation(std::string_view path) = 0;
    // The data file the folder list was read from last; empty when the lists were cleared.
    virtual void showDataFile(std::string_view path) = 0;
};

// The progress window of a run, as the run drives it.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    // The first use loads the window (it then shows itself at its remembered place); a
    // stored place that is not a number throws tvn::Failure 13 from that first use.
    virtual void setMinimum(int value) = 0;
    virtual void setMaximum(int value) = 0;
    // Shown modeless, activated, made visible.
    virtual void showModeless() = 0;
    virtual void activate() = 0;
    virtual void setVisible(bool visible) = 0;
    virtual void setValue(int value) = 0;
};

// A secondary window the main window opens from its menu (the archive-location dialog, the
// help viewer, the About box). A modal one returns when the user has closed it; the main
// window takes no input meanwhile.
class WindowOpener {
public:
    virtual ~WindowOpener() = default;
    virtual void open() = 0;
};

// A window of the program other than the main window (the progress window, the
// archive-location dialog, the About box) while it is loaded.
class LoadedWindow {
public:
    virtual ~LoadedWindow() = default;
    // Close and unload the window (the progress window stores its place here). The window
    // calls LoadedWindows::unloaded itself, or not at all: either is safe.
    virtual void unloadWindow() = 0;
};

// The loaded windows in the order they were loaded; the main window is not among them.
// Form_Unload closes them in reverse order.
class LoadedWindows final {
public:
    // A window that is already listed keeps its place. Not owned: the window must call
    // unloaded() before it is destroyed.
    void loaded(LoadedWindow& window);
    void unloaded(LoadedWindow& window);
    bool isLoaded(const LoadedWindow& window) const;
    int count() const { return static_cast<int>(m_windows.size()); }

    // Unloads every listed window, the last loaded first. A window loaded while this runs
    // is not unloaded.
    void unloadAllInReverse();

private:
    std::vector<LoadedWindow*> m_windows;
};

} // namespace tvn::app

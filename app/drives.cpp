#include "app/drives.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tvn::app {

namespace {

// /proc/self/mounts writes blanks, tabs, newlines and backslashes in mount points as
// three octal digits after a backslash.
std::string unescapeMountPoint(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text.size() - i > 3 && text[i + 1] >= '0' && text[i + 1] <= '3' &&
            text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
            out.push_back(static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                            (text[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Where users' own disks are mounted. Everything else under /run, and /proc, /sys, /dev,
// /boot, /snap, /var, belongs to the system.
bool isUserMountPoint(std::string_view point) {
    if (point == "/" || point == "/home") {
        return true;
    }
    for (const std::string_view parent : {"/media/", "/mnt/", "/run/media/"}) {
        if (startsWith(point, parent) && point.size() > parent.size()) {
            return true;
        }
    }
    return false;
}

// Compressed images (snap packages), automounter placeholders and the like are no place to
// save files in.
bool isUserFileSystem(std::string_view type) {
    for (const std::string_view system :
         {"squashfs", "autofs", "proc", "sysfs", "devtmpfs", "devpts", "tmpfs", "overlay", "cgroup",
          "cgroup2", "nsfs", "fuse.snapfuse", "fuse.portal", "tracefs", "debugfs"}) {
        if (type == system) {
            return false;
        }
    }
    return true;
}

bool isReadOnly(std::string_view options) {
    std::size_t start = 0;
    while (start <= options.size()) {
        const std::size_t comma = std::min(options.find(',', start), options.size());
        if (options.substr(start, comma - start) == "ro") {
            return true;
        }
        start = comma + 1;
    }
    return false;
}

void addOnce(std::vector<Drive>& drives, Drive drive) {
    const auto same = [&](const Drive& d) { return d.root == drive.root; };
    if (std::none_of(drives.begin(), drives.end(), same)) {
        drives.push_back(std::move(drive));
    }
}

} // namespace

std::vector<Drive> drivesFromMounts(std::string_view mountsText, std::string_view home) {
    std::vector<Drive> drives;
    std::vector<Drive> mounts;
    std::string rootType;
    std::istringstream lines{std::string(mountsText)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string device, point, type, options;
        if (!(fields >> device >> point >> type >> options)) {
            continue;
        }
        point = unescapeMountPoint(point);
        if (!isUserMountPoint(point) || !isUserFileSystem(type) || isReadOnly(options)) {
            continue;
        }
        if (point == "/") {
            rootType = type;
            continue;
        }
        addOnce(mounts, Drive{point, point + " (" + type + ")"});
    }
    drives.push_back(Drive{"/", rootType.empty() ? "/" : "/ (" + rootType + ")"});
    if (!home.empty() && home != "/") {
        std::string root(home);
        while (root.size() > 1 && root.back() == '/') {
            root.pop_back();
        }
        addOnce(drives, Drive{root, "Home (" + root + ")"});
    }
    for (Drive& mount : mounts) {
        addOnce(drives, std::move(mount));
    }
    return drives;
}

std::vector<Drive> userDrives() {
#ifdef _WIN32
    std::vector<Drive> drives;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        std::error_code ec;
        if (std::filesystem::exists(root, ec)) {
            drives.push_back(Drive{root, root});
        }
    }
    return drives;
#else
    std::ifstream in("/proc/self/mounts");
    const std::string text(std::istreambuf_iterator<char>(in), {});
    const char* home = std::getenv("HOME");
    return drivesFromMounts(text, home == nullptr ? "" : home);
#endif
}

} // namespace tvn::app

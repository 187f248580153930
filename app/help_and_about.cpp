#include "app/help_and_about.h"

#include <system_error>

#include <fmt/format.h>

#ifndef TALLYVANE_VERSION_FULL
#error "TALLYVANE_VERSION_FULL (major.minor.revision) comes from the project version in CMake"
#endif

namespace tvn::app {

namespace fs = std::filesystem;

fs::path helpFileFor(const fs::path& programDir) {
    const fs::path beside = programDir / "help" / "index.html";
    const fs::path installed =
        programDir.parent_path() / "share" / "tallyvane" / "help" / "index.html";
    std::error_code ec;
    if (!fs::exists(beside, ec) && fs::exists(installed, ec)) {
        return installed;
    }
    return beside;
}

std::string versionLine() {
    return fmt::format("Version {}", TALLYVANE_VERSION_FULL);
}

const std::vector<std::string_view>& systemInfoPrograms() {
    static const std::vector<std::string_view> programs = {
#ifdef _WIN32
        "msinfo32.exe",
#else
        "hardinfo2", "hardinfo", "kinfocenter", "gnome-system-monitor", "xfce4-taskmanager",
#endif
    };
    return programs;
}

std::optional<fs::path> findProgram(std::string_view name, std::string_view searchPath) {
#ifdef _WIN32
    constexpr char kListSeparator = ';';
#else
    constexpr char kListSeparator = ':';
#endif
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        const std::size_t end = std::min(searchPath.find(kListSeparator, start), searchPath.size());
        const std::string_view dir = searchPath.substr(start, end - start);
        start = end + 1;
        // An empty entry would mean the current directory: never a place to run programs from.
        if (dir.empty()) {
            continue;
        }
        const fs::path candidate = fs::path(dir) / name;
        std::error_code ec;
        const auto status = fs::status(candidate, ec);
        if (!ec && fs::is_regular_file(status) &&
            (status.permissions() & (fs::perms::owner_exec | fs::perms::group_exec |
                                     fs::perms::others_exec)) != fs::perms::none) {
            return candidate;
        }
    }
    return std::nullopt;
}

void StartSysInfo(std::string_view searchPath, ProgramStarter& starter,
                  archive::MessageBoxes& boxes) {
    for (const std::string_view name : systemInfoPrograms()) {
        if (const auto program = findProgram(name, searchPath)) {
            if (starter.start(*program)) {
                return;
            }
        }
    }
    boxes.show(kSysInfoUnavailable, archive::MessageIcon::None, archive::kApplicationTitle);
}

} // namespace tvn::app

#pragma once

// Help, Contents and the About box without Qt: where the help ships, the version line, and
// finding and starting a system-information program.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/error_messages.h"

namespace tvn::app {

// Shows the help at its first topic. False when no help window could be opened (the file
// is missing or unreadable); the caller then says so.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual bool showHelp(const std::filesystem::path& firstTopic) = 0;
};

// The help's first topic, in the folder "help" beside the program. An installed program
// lives in <prefix>/bin with its help in <prefix>/share/tallyvane/help, which is looked at
// second. When neither exists, the first place (so that the failure names where the help
// belongs).
std::filesystem::path helpFileFor(const std::filesystem::path& programDir);

// "Version 2.81.6": major, minor and revision of this build.
std::string versionLine();

inline constexpr std::string_view kSysInfoUnavailable =
    "System Information Is Unavailable At This Time";

// Starts a program with no arguments, detached; false when it could not be started.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    virtual bool start(const std::filesystem::path& program) = 0;
};

// The system-information programs of the usual desktops, the most informative first.
const std::vector<std::string_view>& systemInfoPrograms();

// The first executable file called name in the directories of searchPath (the text of
// PATH: directories separated by ':', or ';' on Windows).
std::optional<std::filesystem::path> findProgram(std::string_view name,
                                                 std::string_view searchPath);

// The About box's System Info: starts the first system-information program found on
// searchPath; when there is none, or none starts, says that none is available.
void StartSysInfo(std::string_view searchPath, ProgramStarter& starter,
                  archive::MessageBoxes& boxes);

} // namespace tvn::app

cmake_minimum_required(VERSION 3.25)

# Installs the build into a fresh temporary prefix and checks the installed tree: both
# programs, the help under share/ (and that the installed window finds it), the desktop
# entry and icon that put the window into the desktop's menu, and the manual page.
# Run with -DBUILD_DIR=... -DPREFIX=...

foreach(var BUILD_DIR PREFIX)
    if(NOT ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${status}):\n${output}")
endif()

set(expected
    bin/tallyvane
    bin/tallyvane-cli
    share/tallyvane/help/index.html
    share/tallyvane/help/opening.html
    share/tallyvane/help/output.html
    share/tallyvane/help/images/main_window_listed.png
    share/applications/tallyvane.desktop
    share/icons/hicolor/256x256/apps/tallyvane.png
    share/man/man1/tallyvane-cli.1)
foreach(file IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
# Both programs run from where they were installed.
execute_process(COMMAND "${PREFIX}/bin/tallyvane-cli" --help
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "installed tallyvane-cli --help failed (${status}):\n${output}")
endif()

# The desktop entry starts the installed program by name and shows the installed icon.
file(STRINGS "${PREFIX}/share/applications/tallyvane.desktop" entry)
foreach(line "Type=Application" "Exec=tallyvane %F" "Icon=tallyvane" "Name=Tallyvane")
    if(NOT line IN_LIST entry)
        message(FATAL_ERROR "the desktop entry lacks \"${line}\"")
    endif()
endforeach()
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
    execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}"
                            "${PREFIX}/share/applications/tallyvane.desktop"
                    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "desktop-file-validate:\n${output}")
    endif()
endif()

# The installed window finds the installed help (asked without opening a window).
execute_process(COMMAND "${PREFIX}/bin/tallyvane" --help-file
                RESULT_VARIABLE status OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
file(REAL_PATH "${PREFIX}/share/tallyvane/help/index.html" installedHelp)
if(EXISTS "${found}")
    file(REAL_PATH "${found}" found)
endif()
if(NOT status EQUAL 0 OR NOT found STREQUAL installedHelp)
    message(FATAL_ERROR "the installed window looks for its help at \"${found}\" (${status}), "
                        "not at ${installedHelp}")
endif()

execute_process(COMMAND "${PREFIX}/bin/tallyvane" --version
                RESULT_VARIABLE status OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0 OR NOT version STREQUAL "${PROJECT_VERSION}")
    message(FATAL_ERROR "installed tallyvane --version gave \"${version}\" (${status})")
endif()

# The manual page is well-formed enough for man to render.
find_program(MAN man)
if(MAN)
    execute_process(COMMAND "${MAN}" -l "${PREFIX}/share/man/man1/tallyvane-cli.1"
                    RESULT_VARIABLE status OUTPUT_VARIABLE page ERROR_VARIABLE problems)
    if(NOT status EQUAL 0 OR NOT page MATCHES "tallyvane-cli archive")
        message(FATAL_ERROR "man -l tallyvane-cli.1 (${status}):\n${problems}")
    endif()
endif()

file(REMOVE_RECURSE "${PREFIX}")

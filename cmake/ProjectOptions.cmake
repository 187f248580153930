# Build options every first-party target links: warnings as errors and, in the
# sanitizer preset, the sanitizer flags. Kept in interface targets so that third-party
# code never sees them.
add_library(tallyvane_warnings INTERFACE)
target_compile_options(tallyvane_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual -Werror)

# GCC 12 reports a bogus -Wrestrict overlap inside std::string when a literal is prepended
# to a temporary at -O2/-O3 (GCC bug 105329); it stays a warning there instead of failing
# the build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(tallyvane_warnings INTERFACE -Wno-error=restrict)
endif()

add_library(tallyvane_options INTERFACE)
target_link_libraries(tallyvane_options INTERFACE tallyvane_warnings)
target_include_directories(tallyvane_options INTERFACE ${PROJECT_SOURCE_DIR})

option(TALLYVANE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(TALLYVANE_SANITIZE)
    set(_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    # Applied globally so that test frameworks and first-party code agree on the runtime.
    add_compile_options(${_san})
    add_link_options(${_san})
    add_compile_definitions(_GLIBCXX_ASSERTIONS)
endif()

# A first-party library: one per layer.
function(tallyvane_library name)
    add_library(${name} ${ARGN})
    target_link_libraries(${name} PUBLIC tallyvane_options)
endfunction()

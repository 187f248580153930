# Fails when a part of the .pst reader includes a header of a part above it. Run at
# configure time (from CheckLayering) and as a build step whenever a reader file changes
# (cmake -DTALLYVANE_SOURCE_DIR=... -P CheckReaderIncludes.cmake).
#
# Parts, lowest first, and what each may include of the reader and of the .msg writer:
#   base       store/pst/byte_reader.h, store/pst/read_error.*
#   ndb        base, ndb
#   ltp        base, ndb, ltp
#   body       base, ndb, body
#   messaging  base, ndb, ltp, body, messaging
#   backend    everything above, the reader's top files (pst_file, folder_walk) and store/msg
cmake_policy(SET CMP0057 NEW)
if(NOT TALLYVANE_SOURCE_DIR)
    message(FATAL_ERROR "CheckReaderIncludes: TALLYVANE_SOURCE_DIR is not set")
endif()

set(_pst "${TALLYVANE_SOURCE_DIR}/store/pst")
set(_allowed_base base)
set(_allowed_ndb base ndb)
set(_allowed_ltp base ndb ltp)
set(_allowed_body base ndb body)
set(_allowed_messaging base ndb ltp body messaging)
set(_allowed_backend base ndb ltp body messaging backend top msg)
set(_allowed_top ${_allowed_backend})

# The part a path under store/ belongs to ("" for files outside the reader and store/msg).
function(_reader_part path out)
    if(path MATCHES "^store/pst/(ndb|ltp|body|messaging|backend)/")
        set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
    elseif(path MATCHES "^store/pst/(byte_reader|read_error)\\.")
        set(${out} base PARENT_SCOPE)
    elseif(path MATCHES "^store/pst/")
        set(${out} top PARENT_SCOPE)
    elseif(path MATCHES "^store/msg/")
        set(${out} msg PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
    endif()
endfunction()

file(GLOB_RECURSE _reader_files RELATIVE "${TALLYVANE_SOURCE_DIR}" "${_pst}/*.h" "${_pst}/*.cpp")
set(_upward "")
foreach(_file IN LISTS _reader_files)
    _reader_part("${_file}" _from)
    file(STRINGS "${TALLYVANE_SOURCE_DIR}/${_file}" _lines
         REGEX "^[ \t]*#[ \t]*include[ \t]*\"store/(pst|msg)/")
    foreach(_line IN LISTS _lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" _header "${_line}")
        _reader_part("${_header}" _to)
        if(NOT _to IN_LIST _allowed_${_from})
            string(APPEND _upward "\n  ${_file} (${_from}) includes ${_header} (${_to})")
        endif()
    endforeach()
endforeach()
if(_upward)
    message(FATAL_ERROR "The reader's layers include upward; each part may include only the "
                        "parts below it (base, ndb, ltp and body, messaging, backend):${_upward}")
endif()

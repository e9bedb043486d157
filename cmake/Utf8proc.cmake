# utf8proc, for Unicode normalisation and case mapping, as the target
# mivet::utf8proc. With MIVET_UTF8PROC_SOURCE_DIR set (the macOS cross builds:
# scripts/setup.sh fetches Debian's source package into .deps/utf8proc), its
# one C file is compiled into a static library for the target. Otherwise the
# installed library is used: in each folder searched, the static library comes
# first, so that where there is one (Debian's) serving MCP loads nothing of it
# at start-up; Homebrew builds the shared one only, which is then linked.
set(MIVET_UTF8PROC_SOURCE_DIR "" CACHE PATH
    "utf8proc source tree whose utf8proc.c is compiled into the programs")

if(MIVET_UTF8PROC_SOURCE_DIR)
  if(NOT EXISTS "${MIVET_UTF8PROC_SOURCE_DIR}/utf8proc.c")
    message(FATAL_ERROR "MIVET_UTF8PROC_SOURCE_DIR: no utf8proc.c in "
                        "'${MIVET_UTF8PROC_SOURCE_DIR}' (scripts/setup.sh fetches it)")
  endif()
  # utf8proc.c includes utf8proc_data.c itself.
  add_library(mivet_utf8proc STATIC "${MIVET_UTF8PROC_SOURCE_DIR}/utf8proc.c")
  target_compile_definitions(mivet_utf8proc PUBLIC UTF8PROC_STATIC)
  target_include_directories(mivet_utf8proc SYSTEM PUBLIC "${MIVET_UTF8PROC_SOURCE_DIR}")
  add_library(mivet::utf8proc ALIAS mivet_utf8proc)
  message(STATUS "utf8proc: compiled from ${MIVET_UTF8PROC_SOURCE_DIR}")
  return()
endif()

find_path(UTF8PROC_INCLUDE_DIR utf8proc.h REQUIRED)
find_library(UTF8PROC_LIBRARY NAMES libutf8proc.a utf8proc NAMES_PER_DIR REQUIRED)
add_library(mivet::utf8proc UNKNOWN IMPORTED)
set_target_properties(mivet::utf8proc PROPERTIES
  IMPORTED_LOCATION "${UTF8PROC_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${UTF8PROC_INCLUDE_DIR}")

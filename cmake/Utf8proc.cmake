# utf8proc, for Unicode normalisation and case mapping, as the imported target
# mivet::utf8proc. In each folder searched, the static library comes first,
# so that where there is one (Debian's) serving MCP loads nothing of it at
# start-up; Homebrew builds the shared one only, which is then linked.
find_path(UTF8PROC_INCLUDE_DIR utf8proc.h REQUIRED)
find_library(UTF8PROC_LIBRARY NAMES libutf8proc.a utf8proc NAMES_PER_DIR REQUIRED)
add_library(mivet::utf8proc UNKNOWN IMPORTED)
set_target_properties(mivet::utf8proc PROPERTIES
  IMPORTED_LOCATION "${UTF8PROC_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${UTF8PROC_INCLUDE_DIR}")

# toml++ compiled from the installed headers into a small static library,
# target mivet_tomlplusplus: nothing of it is loaded at start-up, and its code
# is only touched when a TOML file is checked. The package supplies only the
# include path; its shared library is not linked.
#
# Like the packaged library, this code is built without the project's warnings
# and sanitizers, and with the parser's internal assertions off: malformed
# files reach one of them and a case the parser marks unreachable (found by
# config_edits_fuzzer), and a check must answer "invalid", not abort.
if(CMAKE_CROSSCOMPILING)
  # The build machine's header folder also holds its C library's headers,
  # which a compiler for another system must not see: the toml++ headers are
  # copied into a folder of their own.
  find_path(MIVET_TOMLPLUSPLUS_INCLUDE_DIR toml++/toml.h REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(mivetTomlIncludeDirs "${CMAKE_BINARY_DIR}/tomlplusplus-headers")
  file(COPY "${MIVET_TOMLPLUSPLUS_INCLUDE_DIR}/toml++" DESTINATION "${mivetTomlIncludeDirs}")
else()
  find_package(tomlplusplus REQUIRED)
  get_target_property(mivetTomlIncludeDirs tomlplusplus::tomlplusplus INTERFACE_INCLUDE_DIRECTORIES)
endif()
add_library(mivet_tomlplusplus STATIC ${CMAKE_CURRENT_LIST_DIR}/toml_implementation.cpp)
target_include_directories(mivet_tomlplusplus SYSTEM PUBLIC ${mivetTomlIncludeDirs})
target_compile_definitions(mivet_tomlplusplus PUBLIC TOML_HEADER_ONLY=0)
# TOML_ASSERT(condition) becomes static_cast<void>(condition); without NDEBUG,
# the parser's assumptions become those no-op assertions too, not optimiser hints.
target_compile_definitions(mivet_tomlplusplus PRIVATE TOML_ASSERT=static_cast<void>)
target_compile_options(mivet_tomlplusplus PRIVATE -UNDEBUG $<$<CONFIG:Debug>:-O2>)

# simdjson, as the target simdjson::simdjson. With MIVET_SIMDJSON_SOURCE_DIR
# set (scripts/setup.sh fetches Debian's source package into .deps/simdjson),
# its single-file amalgamation is compiled into a static library, so the
# programs load no simdjson library at start-up. Otherwise the installed
# package is used (Homebrew's on macOS).
set(MIVET_SIMDJSON_SOURCE_DIR "" CACHE PATH
    "simdjson source tree whose singleheader/simdjson.cpp is compiled into the programs")

if(MIVET_SIMDJSON_SOURCE_DIR)
  set(mivetSimdjsonDir "${MIVET_SIMDJSON_SOURCE_DIR}/singleheader")
  if(NOT EXISTS "${mivetSimdjsonDir}/simdjson.cpp" OR NOT EXISTS "${mivetSimdjsonDir}/simdjson.h")
    message(FATAL_ERROR "MIVET_SIMDJSON_SOURCE_DIR: no singleheader/simdjson.cpp and .h in "
                        "'${MIVET_SIMDJSON_SOURCE_DIR}' (scripts/setup.sh fetches them)")
  endif()
  add_library(mivet_simdjson STATIC "${mivetSimdjsonDir}/simdjson.cpp")
  # Third-party code: none of the project's warnings, and optimised even in
  # Debug builds, where the tests would otherwise parse at a crawl.
  target_include_directories(mivet_simdjson SYSTEM PUBLIC "${mivetSimdjsonDir}")
  target_compile_options(mivet_simdjson PRIVATE $<$<CONFIG:Debug>:-O2>)
  add_library(simdjson::simdjson ALIAS mivet_simdjson)
  message(STATUS "simdjson: compiled from ${mivetSimdjsonDir}")
else()
  find_package(simdjson REQUIRED)
endif()

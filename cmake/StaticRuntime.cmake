# The C++ runtime linked into the shipped programs (-static-libstdc++
# -static-libgcc), so that on Linux they load nothing but the C library:
# a faster start, and a binary that runs on another machine as it is. macOS
# has its C++ runtime in the system, where loading it costs little.
# AUTO means on for Linux release builds (every build type but Debug) that
# compile simdjson in: a shared simdjson brings the shared runtime anyway, and
# two runtimes in one process are asking for trouble. Sanitizer and fuzzer
# builds keep the shared runtime, whose allocation functions the sanitizers replace.
set(MIVET_STATIC_CXX_RUNTIME AUTO CACHE STRING
    "Link the C++ runtime statically into the programs: AUTO (Linux, not Debug, simdjson compiled in), ON or OFF")
set_property(CACHE MIVET_STATIC_CXX_RUNTIME PROPERTY STRINGS AUTO ON OFF)

if(MIVET_STATIC_CXX_RUNTIME STREQUAL "AUTO")
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug"
     AND MIVET_SIMDJSON_SOURCE_DIR)
    set(MIVET_STATIC_CXX_RUNTIME_IN_EFFECT ON)
  else()
    set(MIVET_STATIC_CXX_RUNTIME_IN_EFFECT OFF)
  endif()
else()
  set(MIVET_STATIC_CXX_RUNTIME_IN_EFFECT ${MIVET_STATIC_CXX_RUNTIME})
endif()
if(MIVET_STATIC_CXX_RUNTIME_IN_EFFECT AND (MIVET_SANITIZE OR MIVET_FUZZ))
  message(STATUS "C++ runtime: shared, as sanitizers need it")
  set(MIVET_STATIC_CXX_RUNTIME_IN_EFFECT OFF)
endif()

# Call once the program targets exist.
function(mivet_link_cxx_runtime_statically)
  if(NOT MIVET_STATIC_CXX_RUNTIME_IN_EFFECT)
    return()
  endif()
  foreach(program IN LISTS ARGN)
    if(TARGET ${program})
      target_link_options(${program} PRIVATE -static-libstdc++ -static-libgcc)
    endif()
  endforeach()
  list(JOIN ARGN ", " programs)
  message(STATUS "C++ runtime: linked statically into ${programs}")
endfunction()

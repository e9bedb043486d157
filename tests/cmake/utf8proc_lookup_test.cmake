# Configures utf8proc_lookup/ against fake prefixes laid out like Homebrew's
# (include/ and lib/ in a folder of their own), with the system's utf8proc
# hidden, and checks which header folder and library each lookup takes.
# Usage: cmake -DMIVET_SOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -P utf8proc_lookup_test.cmake

# Makes a prefix holding utf8proc.h and the given library files.
function(fake_prefix name)
  file(WRITE "${WORK_DIR}/${name}/include/utf8proc.h" "")
  foreach(library IN LISTS ARGN)
    file(WRITE "${WORK_DIR}/${name}/lib/${library}" "")
  endforeach()
endfunction()

# Configures with `prefixes` searched; `expected` is what the lookup prints,
# or "fails" when configuring must stop for want of utf8proc.
function(check_lookup case prefixes expected)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S "${MIVET_SOURCE_DIR}/tests/cmake/utf8proc_lookup"
            -B "${WORK_DIR}/build-${case}" -G "${GENERATOR}"
            "-DMIVET_SOURCE_DIR=${MIVET_SOURCE_DIR}" "-DMIVET_TEST_PREFIXES=${prefixes}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(expected STREQUAL "fails")
    if(status EQUAL 0 OR NOT output MATCHES "UTF8PROC_INCLUDE_DIR")
      message(SEND_ERROR "${case}: configuring should stop without utf8proc:\n${output}")
    endif()
  elseif(NOT output MATCHES "utf8proc found: ([^\n]*)" OR NOT CMAKE_MATCH_1 STREQUAL expected)
    message(SEND_ERROR "${case}: expected '${expected}', got:\n${output}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
fake_prefix(both libutf8proc.a libutf8proc.so)
fake_prefix(shared libutf8proc.so)
set(w "${WORK_DIR}")

# A lookup that found the system's copy would make these pass for the wrong
# reason: the first row shows that copy is out of reach.
check_lookup(nothing_added "" fails)
check_lookup(static_first "${w}/both" "${w}/both/include ${w}/both/lib/libutf8proc.a")
check_lookup(shared_only "${w}/shared" "${w}/shared/include ${w}/shared/lib/libutf8proc.so")
check_lookup(missing_skipped "${w}/absent;${w}/shared;${w}/both"
             "${w}/shared/include ${w}/shared/lib/libutf8proc.so")

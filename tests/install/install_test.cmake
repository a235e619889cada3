# Installs the build tree BUILD_DIR under PREFIX (emptied first), checks
# the installed files against SOURCE_DIR and runs the programs of PROGRAMS
# with the installed runner and with BUILD_RUNNER. Every path is absolute:
# the test does not depend on the folder it is started in.
cmake_minimum_required(VERSION 3.20)

foreach(var SOURCE_DIR BUILD_DIR PREFIX BUILD_RUNNER PROGRAMS)
  if(NOT IS_ABSOLUTE "${${var}}")
    message(FATAL_ERROR "${var} must be an absolute path, got '${${var}}'")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
if(EXISTS "${PREFIX}")
  message(FATAL_ERROR "cannot empty ${PREFIX}")
endif()

execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  WORKING_DIRECTORY "${BUILD_DIR}"
  OUTPUT_VARIABLE install_out
  ERROR_VARIABLE install_err
  RESULT_VARIABLE install_status)
if(NOT install_status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${install_status}):\n${install_out}${install_err}")
endif()

set(failed FALSE)
foreach(f bin/tavro-run bin/core.DLL bin/core.tvr bin/default.ini
          Languages/English/Errors.txt Examples/turtle_spiral.tvr include/tavro/tavro.h include/tavro/tavro_kit.h)
  if(NOT EXISTS "${PREFIX}/${f}" OR IS_DIRECTORY "${PREFIX}/${f}")
    message("missing from the installation: ${f}")
    set(failed TRUE)
  endif()
endforeach()
# The runner must be executable as installed; the installed library
# program and configuration are the ones of the source tree.
if(EXISTS "${PREFIX}/bin/tavro-run")
  file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${PREFIX}/bin/tavro-run"
    UNRESOLVED_DEPENDENCIES_VAR unresolved
    PRE_EXCLUDE_REGEXES "^ld-linux")
  if(unresolved)
    message("installed tavro-run needs libraries it cannot find: ${unresolved}")
    set(failed TRUE)
  endif()
  # and must not reach back into the build tree for them
  file(READ_ELF "${PREFIX}/bin/tavro-run" RPATH rpath RUNPATH runpath)
  string(FIND "${rpath};${runpath}" "${BUILD_DIR}" at)
  if(NOT at EQUAL -1)
    message("installed tavro-run searches the build tree: ${rpath}${runpath}")
    set(failed TRUE)
  endif()
endif()
foreach(pair "stdlib/core/core.tvr|bin/core.tvr" "data/default.ini|bin/default.ini"
             "sdk/tavro.h|include/tavro/tavro.h")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  if(EXISTS "${PREFIX}/${to}")
    file(SHA256 "${SOURCE_DIR}/${from}" a)
    file(SHA256 "${PREFIX}/${to}" b)
    if(NOT a STREQUAL b)
      message("installed ${to} differs from ${from}")
      set(failed TRUE)
    endif()
  endif()
endforeach()
# Nothing that only the tests use is installed.
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
foreach(f IN LISTS installed)
  if(f MATCHES "(testlib|svctest|stats)\\.DLL$|tavro_.*_test")
    message("a test file was installed: ${f}")
    set(failed TRUE)
  endif()
endforeach()

# run(RUNNER PROGRAM EXPECTED_OUT EXPECTED_ERR EXPECTED_STATUS): the
# runner is started in an unrelated folder with the program's full path.
set(scratch "${PREFIX}-work")
file(REMOVE_RECURSE "${scratch}")
file(MAKE_DIRECTORY "${scratch}")
function(run runner program expected_out expected_err expected_status)
  execute_process(
    COMMAND "${runner}" "${PROGRAMS}/${program}"
    WORKING_DIRECTORY "${scratch}"
    INPUT_FILE /dev/null
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE status
    TIMEOUT 60)
  string(REPLACE "${PROGRAMS}/" "" err "${err}")
  if(NOT out STREQUAL expected_out OR NOT err STREQUAL expected_err
     OR NOT "${status}" STREQUAL "${expected_status}")
    message("${runner} ${program}:\n  status ${status} (expected ${expected_status})\n"
            "  stdout [${out}] (expected [${expected_out}])\n"
            "  stderr [${err}] (expected [${expected_err}])")
    set(failed TRUE PARENT_SCOPE)
  endif()
endfunction()

foreach(runner "${PREFIX}/bin/tavro-run" "${BUILD_RUNNER}")
  if(EXISTS "${runner}")
    run("${runner}" fib.tvr "6765 \n" "" 0)
    run("${runner}" missing_name.tvr "" "missing_name.tvr:2: Nothing is named nowhere\n" 1)
  endif()
endforeach()

if(failed)
  message(FATAL_ERROR "install test failed (prefix ${PREFIX})")
endif()
message(STATUS "installed and ran under ${PREFIX}")

# tavro_add_program_tests(PREFIX LABEL OPTIONS...)
#
# Adds one CTest test PREFIX/AREA/NAME for every NAME.tvr below the calling
# folder (files starting with "_" are helpers, not tests). Each runs
# tavro-run with OPTIONS (a folder's runner.args replaces them) through
# run_program_test.cmake; see README.md for the expectation files.
set(TAVRO_PROGRAM_TEST_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/run_program_test.cmake)

function(tavro_add_program_tests prefix label)
  file(GLOB_RECURSE programs CONFIGURE_DEPENDS
    RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*.tvr)
  list(FILTER programs EXCLUDE REGEX "(^|/)_[^/]*$")
  foreach(program IN LISTS programs)
    string(REGEX REPLACE "\\.tvr$" "" name ${program})
    add_test(NAME ${prefix}/${name}
      COMMAND ${CMAKE_COMMAND}
        -DRUNNER=$<TARGET_FILE:tavro-run>
        -DPROGRAM=${CMAKE_CURRENT_SOURCE_DIR}/${program}
        "-DDEFAULT_ARGS=${ARGN}"
        -DRESULT=${CMAKE_CURRENT_BINARY_DIR}/results/${name}
        -P ${TAVRO_PROGRAM_TEST_SCRIPT})
    set_tests_properties(${prefix}/${name} PROPERTIES TIMEOUT 30 LABELS ${label})
  endforeach()
endfunction()

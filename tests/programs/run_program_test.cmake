# Runs one program test (cmake -P). Variables:
#   RUNNER        the tavro-run executable
#   PROGRAM       the test's NAME.tvr (absolute)
#   DEFAULT_ARGS  runner options used unless the folder has runner.args
#   RESULT        path prefix for the kept output (RESULT.actual.out, ...);
#                 or WORK_DIR, a folder for it
#
# The runner starts in the program's folder with standard input from
# NAME.tvr. Its arguments are the options, then the lines of NAME.args
# (one argument per line, "#" lines skipped) or, without that file,
# NAME.tvr itself. Expected: NAME.out (stdout), NAME.err (stderr; its
# presence means exit status 1), NAME.status (overrides the status).
cmake_minimum_required(VERSION 3.20)

get_filename_component(dir "${PROGRAM}" DIRECTORY)
get_filename_component(file "${PROGRAM}" NAME)
string(REGEX REPLACE "\\.tvr$" "" base "${PROGRAM}")
string(REGEX REPLACE "\\.tvr$" "" stem "${file}")

function(read_lines path out)
  file(STRINGS "${path}" lines)
  set(result "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^#")
      list(APPEND result "${line}")
    endif()
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

set(options ${DEFAULT_ARGS})
if(EXISTS "${dir}/runner.args")
  read_lines("${dir}/runner.args" options)
endif()

# NAME.args lines go to the runner untouched (a CMake list would split or
# join them at brackets and semicolons), so a shell reads them.
# (The script holds no semicolon: CMake would split it there.)
set(read_args [=[
f=$1
shift
while IFS= read -r line || [ -n "$line" ]
do
  if [ "${line#"#"}" = "$line" ]
  then
    set -- "$@" "$line"
  fi
done < "$f"
exec "$@"
]=])
if(EXISTS "${base}.args")
  set(command sh -c "${read_args}" sh "${base}.args" "${RUNNER}" ${options})
else()
  set(command "${RUNNER}" ${options} "${file}")
endif()

set(expected_out "")
set(expected_err "")
set(expected_status 0)
if(EXISTS "${base}.out")
  file(READ "${base}.out" expected_out)
endif()
if(EXISTS "${base}.err")
  file(READ "${base}.err" expected_err)
  set(expected_status 1)
endif()
if(EXISTS "${base}.status")
  file(STRINGS "${base}.status" expected_status LIMIT_COUNT 1)
endif()

execute_process(
  COMMAND ${command}
  WORKING_DIRECTORY "${dir}"
  INPUT_FILE "${PROGRAM}"
  OUTPUT_VARIABLE actual_out
  ERROR_VARIABLE actual_err
  RESULT_VARIABLE actual_status
  TIMEOUT 25)

# Programs run by name carry their full path in messages: the test's own
# folder is written as $DIR.
string(REPLACE "${dir}/" "$DIR/" actual_out "${actual_out}")
string(REPLACE "${dir}/" "$DIR/" actual_err "${actual_err}")

# Keep what the runner wrote, for the diff and for making expectations.
if(RESULT)
  set(keep "${RESULT}")
else()
  set(keep "${WORK_DIR}/${stem}")  # callers that give only a folder
endif()
get_filename_component(keep_dir "${keep}" DIRECTORY)
file(MAKE_DIRECTORY "${keep_dir}")
file(WRITE "${keep}.actual.out" "${actual_out}")
file(WRITE "${keep}.actual.err" "${actual_err}")
file(WRITE "${keep}.expected.out" "${expected_out}")
file(WRITE "${keep}.expected.err" "${expected_err}")

set(failed FALSE)
macro(show_difference what expected actual)
  set(failed TRUE)
  message("---- ${what} differs (expected, actual):")
  execute_process(COMMAND diff -u "${expected}" "${actual}" RESULT_VARIABLE diff_status)
  if(diff_status GREATER 1)
    file(READ "${expected}" e)
    file(READ "${actual}" a)
    message("expected:\n${e}\nactual:\n${a}")
  endif()
endmacro()

if(NOT actual_out STREQUAL expected_out)
  show_difference("standard output of ${stem}" "${keep}.expected.out" "${keep}.actual.out")
endif()
if(NOT actual_err STREQUAL expected_err)
  show_difference("standard error of ${stem}" "${keep}.expected.err" "${keep}.actual.err")
endif()
if(NOT "${actual_status}" STREQUAL "${expected_status}")
  set(failed TRUE)
  message("---- exit status of ${stem}: expected ${expected_status}, got ${actual_status}")
endif()
if(failed)
  message(FATAL_ERROR "program test ${stem} failed (in ${dir})")
endif()

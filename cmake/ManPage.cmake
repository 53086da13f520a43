# Writes plentor(1), gzip-compressed, from the built tool's own help texts:
#   cmake -DPLENTOR=EXE -DHELP2MAN=EXE -DGZIP=EXE -DOUT=.../plentor.1.gz -P ManPage.cmake
# help2man reads `plentor --help` and `plentor --version`; a COMMANDS section
# holds `plentor COMMAND --help` of every command `plentor --help` lists, so
# the page follows the commands as they change.
foreach(_v PLENTOR HELP2MAN GZIP OUT)
  if(NOT DEFINED ${_v})
    message(FATAL_ERROR "ManPage.cmake: ${_v} is not set")
  endif()
endforeach()

function(run_tool out)
  execute_process(COMMAND "${PLENTOR}" ${ARGN} OUTPUT_VARIABLE _text RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "plentor ${ARGN} exited with ${_rc}")
  endif()
  set(${out} "${_text}" PARENT_SCOPE)
endfunction()

# Plain text as roff lines kept as they are (inside .nf): backslashes and
# minus signs escaped, and a line that roff or help2man's include reader
# would take as a request or a section ('.', "'", '[', '/') guarded by \&.
function(roff_text out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'[/])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

get_filename_component(_dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${_dir}")

run_tool(_overview --help)
# The command list: "  NAME  summary" lines after "Commands:".
string(REGEX REPLACE ".*\nCommands:\n" "" _list "${_overview}")
string(REPLACE ";" "," _list "${_list}")
string(REPLACE "\n" ";" _lines "${_list}")
set(_names)
foreach(_line IN LISTS _lines)
  if(_line MATCHES "^  ([a-z0-9-]+) ")
    list(APPEND _names "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT _names)
  message(FATAL_ERROR "plentor --help lists no commands")
endif()

set(_include "[COMMANDS]\nEach command describes itself with \\fBplentor \\fICOMMAND\\fB \\-\\-help\\fR:\n")
foreach(_name IN LISTS _names)
  run_tool(_help "${_name}" --help)
  roff_text(_help "${_help}")
  roff_text(_title "${_name}")
  string(APPEND _include ".SS ${_title}\n.nf\n${_help}.fi\n")
endforeach()
file(WRITE "${_dir}/commands.h2m" "${_include}")

execute_process(
  COMMAND "${HELP2MAN}" --no-info --section=1
          "--name=save web pages to social bookmark services"
          "--include=${_dir}/commands.h2m" "--output=${_dir}/plentor.1" "${PLENTOR}"
  RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "help2man failed (${_rc})")
endif()
# -n: no name or time stamp in the gzip header, so the same page packs the same.
execute_process(COMMAND "${GZIP}" -9n -c "${_dir}/plentor.1" OUTPUT_FILE "${OUT}" RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "gzip failed (${_rc})")
endif()

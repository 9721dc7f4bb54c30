# Writes a gzipped manual page from a program's own --help text, so that the page is
# rebuilt with the program and never drifts from it. Run as
#   cmake -DPROGRAM=path -DNAME=kavrel -DSUMMARY="..." -DOUTPUT=kavrel.1.gz
#         [-DSUBCOMMANDS=ON] [-DSECTIONS=kavrel.sections] -P ManPage.cmake
# The SYNOPSIS is the help's "usage:" line. With SUBCOMMANDS, every command listed under
# "COMMANDS:" in the help gets its own section with the text of `PROGRAM COMMAND --help`.
# SECTIONS is a hand-written roff file (EXIT STATUS, ENVIRONMENT, FILES) put before SEE ALSO.

function(run_help result)
  execute_process(COMMAND ${PROGRAM} ${ARGN} --help
    OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${ARGN} --help failed (${status}): ${errors}")
  endif()
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

# Help text as roff: backslashes, leading dots and quotes escaped, kept line for line.
function(to_roff result text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

run_help(help)
to_roff(body "${help}")
string(TOUPPER "${NAME}" title)
string(TIMESTAMP today "%Y-%m-%d" UTC)  # SOURCE_DATE_EPOCH, when set, fixes it
set(page ".TH ${title} 1 \"${today}\" \"Kavrel tools\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${SUMMARY}\n")
string(REGEX MATCH "^usage: [^\n]+" usage "${help}")
if(usage)
  string(REGEX REPLACE "^usage: ${NAME} ?" "" arguments "${usage}")
  to_roff(arguments "${arguments}")
  string(APPEND page ".SH SYNOPSIS\n.B ${NAME}\n${arguments}\n")
endif()
string(APPEND page ".SH DESCRIPTION\n.nf\n${body}.fi\n")

if(SUBCOMMANDS)
  string(REGEX MATCH "COMMANDS:\n(  [^\n]+\n)+" listing "${help}")
  string(REGEX MATCHALL "\n  [a-z][a-z-]*" names "${listing}")
  string(APPEND page ".SH COMMANDS\n")
  foreach(entry IN LISTS names)
    string(STRIP "${entry}" command)
    run_help(command_help ${command})
    to_roff(command_body "${command_help}")
    string(APPEND page ".SS ${command}\n.nf\n${command_body}.fi\n")
  endforeach()
endif()

if(SECTIONS)
  file(READ "${SECTIONS}" sections)
  string(APPEND page "${sections}")
endif()

string(APPEND page ".SH SEE ALSO\n")
if(NAME STREQUAL "kavrel")
  string(APPEND page ".BR kavrel-sim (1),\n.BR Kavrel-Config (1),\n.BR Kavrel-Monitor (1),\n.BR Kavrel-Logger (1)\n")
else()
  string(APPEND page ".BR kavrel (1)\n")
endif()

string(REGEX REPLACE "\\.gz$" "" plain "${OUTPUT}")
file(WRITE "${plain}" "${page}")
find_program(GZIP gzip REQUIRED)
execute_process(COMMAND ${GZIP} -9nf "${plain}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip ${plain} failed")
endif()

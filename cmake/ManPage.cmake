# Writes a gzipped manual page from a program's own --help text, so that the page is
# rebuilt with the program and never drifts from it. Run as
#   cmake -DPROGRAM=path -DNAME=kavrel -DSUMMARY="..." -DOUTPUT=kavrel.1.gz
#         [-DLANGUAGE=pl] [-DSUBCOMMANDS=ON] [-DSECTIONS=kavrel.sections] -P ManPage.cmake
# The SYNOPSIS is the help's "usage:" line. With SUBCOMMANDS, every command listed under
# "COMMANDS:" in the help gets its own section with the text of `PROGRAM COMMAND --help`.
# SECTIONS is a hand-written roff file (EXIT STATUS, ENVIRONMENT, FILES) put before SEE ALSO.
# LANGUAGE pl makes the Polish page from the Polish help (the tool's own), with Polish
# headings; otherwise the English help is asked for (KAVREL_HELP_LANGUAGE=en).

if(LANGUAGE STREQUAL "pl")
  unset(ENV{KAVREL_HELP_LANGUAGE})
  set(words_usage "użycie")
  set(words_commands "POLECENIA")
  set(heading_manual "Polecenia użytkownika")
  set(heading_name "NAZWA")
  set(heading_synopsis "SKŁADNIA")
  set(heading_description "OPIS")
  set(heading_commands "POLECENIA")
  set(heading_see_also "\"ZOBACZ TAKŻE\"")
else()
  set(ENV{KAVREL_HELP_LANGUAGE} en)
  set(words_usage "usage")
  set(words_commands "COMMANDS")
  set(heading_manual "User Commands")
  set(heading_name "NAME")
  set(heading_synopsis "SYNOPSIS")
  set(heading_description "DESCRIPTION")
  set(heading_commands "COMMANDS")
  set(heading_see_also "\"SEE ALSO\"")
endif()

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
set(page ".TH ${title} 1 \"${today}\" \"Kavrel tools\" \"${heading_manual}\"\n")
string(APPEND page ".SH ${heading_name}\n${NAME} \\- ${SUMMARY}\n")
string(REGEX MATCH "^${words_usage}: [^\n]+" usage "${help}")
if(usage)
  string(REGEX REPLACE "^${words_usage}: ${NAME} ?" "" arguments "${usage}")
  to_roff(arguments "${arguments}")
  string(APPEND page ".SH ${heading_synopsis}\n.B ${NAME}\n${arguments}\n")
endif()
string(APPEND page ".SH ${heading_description}\n.nf\n${body}.fi\n")

if(SUBCOMMANDS)
  string(REGEX MATCH "${words_commands}:\n(  [^\n]+\n)+" listing "${help}")
  string(REGEX MATCHALL "\n  [a-z][a-z-]*" names "${listing}")
  string(APPEND page ".SH ${heading_commands}\n")
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

string(APPEND page ".SH ${heading_see_also}\n")
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
